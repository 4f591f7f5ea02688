"""A failure of the monitor itself (here memory that runs out, with a
thousand servers under an address-space limit) ends it with the terminal
restored, one line on standard error and status 2: never an abort in
curses mode."""

import os
import shutil
import subprocess
import unittest

from stopping import sections_config
from support import E2ETestCase, dead_url

LIMIT_BYTES = 1000 * 1000 * 1000


def sanitized(binary):
    """Sanitizers reserve more address space than any limit leaves."""
    libraries = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
    return any(name in libraries for name in ("libasan", "libtsan"))


class OwnFailureTest(E2ETestCase):
    def test_memory_running_out_ends_it_with_one_line_and_status_2(self):
        if sanitized(self.binary):
            self.skipTest("a sanitizer's build cannot run under an address-space limit")
        prlimit = shutil.which("prlimit")
        if not prlimit:
            self.skipTest("no prlimit")
        folder = self.folder()
        conf = sections_config(folder, [dead_url()] * 1000)
        errors = os.path.join(folder, "stderr")
        terminal = self.terminal()
        terminal.start(["/bin/sh", "-c", '"$0" --as=%d "$1" -c "$2" -s 5 2>"$3"' % LIMIT_BYTES,
                        prlimit, self.binary, conf, errors], cwd=folder)
        status, _ = terminal.exit_status(20)
        self.assertEqual(status, 2)
        self.assertFalse(terminal.modes()["alternate_screen"], "the terminal is left in the alternate screen")
        with open(errors) as f:
            self.assertEqual(f.read(), "orvek: out of memory\n")


if __name__ == "__main__":
    unittest.main()
