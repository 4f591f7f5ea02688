"""orvek -t with a configuration of several servers: every server checked at
once under one deadline, a first line for all, a block for each, the worst
status; -S checks one server by its name."""

import os
import re
import subprocess
import time

from statusbed import status_page
from support import E2ETestCase, dead_url

PAGE = status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web1", "Disk")])
USER = "alice"
PASSWORD = "Tr0ub4dor-k7Qz-x9"


class CheckSeveralServersTest(E2ETestCase):
    def check(self, conf, *args):
        """orvek -t with TERM unset and standard output a pipe."""
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", "-c", conf, *args], cwd=self.folder(), env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60, text=True)

    def config(self, sections, defaults=""):
        """sections: (name, server URL) in order."""
        path = os.path.join(self.folder(), "orvek.conf")
        with open(path, "w") as f:
            f.write("newcgi true\n" + defaults + "".join("[server %s]\nserver %s\n" % section for section in sections))
        os.chmod(path, 0o600)
        return path

    def fine_bed(self):
        bed = self.bed()
        bed.set_page(PAGE)
        return bed

    def refusing_bed(self):
        """A server that refuses the user and password: 401."""
        return self.bed(auth="basic", users={USER: "another-" + PASSWORD})

    def parts(self, output):
        """(the first line before " | ", all the performance data, {server
        name: its block's lines}). The data that does not fit the first line
        follows the '|' of the last."""
        lines = output.splitlines()
        self.assertLessEqual(len(lines[0].encode()), 200)
        head, _, perfdata = lines[0].partition(" | ")
        if lines[-1].startswith("| "):
            perfdata += " " + lines.pop()[2:]
        blocks, name = {}, None
        for line in lines[1:]:
            match = re.fullmatch(r"server (.+):", line)
            if match:
                name = match.group(1)
                blocks[name] = []
            elif name is not None:
                blocks[name].append(line)
        return head, perfdata, blocks

    def test_servers_fine_refused_and_refusing(self):
        fine, refusing = self.fine_bed(), self.refusing_bed()
        defaults = "username %s\npassword %s\n" % (USER, PASSWORD)
        # (case, sections, exit status, the first line's words before " | ", servers in the perfdata)
        cases = [
            ("two, both fine", [("prod", fine.base_url), ("prod2", fine.base_url)], 0,
             "ORVEK OK - 2 of 2 servers OK", ["prod", "prod2"]),
            ("two, one refused", [("prod", fine.base_url), ("lab", dead_url())], 2,
             "ORVEK CRITICAL - lab: connection refused: nothing listens on that port; 1 of 2 servers OK",
             ["prod", "lab"]),
            # Two failing: each named with its cause, before the count.
            ("three: fine, refused, 401", [("prod", fine.base_url), ("lab", dead_url()), ("auth", refusing.base_url)], 2,
             "ORVEK CRITICAL - lab: connection refused: nothing listens on that port, auth: HTTP status 401 "
             "(Unauthorized); 1 of 3 servers OK", ["prod", "lab", "auth"]),
        ]
        for case, sections, status, first, perf_servers in cases:
            with self.subTest(case):
                result = self.check(self.config(sections, defaults))
                self.assertEqual(result.returncode, status, result.stdout)
                head, perfdata, blocks = self.parts(result.stdout)
                self.assertEqual(head, first)
                self.assertEqual(re.findall(r"'([^:']+)::time'=[0-9.]+s", perfdata), perf_servers)
                self.assertIn("'prod::problems'=3 ", perfdata + " ")
                self.assertEqual(list(blocks), [name for name, _ in sections])
                self.assertEqual(blocks["prod"][0],
                                 "ORVEK OK - the monitor would draw this page as its report")
                self.assertIn("URL: %s/cgi-bin/statuswml.cgi?style=uprobs" % fine.base_url, blocks["prod"])
                self.assertIn("problem: DOWN db1", blocks["prod"])
                self.assertTrue(blocks["prod"][-1].startswith("verdict: OK"), blocks["prod"][-1])
                for name, _ in sections[1:]:
                    if name != "prod2":
                        self.assertTrue(blocks[name][-1].startswith("verdict: FAIL"), blocks[name])
                if "auth" in blocks:
                    self.assertIn("hint: the server refused the user name or the password", blocks["auth"])
                    self.assertTrue(blocks["auth"][0].startswith("ORVEK CRITICAL - the monitor would show the banner"))
                self.assertNotIn(PASSWORD, result.stdout)

    def test_one_server_by_name(self):
        fine = self.fine_bed()
        conf = self.config([("prod", fine.base_url), ("lab", dead_url())])
        # (names given to -S, exit status, first line)
        cases = [
            ("prod", 0, "ORVEK OK - the monitor would draw this page as its report | time="),
            ("lab", 2, 'ORVEK CRITICAL - the monitor would show the banner " No connection to server! ": connection '
                       "refused"),
            ("nope", 3, 'ORVEK UNKNOWN - no server named "nope"; the servers are: prod, lab'),
        ]
        for name, status, first in cases:
            with self.subTest(name):
                result = self.check(conf, "-S", name)
                self.assertEqual(result.returncode, status, result.stdout)
                self.assertTrue(result.stdout.splitlines()[0].startswith(first), result.stdout)
                self.assertNotIn("::", result.stdout.splitlines()[0])
                self.assertNotIn("server prod:", result.stdout)
                self.assertEqual(result.stdout.count("\nURL: "), 0 if status == 3 else 1)
        # A file without sections has no names.
        flat = os.path.join(self.folder(), "flat.conf")
        with open(flat, "w") as f:
            f.write("server %s\n" % fine.base_url)
        result = self.check(flat, "-S", "prod")
        self.assertEqual((result.returncode, result.stdout),
                         (3, "ORVEK UNKNOWN - the configuration has no server sections\n"))

    def test_a_section_header_unusable(self):
        path = os.path.join(self.folder(), "orvek.conf")
        with open(path, "w") as f:
            f.write("username wall\n[server lab]\nserver http://a\n[server lab]\nserver http://b\n")
        result = self.check(path)
        self.assertEqual(result.returncode, 3)
        self.assertEqual(result.stdout, 'ORVEK UNKNOWN - %s:4: a second server named "lab"\n' % path)

    def test_a_hanging_server_keeps_to_the_deadline(self):
        fine, hanging = self.fine_bed(), self.silent_server()
        # The hanging server first: a check of one server after another would
        # leave the others no time.
        conf = self.config([("stuck", hanging.base_url), ("prod", fine.base_url), ("lab", dead_url())])
        started = time.monotonic()
        result = self.check(conf, "-d", "5")
        took = time.monotonic() - started
        self.assertLess(took, 5 + 3, result.stdout)
        self.assertEqual(result.returncode, 2, result.stdout)
        head, _, blocks = self.parts(result.stdout)
        self.assertTrue(head.startswith("ORVEK CRITICAL - stuck: "), head)
        self.assertIn(", lab: connection refused", head)
        self.assertTrue(head.endswith("; 1 of 3 servers OK"), head)
        self.assertEqual(list(blocks), ["stuck", "prod", "lab"])
        self.assertTrue(blocks["prod"][-1].startswith("verdict: OK"), blocks["prod"])
        self.assertIn("problem: CRITICAL web1 / Load", blocks["prod"])
        self.assertTrue(blocks["lab"][-1].startswith("verdict: FAIL"), blocks["lab"])
        self.assertTrue(blocks["stuck"][-1].startswith("verdict: FAIL"), blocks["stuck"])

    def test_a_mistyped_section_header(self):
        """A line that starts with "[" and opens no section, in a file with
        sections: its server would vanish, so the wall does not start
        (status 2) and -t is UNKNOWN, both naming file, line and fix."""
        fine = self.fine_bed()
        folder = self.folder()
        path = os.path.join(folder, "orvek.conf")
        # (header as written, the line quoted)
        cases = [("[Server prod]", "[Server prod]"), ("[prod]", "[prod]"), ("  [ server prod ]", "[ server prod ]"),
                 ("[servers prod]", "[servers prod]")]
        for header, quoted in cases:
            with self.subTest(header):
                with open(path, "w") as f:
                    f.write("newcgi true\n[server lab]\nserver %s\n\n%s\nserver %s\n" % (fine.base_url, header,
                                                                                       fine.base_url))
                fault = '%s:5: "%s": a section header is written [server NAME]' % (path, quoted)
                result = self.check(path)
                self.assertEqual((result.returncode, result.stdout), (3, "ORVEK UNKNOWN - %s\n" % fault))
                status, screen = self.run_orvek("-c", path, cwd=folder, width=160,
                                                keeps_running=False).exit_status()
                self.assertEqual(status, 2, screen.text())
                self.assertEqual(screen.line(0).rstrip(), fault)

    def test_a_sections_exclude_file(self):
        """A section's own exclude file is named in its block with its
        entries; missing, or holding an empty line, it is a WARNING naming
        its path and the cause."""
        fine = self.fine_bed()
        folder = self.folder()
        missing = os.path.join(folder, "missing.exclude")
        empty_line = os.path.join(folder, "lab.exclude")
        with open(empty_line, "w") as f:
            f.write("db1\n\nweb2\n")
        good = os.path.join(folder, "good.exclude")
        with open(good, "w") as f:
            f.write("Disk\n")
        path = os.path.join(folder, "orvek.conf")

        def write(sections):
            with open(path, "w") as f:
                f.write("newcgi true\nusername %s\n" % USER)
                for name, exclude in sections:
                    f.write("[server %s]\nserver %s\n" % (name, fine.base_url))
                    if exclude:
                        f.write("exclude %s\n" % exclude)
            os.chmod(path, 0o600)

        write([("prod", good)])
        result = self.check(path)
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertIn("section exclude file: %s (named on line 5), 1 entry\n" % good, result.stdout)
        self.assertIn("set in the section: server (line 4), exclude (line 5)\n", result.stdout)
        self.assertIn("set in the defaults: username (line 2), newcgi (line 1)\n", result.stdout)

        write([("prod", missing), ("lab", empty_line), ("ok", None)])
        result = self.check(path)
        self.assertEqual(result.returncode, 1, result.stdout)
        head, _, blocks = self.parts(result.stdout)
        # Both causes in the first line, each path cut short after them.
        self.assertTrue(head.startswith("ORVEK WARNING - prod: the section exclude file cannot be read (No such file "
                                        "or directory): /"), head)
        self.assertIn("..., lab: the section exclude file's line 2 is empty, which hides every service: /", head)
        self.assertTrue(head.endswith("...; 1 of 3 servers OK"), head)
        self.assertIn("section exclude file: %s (named on line 5): No such file or directory" % missing,
                      blocks["prod"])
        self.assertEqual(blocks["prod"][0], "ORVEK WARNING - the monitor draws the report, but the section exclude "
                         "file cannot be read (No such file or directory): %s, named on line 5" % missing)
        self.assertIn("section exclude file: %s (named on line 8), 3 entries" % empty_line, blocks["lab"])
        self.assertIn('line 2: "": an empty line is an empty entry, which hides every service', blocks["lab"])
        self.assertEqual(blocks["lab"][0], "ORVEK WARNING - the monitor draws the report, but the section exclude "
                         "file's line 2 is empty, which hides every service: %s, named on line 8" % empty_line)
        # db1 and the empty line hide all of lab: the all-clear, in error.
        self.assertIn("hidden by the exclude file: 1 DOWN or UNREACHABLE host, 2 service problems", blocks["lab"])
        self.assertTrue(blocks["lab"][-1].startswith("verdict: WARNING: the monitor would draw this page as its "
                                                     "report, an empty black screen (all clear), but"), blocks["lab"])
        self.assertFalse(any(line.startswith("section exclude file") for line in blocks["ok"]), blocks["ok"])

        # A FIFO is named, never opened to wait for a writer.
        fifo = os.path.join(folder, "pipe.exclude")
        os.mkfifo(fifo)
        write([("pipe", fifo)])
        result = self.check(path)
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("section exclude file: %s (named on line 5): a FIFO, not a regular file\n" % fifo, result.stdout)
