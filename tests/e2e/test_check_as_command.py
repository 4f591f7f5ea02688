"""orvek -t as a monitoring server runs it as a check command: within one
deadline for all of its transfers, UNKNOWN (status 3) for whatever stops
the check, one '|' in its output (the performance data's), a short first
line, status 3 when its words cannot be written, and, on request (-W), the
exposure warnings as WARNING."""

import json
import os
import subprocess
import time
import unittest

from statusbed import status_page
from support import E2ETestCase, write_config

USER = "alice"
PASSWORD = "Tr0ub4dor-k7Qz-x9"
PAGE = status_page([("down", "db1"), ("critical", "web1", "Load")])
BROKEN_BAR = "\u00a6"
# Time for a loaded machine to start the binary and write its words, on
# top of a deadline; the only timing asserted.
MARGIN = 8


def first_line(out):
    return out.split("\n", 1)[0]


class CheckAsCommandTest(E2ETestCase):
    def check(self, *args, cwd=None, stdout=subprocess.PIPE):
        """orvek -t as cron or a shell runs it: TERM unset, output to a pipe."""
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", *args], cwd=cwd or self.folder(), env=env,
                              stdin=subprocess.DEVNULL, stdout=stdout, stderr=subprocess.PIPE, timeout=90)

    def basic_bed(self, page=PAGE, **kwargs):
        bed = self.bed(auth="basic", users={USER: PASSWORD}, **kwargs)
        bed.set_page(page)
        return bed

    def config(self, url, lines=(), mode=0o600, **settings):
        conf = write_config(self.folder(), url, username=USER, password=PASSWORD, **settings)
        with open(conf, "a") as f:
            f.writelines(line + "\n" for line in lines)
        os.chmod(conf, mode)
        return conf

    def assertOneBar(self, out):
        """The one '|' starts the performance data on the first line."""
        self.assertEqual(out.count("|"), 1, out)
        self.assertRegex(first_line(out), r" \| time=\d+\.\d{3}s size=\d+B( problems=\d+)?$")
        self.assertLessEqual(len(first_line(out).encode()), 200, out)

    def test_one_deadline_for_every_transfer(self):
        # Headers at once, then a byte every two seconds: the page alone
        # would take many minutes.
        trickling = self.basic_bed()
        trickling.respond(page=PAGE, drip=(1, 2.0))
        # The list at once, the JSON answer (asked with maxage) only after
        # a minute.
        late_json = self.basic_bed()
        late_json.set_data_age(delay=60)
        # The default deadline, side by side with the short ones.
        started = time.monotonic()
        default = subprocess.Popen([self.binary, "-t", "-c", self.config(trickling.base_url)], cwd=self.folder(),
                                   env={"PATH": "/usr/bin:/bin"}, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(lambda: default.poll() is None and default.kill())
        cases = [
            ("the list trickles", self.config(trickling.base_url), 2, trickling,
             "answer: HTTP status 200 (OK), but no complete answer within 4 s (after "),
            ("the JSON answer comes late", self.config(late_json.base_url, ["maxage 300"]), 2, late_json,
             "data age answer: none: "),
        ]
        for case, conf, status, bed, words in cases:
            with self.subTest(case):
                asked = len(bed.data_age_requests())
                before = time.monotonic()
                result = self.check("-c", conf, "-d", "4")
                elapsed = time.monotonic() - before
                out = result.stdout.decode()
                self.assertLess(elapsed, 4 + MARGIN, out)
                self.assertEqual(result.returncode, status, out)
                self.assertIn(words, out)
                self.assertIn("no complete answer within 4 s", out)
                self.assertTrue(out.endswith("\n") and out.splitlines()[-1].startswith("verdict: "), out)
                self.assertOneBar(out)
                if bed is trickling:
                    # After a list that failed the JSON CGI is not asked.
                    self.assertEqual(len(bed.data_age_requests()), asked, out)
        out, _ = default.communicate(timeout=30 + MARGIN + 30)
        elapsed = time.monotonic() - started
        out = out.decode()
        self.assertLess(elapsed, 30 + MARGIN, out)
        self.assertEqual(default.returncode, 2, out)
        self.assertIn("answer: HTTP status 200 (OK), but no complete answer within 30 s (after ", out)
        self.assertTrue(out.startswith('ORVEK CRITICAL - the monitor would show the banner " No connection to '
                                       'server! ": no complete answer within 30 s | '), out)
        self.assertEqual(trickling.data_age_requests(), [])

    def test_unknown_for_what_stops_the_check(self):
        folder = self.folder()
        conf = self.config("http://127.0.0.1:9")
        missing = os.path.join(folder, "missing.conf")
        # (case, arguments after -t, the whole output)
        cases = [
            ("an unknown option", ["-x", "-c", conf], "ORVEK UNKNOWN - unknown option -x\n"),
            ("-s without its value", ["-c", conf, "-s"], "ORVEK UNKNOWN - option -s without its value\n"),
            ("a deadline that is no number", ["-c", conf, "-d", "soon"],
             'ORVEK UNKNOWN - the deadline of -d must be a whole number of seconds from 1 to 3600, not "soon"\n'),
            ("no configuration", ["-c", missing],
             "ORVEK UNKNOWN - could not find orvek.conf: %s: No such file or directory\n"
             "%s: No such file or directory\n" % (missing, missing)),
        ]
        for case, args, output in cases:
            with self.subTest(case):
                result = self.check(*args, cwd=folder)
                self.assertEqual((result.returncode, result.stdout.decode(), result.stderr), (3, output, b""))
        # Without -t the monitor keeps its ways: getopt's words on standard
        # error, and the configuration's message with status 2.
        plain = subprocess.run([self.binary, "-x", "-c", missing], cwd=folder, env={"PATH": "/usr/bin:/bin"},
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        self.assertEqual((plain.returncode, plain.stdout), (2, b"Could not find orvek.conf, exiting.\n"))
        self.assertIn(b"invalid option -- 'x'", plain.stderr)

    def test_no_bar_but_the_performance_datas(self):
        sign_on = ("<!DOCTYPE html>\n<html><head><title>Single sign-on | Please log in</title></head>\n"
                   "<body><h1>Sign in</h1></body></html>\n")
        moved = self.basic_bed()
        moved.respond(status=302, headers=[("Location", "https://sso.example/login?a|b")])
        # (case, server, configuration lines added, exit status, texts the output holds)
        cases = [
            ("a page title", self.basic_bed(page=sign_on), [], 2,
             ['page text: "Single sign-on %s Please log in Sign in"\n' % BROKEN_BAR]),
            ("a configuration line", self.basic_bed(), ["something|odd"], 1,
             ['line 6: "something%sodd": ' % BROKEN_BAR, "ORVEK WARNING - the monitor draws the report, but line 6 "]),
            ("a header", moved, [], 2, ["redirected to: https://sso.example/login?a%sb\n" % BROKEN_BAR]),
        ]
        for case, bed, lines, status, present in cases:
            with self.subTest(case):
                result = self.check("-c", self.config(bed.base_url, lines))
                out = result.stdout.decode()
                self.assertEqual(result.returncode, status, out)
                for text in present:
                    self.assertIn(text, out)
                self.assertOneBar(out)

    def test_output_that_cannot_be_written(self):
        bed = self.basic_bed()
        with open("/dev/full", "wb") as full:
            result = self.check("-c", self.config(bed.base_url), stdout=full)
        self.assertEqual(result.returncode, 3)
        self.assertIn(b"orvek: standard output cannot be written: No space left on device", result.stderr)

    def test_warnings_count_on_request(self):
        plain = self.basic_bed()
        tls = self.basic_bed(https=True)
        readable = self.config(plain.base_url, mode=0o644)
        unverified = self.config(tls.base_url)
        # (case, configuration, -W, exit status, first line begins, texts the output holds)
        cases = [
            ("Basic over http and a readable file, by default", readable, False, 0,
             "ORVEK OK - the monitor would draw this page as its report | ",
             ["warning: over plain http orvek answers Basic", "mode 0644"]),
            ("the same with -W", readable, True, 1,
             "ORVEK WARNING - the monitor draws the report, but over plain http orvek answers Basic",
             ["verdict: WARNING: the monitor would draw this page as its report, on a red screen"]),
            ("https unverified, by default", unverified, False, 0, "ORVEK OK - ", []),
            # (The test bed's certificate ends soon, which is warned of first.)
            ("https unverified with -W", unverified, True, 1, "ORVEK WARNING - the monitor draws the report, but ",
             ["warning: the server's certificate is not verified: anyone on the way to the server can answer in "
              "its name; add verify yes, a cafile or a pin line\n"]),
        ]
        for case, conf, strict, status, first, present in cases:
            with self.subTest(case):
                result = self.check("-c", conf, *(["-W"] if strict else []))
                out = result.stdout.decode()
                self.assertEqual(result.returncode, status, out)
                self.assertTrue(out.startswith(first), out)
                for text in present:
                    self.assertIn(text, out)
                if not strict:
                    self.assertNotIn("certificate is not verified", out)
                self.assertOneBar(out)

    def test_a_user_who_may_see_no_host(self):
        bed = self.basic_bed(page=status_page([]))
        bed.set_data_age(hosts={USER: (0, 0, 0, 0)})
        result = self.check("-c", self.config(bed.base_url))
        out = result.stdout.decode()
        self.assertEqual(result.returncode, 1, out)
        self.assertTrue(out.startswith("ORVEK WARNING - the monitor draws the report, but the server shows this "
                                       "user no hosts | "), out)
        self.assertOneBar(out)
        self.assertIn("verdict: WARNING: the server shows this user no hosts (none up, down, unreachable or "
                      "pending)", out)

    def test_a_host_count_that_cannot_be_read(self):
        bed = self.basic_bed(page=status_page([]))
        now = int(time.time() * 1000)
        no_count = json.dumps({"format_version": 0, "result": {"query_time": now, "last_data_update": now},
                               "data": {}})
        # (case, the JSON CGI's answer, the reason)
        cases = [
            ("missing", dict(body=no_count), "the answer holds no data.count object"),
            ("text", dict(hosts={USER: ("5", 0, 0, 0)}), "data.count holds up as no whole number from 0"),
            ("fraction", dict(hosts={USER: (0, 1.5, 0, 0)}), "data.count holds down as no whole number from 0"),
            ("negative", dict(hosts={USER: (0, 0, -1, 0)}), "data.count holds unreachable as no whole number from 0"),
            ("overflow", dict(hosts={USER: (0, 0, 0, 2 ** 64)}), "data.count holds pending as no whole number from 0"),
            ("a sum too large", dict(hosts={USER: (2 ** 62, 2 ** 62, 0, 0)}), "the host counts are too large"),
        ]
        for case, answer, reason in cases:
            with self.subTest(case):
                bed.set_data_age(**answer)
                result = self.check("-c", self.config(bed.base_url, ["maxage 300"]))
                out = result.stdout.decode()
                # The wall keeps its list; the check says why it cannot vouch for it.
                self.assertEqual(result.returncode, 1, out)
                self.assertIn("hosts visible to %s: unknown: %s\n" % (USER, reason), out)
                self.assertTrue(out.startswith("ORVEK WARNING - the monitor draws the report, but the JSON answer's "
                                               "host count cannot be read: " + reason), out)
                self.assertIn("verdict: WARNING: the monitor would draw this page as its report, an empty black "
                              "screen (all clear)", out)
        # Without maxage the count is only named.
        result = self.check("-c", self.config(bed.base_url))
        self.assertEqual(result.returncode, 0, result.stdout.decode())

    def test_run_as_a_check_command(self):
        """No terminal, standard input closed, an environment of nothing,
        the root directory as the working one: as the monitoring server's
        core runs its check commands."""
        bed = self.basic_bed()
        conf = self.config(bed.base_url)
        result = subprocess.run([self.binary, "-t", "-c", conf], cwd="/", env={}, stdin=None,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60,
                                preexec_fn=lambda: os.close(0), start_new_session=True)
        out = result.stdout.decode()
        self.assertEqual((result.returncode, result.stderr), (0, b""), out)
        self.assertTrue(out.startswith("ORVEK OK - the monitor would draw this page as its report | "), out)
        self.assertOneBar(out)
        self.assertNotIn("\x1b", out, "curses started")
        self.assertNotIn(PASSWORD, out)
        self.assertTrue(out.splitlines()[-1].startswith("verdict: OK: "), out)
        self.assertEqual(len(bed.requests()), 1)


if __name__ == "__main__":
    unittest.main()
