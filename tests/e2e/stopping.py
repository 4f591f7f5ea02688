"""Ending the wall at a moment of the caller's choosing, and timing it: the
end-to-end test of stops at random moments and bench/measure_stop.py both
use it."""

import os
import time

from support import started_pid, wait_until
from terminal import Terminal

# The pane's shell after the monitor says how it ended.
THEN = 'echo "exit=$?"; exec sleep 3600'


def alive(pid):
    """Whether the process is there and not a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(") ", 1)[-1][0] != "Z"
    except OSError:
        return False


def sections_config(folder, urls):
    """A file with a [server sN] section for each URL."""
    path = os.path.join(folder, "orvek.conf")
    with open(path, "w") as f:
        f.write("newcgi true\n")
        for i, url in enumerate(urls):
            f.write("\n[server s%d]\nserver %s\n" % (i, url))
    return path


def catches(pid, sig):
    """Whether the process has its handler for sig in place."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("SigCgt:"):
                    return bool(int(line.split()[1], 16) >> (sig - 1) & 1)
    except OSError:
        pass
    return False


def end_once(binary, conf, interval, sig, delay, limit=10.0):
    """Starts the monitor in an 80x24 tmux terminal, sends sig delay seconds
    after it has caught its signals (before that, the signal's default
    action ends it, as any program) and polls every millisecond until it is gone. Returns
    (seconds from signal to gone, or None when not gone within limit; its
    exit status; whether the alternate screen was left on)."""
    terminal = Terminal(80, 24)
    try:
        terminal.start([binary, "-c", conf, "-s", str(interval)], cwd=os.path.dirname(conf), then=THEN)
        pid = started_pid(terminal)
        wait_until(lambda: catches(pid, sig), 10, "the monitor's signal handlers")
        time.sleep(delay)
        sent = time.monotonic()
        os.kill(pid, sig)
        while alive(pid) and time.monotonic() - sent < limit:
            time.sleep(0.001)
        gone = None if alive(pid) else time.monotonic() - sent
        if gone is None:
            return None, None, None
        status, _ = terminal.exit_status(5)
        return gone, status, terminal.modes()["alternate_screen"]
    finally:
        terminal.close()
