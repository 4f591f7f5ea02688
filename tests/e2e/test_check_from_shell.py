"""orvek -t against real servers: one fetch, explained on standard output,
exit 0 when the monitor would draw the page as its report, 1 when it would
but a pitfall was found, and 2 when it would show the banner. Every run has TERM unset and its output going to a
pipe, as under cron; none may show the password in any form."""

import base64
import os
import re
import subprocess
import unittest

from statusbed import DigestServer, free_port, rendition_page, row_page, status_page
from support import E2ETestCase, write_config

PASSWORD = "Tr0ub4dor-k7Qz-x9"
USER = "alice"
# Written into a server URL, where orvek ignores it; no output may show it either.
URL_PASSWORD = "Url-Pa55-q8Wm"

PAGE = status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web1", "Disk"),
                    ("unknown", "mail", "Backup")])

# The real CGI's answer when it cannot read its status data: status 200.
CGI_ERROR_PAGE = (
    '<?xml version="1.0"?>\n'
    '<!DOCTYPE wml PUBLIC "-//WAPFORUM//DTD WML 1.1//EN" "http://www.wapforum.org/DTD/wml_1.1.xml">\n'
    "<wml>\n<head>\n<meta forua=\"true\" http-equiv=\"Cache-Control\" content=\"max-age=0\"/>\n</head>\n"
    "<P>Error: Could not read host and service status information!</P>\n"
    "</wml>\n"
)

# A single sign-on proxy's answer to an expired session, also status 200.
# (No script element: "<script" holds the status token "cri", which would
# make that line a problem line.)
SIGN_IN_PAGE = (
    "<!DOCTYPE html>\n<html><head><title>Sign in - Example SSO</title>\n"
    "<style>body { font-family: sans-serif }</style></head>\n"
    "<body><h1>Your session has expired</h1>\n"
    "<form method=post><input name=user><input type=password name=pass></form></body></html>\n"
)

# The same expired session behind a page with a description and a script:
# tokens inside words ("description", "script"), no names.
SSO_PAGE = ('<!DOCTYPE html>\n<html>\n<head>\n<meta name="description" content="Single sign-on">\n'
            '<script src="/sso/login.js"></script>\n</head>\n<body><h1>Sign in</h1></body>\n</html>\n')

ROW_PAGE = row_page([("warning", "sunrise", "DNS unresolved"), ("down", "web10"), ("critical", "web1", "Load")])
MANY_ROWS_PAGE = row_page([("critical", "h%02d" % i, "Load") for i in range(25)])


def secret_forms(user=USER):
    forms = {"password": PASSWORD.encode(), "password in the URL": URL_PASSWORD.encode()}
    forms["Basic credentials"] = base64.b64encode(("%s:%s" % (user, PASSWORD)).encode())
    return forms


