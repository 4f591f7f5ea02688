"""How the monitor starts, or refuses to: finding its configuration and
checking the terminal for colours."""

import os
import unittest

from support import (NO_COLOUR, NOT_FOUND, ONE_PROBLEM_PAGE, SYSTEM_CONFIGS, E2ETestCase, dead_url,
                     write_config)


class ConfigurationTest(E2ETestCase):
    def assertRefused(self, terminal):
        status, screen = terminal.exit_status()
        self.assertEqual(status, 2, screen.text())
        self.assertEqual(screen.line(0).rstrip(), NOT_FOUND)

    def test_no_configuration_anywhere(self):
        present = [path for path in SYSTEM_CONFIGS if os.path.exists(path)]
        if present:
            self.skipTest("this machine has %s, which the monitor would find" % ", ".join(present))
        self.assertRefused(self.run_orvek(cwd=self.folder(), keeps_running=False))

    def test_named_configuration_missing(self):
        folder = self.folder()
        # A usable orvek.conf beside it does not stand in for the named file.
        write_config(folder, dead_url())
        for name in ("missing.conf", "orvek.conf.old", os.path.join(folder, "no-such-dir", "orvek.conf")):
            with self.subTest(name=name):
                self.assertRefused(self.run_orvek("-c", name, cwd=folder, keeps_running=False))

    def test_which_configuration_is_used(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        dead = dead_url()
        # (case, server in ./orvek.conf, server in the -c file or None)
        cases = [
            ("./orvek.conf is found", bed.base_url, None),
            ("-c wins over ./orvek.conf", dead, bed.base_url),
        ]
        for case, local_server, named_server in cases:
            with self.subTest(case):
                folder = self.folder()
                write_config(folder, local_server)
                args = ["-s", "1"]
                if named_server:
                    args += ["-c", write_config(self.folder(), named_server, name="elsewhere.conf")]
                terminal = self.run_orvek(*args, cwd=folder)
                terminal.wait_for_text(" web1 ")


class ColourCheckTest(E2ETestCase):
    def test_terminal_without_colours(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        conf = write_config(self.folder(), bed.base_url)
        terminal = self.run_orvek("-c", conf, "-s", "1", term="vt100", keeps_running=False)
        status, screen = terminal.exit_status()
        self.assertEqual(status, 1, screen.text())
        self.assertTrue(screen.contains(NO_COLOUR), screen.text())
        # The check comes before any fetch.
        self.assertEqual(bed.requests(), [])


if __name__ == "__main__":
    unittest.main()
