"""The demo's status server, as scripts/demo.sh starts it, serves a page the
monitor can log in to and draw; it stops however the demo ends."""

import os
import signal
import subprocess
import time
import unittest

from statusbed import LIGHTTPD, PYTHON
from support import ROOT, E2ETestCase, local_url, wait_until

SERVE = os.path.join(ROOT, "scripts", "demo", "serve.py")
SAMPLE = os.path.join(ROOT, "docs", "orvek.conf.sample")


class DemoServerTest(E2ETestCase):
    def test_demo_server_with_its_credentials(self):
        folder = self.folder()
        started = subprocess.run([PYTHON, SERVE, folder, "0"], capture_output=True, text=True,
                                 timeout=30)
        self.assertEqual(started.returncode, 0, started.stderr)
        pid, port = (int(word) for word in started.stdout.split())
        self.addCleanup(self.stop, pid)

        # The sample configuration works against it, but for the port.
        with open(SAMPLE) as sample:
            text = sample.read()
        self.assertIn("server %s\n" % local_url(8080), text)
        conf = os.path.join(self.folder(), "orvek.conf")
        with open(conf, "w") as out:
            out.write(text.replace(local_url(8080), local_url(port)))
        terminal = self.run_orvek("-c", conf, "-s", "1")
        # The story opens with a warning on nas1.
        terminal.wait_for_text(" nas1 ")

    @staticmethod
    def stop(pid):
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            return
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and os.path.exists("/proc/%d" % pid):
            time.sleep(0.05)


def processes_naming(text):
    """The pids of processes whose command line holds text."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                words = f.read().split(b"\0")
        except OSError:
            continue
        if any(text.encode() in word for word in words):
            found.append(int(entry))
    return found


def executable(pid):
    try:
        return os.readlink("/proc/%d/exe" % pid)
    except OSError:
        return None


def gone(pid):
    return not os.path.exists("/proc/%d" % pid)


def children(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(p) for p in f.read().split()]
    except OSError:
        return []


class DemoEndTest(E2ETestCase):
    """scripts/demo.sh with the binary under test, its server's folder in a
    temporary folder of the test's own; each way of ending it must leave no
    server behind, nor its folder."""

    def start_demo(self):
        tmp = self.folder()
        terminal = self.terminal()
        terminal.start(["bash", os.path.join(ROOT, "scripts", "demo.sh"), "--port", "0"], cwd=ROOT,
                       env={"ORVEK": self.binary, "TMPDIR": tmp})
        # The story opens with a warning on nas1.
        terminal.wait_for_text(" nas1 ", timeout=30)
        servers = [pid for pid in processes_naming(tmp) if executable(pid) == os.path.realpath(LIGHTTPD)]
        self.assertEqual(len(servers), 1, "one lighttpd in %s" % tmp)
        demo = [pid for pid in terminal.program_pids() if processes_naming("demo.sh").count(pid)]
        self.assertEqual(len(demo), 1)
        monitors = [pid for pid in children(demo[0]) if executable(pid) == os.path.realpath(self.binary)]
        self.assertEqual(len(monitors), 1)
        for pid in servers + monitors:
            self.addCleanup(DemoServerTest.stop, pid)
        return terminal, tmp, demo[0], servers[0], monitors[0]

    def test_the_server_stops_however_the_demo_ends(self):
        ends = (
            ("SIGHUP", lambda terminal, demo: os.kill(demo, signal.SIGHUP)),
            ("SIGTERM", lambda terminal, demo: os.kill(demo, signal.SIGTERM)),
            ("Ctrl-C", lambda terminal, demo: terminal._tmux("send-keys", "-t", "orvek", "C-c")),
            ("tmux kill-session", lambda terminal, demo: terminal.kill_session()),
            # No trap runs: the watchdog alone stops the server.
            ("SIGKILL", lambda terminal, demo: os.kill(demo, signal.SIGKILL)),
        )
        for name, end in ends:
            with self.subTest(name):
                terminal, tmp, demo, server, monitor = self.start_demo()
                end(terminal, demo)
                wait_until(lambda: gone(server), 15, "the demo's lighttpd to stop after %s" % name)
                wait_until(lambda: not [f for f in os.listdir(tmp) if f.startswith("orvek-demo.")], 10,
                           "the demo's folder to go after %s" % name)
                if name != "SIGKILL":
                    wait_until(lambda: gone(monitor), 10, "orvek to end after %s" % name)


class DemoHelpTest(unittest.TestCase):
    def test_help_shows_the_options_and_no_script_lines(self):
        result = subprocess.run(["bash", os.path.join(ROOT, "scripts", "demo.sh"), "--help"], capture_output=True,
                                text=True, timeout=30, stdin=subprocess.DEVNULL)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("scripts/demo.sh [--port N]     (default 8080, or a free port if taken)\n", result.stdout)
        self.assertNotIn("set -", result.stdout)
        self.assertNotIn("#", result.stdout)


if __name__ == "__main__":
    unittest.main()