class CheckFromShellTest(E2ETestCase):
    def check(self, *args, cwd=None):
        """orvek -t with TERM unset and standard output a pipe."""
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", *args], cwd=cwd or self.folder(), env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60)

    def digest_bed(self, page=PAGE, **kwargs):
        bed = self.bed(auth="digest", users={USER: PASSWORD}, **kwargs)
        bed.set_page(page)
        return bed

    def basic_bed(self, page=PAGE, **kwargs):
        bed = self.bed(auth="basic", users={USER: PASSWORD}, **kwargs)
        bed.set_page(page)
        return bed

    def digest_server(self, users, page=PAGE):
        server = DigestServer(users, page).__enter__()
        self.addCleanup(server.__exit__, None, None, None)
        return server

    def test_check_table(self):
        dead = "http://127.0.0.1:%d" % free_port()
        excluded = os.path.join(self.folder(), "exclude")
        with open(excluded, "w") as f:
            f.write("db1\nbackup\n")

        def url_with_credentials(url):
            return url.replace("://", "://bob:%s@" % URL_PASSWORD)

        # (case, makes the server and returns (url, server or None), config
        # switches, extra arguments, exit status, lines or parts of lines
        # the output holds, texts it must not hold, requests the server logs)
        cases = [
            ("good page, Digest", lambda: self.digest_bed(), {"digest": True}, [], 0,
             ["authentication: Digest only", "answer: HTTP status 200 (OK), ", "page: the server's list of problems",
              "DOWN hosts: 1\n", "UNREACHABLE hosts: 0\n", "hosts with service problems: 2\n",
              "service problems: 1 CRITICAL, 1 WARNING, 1 UNKNOWN\n", "lines that yield no name (\"No match!\"): 0\n",
              "problem: DOWN db1\n", "problem: CRITICAL web1 / Load\n",
              "verdict: OK: the monitor would draw this page as its report, on a red screen"],
             ["pitfall", "hint"], 1),
            ("good page, Basic, with an exclude file", lambda: self.basic_bed(), {}, ["-e", excluded], 0,
             ["exclude file: %s, 2 entries\n" % excluded, "DOWN hosts: 0\n",
              "hidden by the exclude file: 1 DOWN or UNREACHABLE host, 1 service problem\n",
              "service problems: 1 CRITICAL, 1 WARNING, 0 UNKNOWN\n", "verdict: OK"], ["red screen"], 1),
            ("wrong password, Digest", lambda: self.bed(auth="digest", users={USER: "other"}), {"digest": True}, [], 2,
             ["answer: HTTP status 401 (Unauthorized)", "offered by the server: Digest\n",
              "hint: the server refused the user name or the password", "verdict: FAIL"], [], 0),
            ("wrong password, Basic", lambda: self.bed(auth="basic", users={USER: "other"}), {}, [], 2,
             ["answer: HTTP status 401 (Unauthorized)", "offered by the server: Basic\n",
              "hint: the server refused the user name or the password", "verdict: FAIL"], [], 0),
            ("digest yes against a Basic-only server", lambda: self.basic_bed(), {"digest": True}, [], 2,
             ["HTTP status 401", "offered by the server: Basic\n", "hint: digest yes makes orvek answer Digest only"],
             [], 0),
            # Without "digest yes" orvek answers whatever the server asks for.
            ("no digest line against a Digest-only server", lambda: self.digest_bed(), {}, [], 0,
             ["authentication: whichever scheme the server asks for", "HTTP status 200", "verdict: OK"], [], 1),
            ("nothing listening", lambda: (dead, None), {}, [], 2,
             ["answer: none: connection refused", "libcurl says: ", "verdict: FAIL"], [], None),
            ("the CGI's error page with status 200",
             lambda: self.basic_bed(page=CGI_ERROR_PAGE), {}, [], 2,
             ["HTTP status 200", "page: no list of problems: no problem line, and no complete status document",
              'page text: "Error: Could not read host and service status information!"\n', "verdict: FAIL"],
             ["DOCTYPE", "wapforum"], 1),
            ("a sign-in page with status 200", lambda: self.basic_bed(page=SIGN_IN_PAGE), {}, [], 2,
             ['page text: "Sign in - Example SSO Your session has expired"\n', "verdict: FAIL"],
             ["font-family"], 1),
            ("a page cut short", lambda: self.basic_bed(page=PAGE.replace("</wml>\n", "")), {}, [], 2,
             ["page: cut short: a WML document without its </wml>\n", "verdict: FAIL"], [], 1),
            ("a redirect", lambda: self.redirecting_bed(), {}, [], 2,
             ["HTTP status 302 (Found)", "redirected to: https://monitor.example.org/nagios/cgi-bin/x\n"], [], 1),
            ("newcgi absent against the postfield page", lambda: self.basic_bed(), {"newcgi": False}, [], 0,
             ["service names read from: table cells", 'service problems shown without a name: 3\n', "problem: CRITICAL web1 / (no service name)\n",
              'hint: the service names stand in postfield elements: add the line "newcgi true"', "verdict: OK"],
             [], 1),
            # Rows are read by their cells, whatever newcgi says: no hint.
            ("rows, newcgi absent", lambda: self.basic_bed(page=ROW_PAGE), {"newcgi": False}, [], 0,
             ["kind of page: the status document (the WML card of problems)\n", "problem: WARNING sunrise / DNS unresolved\n",
              "problem: DOWN web10\n", "problem: CRITICAL web1 / Load\n", "hosts with service problems: 2\n",
              "verdict: OK: the monitor would draw this page as its report, on a red screen"], ["hint"], 1),
            ("the plain HTML rendition", lambda: self.basic_bed(page=rendition_page([("down", "db1"),
                                                                                      ("critical", "web1", "Load")])),
             {}, [], 0,
             ["kind of page: the plain HTML rendition of the list\n", "problem: DOWN db1\n",
              "problem: CRITICAL web1 / Load\n", "verdict: OK"], [], 1),
            ("the plain HTML rendition's all-clear", lambda: self.basic_bed(page=rendition_page([])), {}, [], 0,
             ["kind of page: the plain HTML rendition of the list\n", "an empty black screen (all clear)"],
             ["problem:"], 1),
            ("at most twenty problems listed", lambda: self.basic_bed(page=MANY_ROWS_PAGE), {}, [], 0,
             ["problem: CRITICAL h19 / Load\n", "problem: ... and 5 more\n"], ["h20"], 1),
            ("a sign-in page holding tokens in words", lambda: self.basic_bed(page=SSO_PAGE), {}, [], 2,
             ["kind of page: another page", "page: no list of problems: 2 lines carry a status token, but not one "
              "of them yields a host or service name\n", "no name can be read", "verdict: FAIL"], [], 1),
            ("credentials in the server URL", lambda: self.basic_bed(), {"url": url_with_credentials}, [], 1,
             ["pitfall: the server URL holds credentials (user:password@)",
              "verdict: WARNING: the monitor would draw this page as its report"], ["bob"], 1),
            ("server value ending in a slash, over https", lambda: self.basic_bed(https=True),
             {"url": lambda url: url + "/"}, [], 1,
             ["URL: https://127.0.0.1:", "//cgi-bin/statuswml.cgi?style=uprobs\n",
              "certificate: not verified", "pitfall: the server value ends in '/'"], [], 1),
            ("a user name with a colon against Digest logs in",
             lambda: self.colon_server(), {"digest": True, "username": "dom:ops"}, [], 0,
             ["user name: dom:ops\n", "HTTP status 200", "verdict: OK"], ["pitfall"], None),
            ("a user name with a colon and Basic", lambda: self.bed(auth="basic", users={"dom": PASSWORD}),
             {"username": "dom:ops"}, [], 2,
             ["pitfall: the user name holds ':', which Basic cannot carry", "HTTP status 401"], [], 0),
        ]
        for case, make_server, switches, args, status, present, absent, requests in cases:
            with self.subTest(case):
                made = make_server()
                url, server = made if isinstance(made, tuple) else (made.base_url, made)
                switches = dict(switches)
                url = switches.pop("url", lambda u: u)(url)
                user = switches.pop("username", USER)
                conf = write_config(self.folder(), url, username=user, password=PASSWORD, **switches)
                result = self.check("-c", conf, *args)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, status, out)
                self.assertEqual(result.stderr, b"")
                self.assertRegex(out, r"^ORVEK %s - [^\n]+\nconfiguration: %s\n"
                                 % (["OK", "WARNING", "CRITICAL"][status], re.escape(conf)))
                self.assertNotIn("\x1b", out, "curses started")
                for text in present:
                    self.assertIn(text, out)
                for text in absent:
                    self.assertNotIn(text, out)
                self.assertEqual(out.count("verdict: "), 1)
                self.assertTrue(out.endswith("\n") and out.splitlines()[-1].startswith("verdict: "), out)
                self.assertNoSecret(result, user)
                if requests is not None:
                    self.assertEqual(len(server.requests()), requests, "one fetch, logged when it got through")
                if isinstance(server, DigestServer):
                    self.assertEqual(set(server.usernames), {user}, "the whole user name reached the server")

    def redirecting_bed(self):
        bed = self.bed()
        bed.respond(page=PAGE, status=302, headers=[("Location", "https://monitor.example.org/nagios/cgi-bin/x")])
        return bed

    def colon_server(self):
        return self.digest_server({"dom:ops": PASSWORD})

    def assertNoSecret(self, result, user=USER):
        for form, secret in secret_forms(user).items():
            self.assertNotIn(secret, result.stdout, "the %s shows on standard output" % form)
            self.assertNotIn(secret, result.stderr, "the %s shows on standard error" % form)

    def test_servers_that_never_answer(self):
        # The fetch's own bounds end these: 10 s to connect (the TLS handshake
        # included), 30 s in all.
        cases = [
            ("connection never made", False, "http", "answer: none: no connection within 10 s"),
            ("TLS handshake never answered", True, "https", "answer: none: no connection within 10 s"),
            ("connected, never answered", True, "http", "answer: none: connected, but no complete answer within 30 s"),
        ]
        for case, accept, scheme, words in cases:
            with self.subTest(case):
                server = self.silent_server(accept=accept)
                url = server.base_url.replace("http:", scheme + ":")
                conf = write_config(self.folder(), url, username=USER, password=PASSWORD)
                result = self.check("-c", conf)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, 2, out)
                self.assertIn(words, out)
                self.assertIn("verdict: FAIL", out)
                self.assertNoSecret(result)

    def test_configuration_not_found(self):
        missing = os.path.join(self.folder(), "missing.conf")
        result = self.check("-c", missing)
        reason = "%s: No such file or directory" % missing
        self.assertEqual((result.returncode, result.stdout.decode(), result.stderr),
                         (3, "ORVEK UNKNOWN - could not find orvek.conf: %s\n%s\n" % (reason, reason), b""))


if __name__ == "__main__":
    unittest.main()
