"""The demo's status server, as scripts/demo.sh starts it, serves a page the
monitor can log in to and draw."""

import os
import signal
import subprocess
import time
import unittest

from support import E2ETestCase, write_config

SERVE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "demo", "serve.py")


class DemoServerTest(E2ETestCase):
    def test_demo_server_with_its_credentials(self):
        folder = self.folder()
        started = subprocess.run(["/usr/bin/python3", SERVE, folder, "0"], capture_output=True, text=True,
                                 timeout=30)
        self.assertEqual(started.returncode, 0, started.stderr)
        pid, port = (int(word) for word in started.stdout.split())
        self.addCleanup(self.stop, pid)

        conf = write_config(self.folder(), "http://127.0.0.1:%d" % port,
                            username="demo", password="orvek-demo", digest=True)
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


if __name__ == "__main__":
    unittest.main()
