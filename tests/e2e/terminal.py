"""A real terminal for end-to-end runs: tmux on a private socket.

Terminal runs one command in a detached tmux session of a fixed size and
reads the screen back with `capture-pane -e`, turning the SGR sequences into
a grid of cells that carry character, colours and boldness. Colours are the
terminal's numbers (0 black, 1 red, 2 green, 3 yellow, 5 magenta, 7 white);
None is the terminal's default colour.
"""

import os
import re
import shlex
import shutil
import signal
import subprocess
import tempfile
import time
import unicodedata

TMUX = shutil.which("tmux") or "/usr/bin/tmux"

BLACK, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8)

# Passed on to the monitor from the test's environment, for sanitizer builds.
PASSED_ON = ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS")


def program_environment(term="screen", **extra):
    """The environment a program under test gets, nothing of the caller's
    but the sanitizer options (no proxies or other leftovers): PATH, LANG,
    TERM, then extra."""
    environment = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "TERM": term}
    environment.update({name: os.environ[name] for name in PASSED_ON if name in os.environ})
    environment.update(extra)
    return environment


def orvek_binary():
    path = os.environ.get("ORVEK_BINARY")
    if not path:
        raise RuntimeError("ORVEK_BINARY must name the orvek binary under test")
    if not os.access(path, os.X_OK):
        raise RuntimeError("ORVEK_BINARY=%s is not an executable" % path)
    return path


def cell_width(char):
    """Cells a character takes on the terminal: two for wide (East Asian)
    characters, one otherwise."""
    return 2 if unicodedata.east_asian_width(char) in ("W", "F") else 1


class Cell:
    __slots__ = ("char", "fg", "bg", "bold")

    def __init__(self, char, fg, bg, bold):
        self.char, self.fg, self.bg, self.bold = char, fg, bg, bold

    def __repr__(self):
        return "Cell(%r, fg=%s, bg=%s%s)" % (self.char, self.fg, self.bg, ", bold" if self.bold else "")


class Screen:
    """The cells of one capture, screen[row][column]."""

    def __init__(self, rows, width, height):
        self.rows = rows
        self.width = width
        self.height = height

    def __getitem__(self, row):
        return self.rows[row]

    def line(self, row):
        return "".join(cell.char for cell in self.rows[row])

    def text(self):
        return "\n".join(self.line(r) for r in range(self.height))

    def contains(self, text):
        return any(text in self.line(r) for r in range(self.height))

    def find(self, text):
        """(row, column) of the first occurrence of text, or None."""
        for r in range(self.height):
            c = self.line(r).find(text)
            if c >= 0:
                return r, c
        return None

    def cells(self):
        for r in range(self.height):
            for c in range(self.width):
                yield r, c, self.rows[r][c]

    def dump(self):
        """The screen as text with a colour map, for failure messages."""
        out = []
        for r in range(self.height):
            out.append("%2d|%s|" % (r, self.line(r)))
        for r in range(self.height):
            runs, last = [], None
            for c, cell in enumerate(self.rows[r]):
                key = (cell.fg, cell.bg, cell.bold)
                if key != last:
                    runs.append("%d:%s/%s%s" % (c, cell.fg, cell.bg, "b" if cell.bold else ""))
                    last = key
            out.append("%2d %s" % (r, " ".join(runs)))
        return "\n".join(out)


_SGR = re.compile(r"\x1b\[([0-9;:]*)m")
_OTHER_ESCAPE = re.compile(r"\x1b(\[[0-9;?]*[A-Za-z]|\][^\x07\x1b]*(\x07|\x1b\\))")


def parse_capture(text, width, height):
    """Cells from `capture-pane -p -e -N` output. Attributes carry across
    lines, as tmux only writes changes. A wide character is followed by a
    cell with no character of its own, its right half."""
    state = {"fg": None, "bg": None, "bold": False}
    rows = []
    for raw in text.split("\n")[:height]:
        row = []
        i = 0
        while i < len(raw):
            if raw[i] == "\x1b":
                m = _SGR.match(raw, i)
                if m:
                    _apply_sgr(state, m.group(1))
                    i = m.end()
                    continue
                m = _OTHER_ESCAPE.match(raw, i)
                i = m.end() if m else i + 1
                continue
            row.append(Cell(raw[i], state["fg"], state["bg"], state["bold"]))
            if cell_width(raw[i]) == 2:
                row.append(Cell("", state["fg"], state["bg"], state["bold"]))
            i += 1
        rows.append(row)
    while len(rows) < height:
        rows.append([])
    for row in rows:
        del row[width:]
        while len(row) < width:
            row.append(Cell(" ", None, None, False))
    return Screen(rows, width, height)


def _apply_sgr(state, params):
    codes = [int(p) if p else 0 for p in re.split("[;:]", params)] if params else [0]
    i = 0
    while i < len(codes):
        code = codes[i]
        if code == 0:
            state.update(fg=None, bg=None, bold=False)
        elif code == 1:
            state["bold"] = True
        elif code == 22:
            state["bold"] = False
        elif 30 <= code <= 37:
            state["fg"] = code - 30
        elif code == 39:
            state["fg"] = None
        elif 40 <= code <= 47:
            state["bg"] = code - 40
        elif code == 49:
            state["bg"] = None
        elif 90 <= code <= 97:
            state["fg"] = code - 90 + 8
        elif 100 <= code <= 107:
            state["bg"] = code - 100 + 8
        elif code in (38, 48):
            key = "fg" if code == 38 else "bg"
            if codes[i + 1:i + 2] == [5] and i + 2 < len(codes):
                state[key] = codes[i + 2]
                i += 2
            elif codes[i + 1:i + 2] == [2]:
                state[key] = tuple(codes[i + 2:i + 5])
                i += 4
        i += 1


