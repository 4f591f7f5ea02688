"""The demo's status server, as scripts/demo.sh starts it, serves a page the
monitor can log in to and draw."""

import os
import signal
import subprocess
import time
import unittest

from statusbed import PYTHON
from support import ROOT, E2ETestCase, local_url

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