class Terminal:
    """One command running in a private tmux server of a fixed size."""

    def __init__(self, width=80, height=24):
        self.width = width
        self.height = height
        self.dir = tempfile.mkdtemp(prefix="orvek-tmux-")
        self.socket = os.path.join(self.dir, "tmux.sock")
        self.server_pid = None
        self.pane_pid = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _tmux(self, *args, check=True):
        return subprocess.run(
            [TMUX, "-S", self.socket, *args],
            capture_output=True, text=True, check=check, stdin=subprocess.DEVNULL,
        )

    def start(self, argv, env=None, cwd=None, term="screen", then="exec sleep 3600"):
        """Runs argv in the terminal, in program_environment with HOME in
        the terminal's own folder, then env. When argv ends, the pane's shell
        prints its status and runs `then`."""
        environment = program_environment(term, **{"HOME": self.dir, **(env or {})})
        # The shell stays after the command ends (a dead pane would get tmux's
        # own notice written over the last words), so its status can be read.
        inner = "cd %s && env -i %s %s; echo \"exit=$?\"; %s" % (
            shlex.quote(cwd or self.dir),
            " ".join(shlex.quote("%s=%s" % kv) for kv in environment.items()),
            " ".join(shlex.quote(a) for a in argv),
            then,
        )
        conf = os.path.join(self.dir, "tmux.conf")
        with open(conf, "w") as f:
            # No status line: the pane gets every row.
            f.write("set -g status off\n"
                    "set -g default-terminal screen\n"
                    "set -g history-limit 0\n")
        self._tmux("-f", conf, "new-session", "-d", "-x", str(self.width), "-y", str(self.height),
                   "-s", "orvek", "/bin/sh -c %s" % shlex.quote(inner))
        info = self._tmux("display-message", "-p", "-t", "orvek", "#{pid} #{pane_pid}").stdout.split()
        self.server_pid, self.pane_pid = int(info[0]), int(info[1])
        return self

    def resize(self, width, height):
        """Gives the window a new size (tmux then keeps it: window-size
        becomes manual); the program gets SIGWINCH as from a real terminal.
        Later captures read the new size."""
        self._tmux("resize-window", "-t", "orvek", "-x", str(width), "-y", str(height))
        self.width, self.height = width, height
        return self

    def modes(self):
        """The pane's modes as tmux keeps them: whether the alternate screen
        is on and whether the cursor is shown."""
        out = self._tmux("display-message", "-p", "-t", "orvek", "#{alternate_on} #{cursor_flag}").stdout.split()
        return {"alternate_screen": out[0] == "1", "cursor_visible": out[1] == "1"}

    def type(self, text):
        """Types text into the pane, then Enter."""
        self._tmux("send-keys", "-t", "orvek", "-l", text)
        self._tmux("send-keys", "-t", "orvek", "Enter")

    def kill(self):
        """Closes the terminal under the program: the tmux server goes, and
        with it the pane's terminal."""
        self._tmux("kill-server", check=False)

    def kill_session(self):
        """Ends the session as an operator does (tmux kill-session): the
        pane's processes get SIGHUP and its terminal goes."""
        self._tmux("kill-session", "-t", "orvek", check=False)

    def screen(self):
        out = self._tmux("capture-pane", "-p", "-e", "-N", "-t", "orvek").stdout
        return parse_capture(out, self.width, self.height)

    def wait_for(self, condition, timeout=10.0, what="screen condition"):
        """Polls the screen until condition(screen) holds; returns that
        screen. Fails the test with the last screen after timeout seconds."""
        deadline = time.monotonic() + timeout
        while True:
            screen = self.screen()
            if condition(screen):
                return screen
            if time.monotonic() > deadline:
                raise AssertionError("timed out after %.0f s waiting for %s; screen:\n%s"
                                     % (timeout, what, screen.dump()))
            time.sleep(0.1)

    def wait_for_text(self, text, timeout=10.0):
        return self.wait_for(lambda s: s.contains(text), timeout, repr(text))

    def exit_status(self, timeout=10.0):
        """Waits for the command to end; returns (status, screen)."""
        screen = self.wait_for(lambda s: re.search(r"^exit=\d+", s.text(), re.M), timeout,
                               "the command to end")
        return int(re.search(r"^exit=(\d+)", screen.text(), re.M).group(1)), screen

    def program_pids(self):
        """The processes the pane's shell started (the monitor)."""
        if not self.pane_pid:
            return []
        try:
            with open("/proc/%d/task/%d/children" % (self.pane_pid, self.pane_pid)) as f:
                return [int(p) for p in f.read().split()]
        except OSError:
            return []

    def close(self):
        for pid in self.program_pids() + [self.pane_pid, self.server_pid]:
            if pid:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        # The server is our child's child, reaped by init; wait until gone.
        deadline = time.monotonic() + 5
        while self.server_pid and time.monotonic() < deadline and os.path.exists("/proc/%d" % self.server_pid):
            try:
                with open("/proc/%d/stat" % self.server_pid) as f:
                    if f.read().split(") ")[-1].startswith("Z"):
                        break
            except OSError:
                break
            time.sleep(0.02)
        shutil.rmtree(self.dir, ignore_errors=True)
        self.server_pid = self.pane_pid = None
