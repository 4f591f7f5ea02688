"""orvek -t over the set-up mistakes people make: each configuration line
the reader does not take, or takes changed, is named by number with its
reason; so are the exclude file's surprising lines, how -s was read, and why
no configuration could be read. Run as under cron: TERM unset, output to a
pipe, against a real server (Basic, lighttpd)."""

import os
import shutil
import subprocess
import unittest

from statusbed import status_page
from support import E2ETestCase, free_port, write_config
from test_server_faults import FaultServer, answer, close_gently, read_request

USER = "alice"
PASSWORD = "Tr0ub4dor-k7Qz"
PAGE = status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web1", "Disk"),
                    ("unknown", "mail", "Backup")])
# The CGI's error page, its text holding U+009B, the eight-bit control
# sequence introducer, which must not reach the terminal as it is.
C1_PAGE = ("<?xml version=\"1.0\"?>\n<wml>\n<P>Error: \u009b31mred\u009b0m status data!</P>\n</wml>\n")
NOT_FOUND = "Could not find orvek.conf, exiting.\n"


def unknown_not_found(reasons):
    """What -t says of a configuration it cannot find: the reasons, one a
    line, joined in the first line (cut to 200 bytes) and listed below it."""
    first = "ORVEK UNKNOWN - could not find orvek.conf: " + "; ".join(reasons.splitlines())
    if len(first) > 200:
        first = first[:197] + "..."
    return first + "\n" + reasons


def good_lines(url):
    return ["server %s\n" % url, "username %s\n" % USER, "password %s\n" % PASSWORD]


class CheckMistakesTest(E2ETestCase):
    def check(self, *args, cwd, env=None):
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", **(env or {})}
        return subprocess.run([self.binary, "-t", *args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60)

    def test_mistakes_table(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD})
        url = bed.base_url
        # Password files whose first line holds more than the password.
        files = self.folder()
        blank_after = os.path.join(files, "blank-after")
        quoted = os.path.join(files, "quoted")
        for path, line in ((blank_after, PASSWORD + " \n"), (quoted, '"%s"\n' % PASSWORD)):
            with open(path, "w") as f:
                f.write(line)
            os.chmod(path, 0o600)
        # (case, configuration lines (None: the usual ones, newcgi true
        # included), extra arguments, exclude file text, page, exit status,
        # texts the output holds, texts it must not hold)
        cases = [
            ("capitalised key: the newcgi line after it is named, not asked for",
             good_lines(url) + ["Digest yes\n", "newcgi true\n"], [], None, PAGE, 1,
             ['line 4: "Digest yes": keys are lower case: digest', 'line 5: "newcgi true": not read: line 4',
              'hint: the service names stand in postfield elements: line 5 must read "newcgi true"'],
             ["add the line"]),
            ("tab between key and value", good_lines(url) + ["newcgi\ttrue\n"], [], None, PAGE, 1,
             ['line 4: "newcgi^Itrue": a tab between newcgi and its value: the reader takes only a space',
              "line 4 must read"], ["add the line"]),
            ("last line without line end", good_lines(url) + ["newcgi true"], [], None, PAGE, 1,
             ['line 4: "newcgi true": the last line has no line end: the reader drops it', "line 4 must read"],
             ["add the line"]),
            ("no newcgi line at all: the hint asks for it", good_lines(url), [], None, PAGE, 0,
             ['hint: the service names stand in postfield elements: add the line "newcgi true"'], ["line 4"]),
            ("spaces in the password", good_lines(url)[:2] + ["password Tr0ub4dor -k7Qz\n", "newcgi true\n"], [],
             None, PAGE, 1, ['line 3: "password ********": spaces and # are dropped from password', "verdict: WARNING"],
             ["Tr0ub4dor", "-k7Qz"]),
            ("key given twice", good_lines(url)[:1] + ["username bob\n"] + good_lines(url)[1:] + ["newcgi true\n"],
             [], None, PAGE, 1, ['line 2: "username bob": username is given again on line 3, which counts'], []),
            ("misspelt key swallows the lines after it",
             good_lines(url)[:1] + ["usrname %s\n" % USER, "password %s\n" % PASSWORD, "newcgi true\n"], [], None,
             PAGE, 2, ['line 2: "usrname alice": unknown key "usrname", probably meant username',
                       'line 3: "password ********": not read: line 2', "HTTP status 401"], []),
            ("two keys on one line", good_lines(url) + ["username digest yes\n", "username %s\n" % USER,
                                                        "newcgi true\n"], [], None, PAGE, 1,
             ["two keys on one line: username takes the value, digest gets an empty one"], []),
            ("Windows line ends", [line.replace("\n", "\r\n") for line in good_lines(url) + ["newcgi true\n"]], [],
             None, PAGE, 2, ['line 4: "newcgi true^M": a carriage return stays at the end of the value'], []),
            ("exclude file: empty line, blanks, carriage return, duplicate", None, [],
             "db1 \nweb1\r\n\nmail\nmail\nlast", PAGE, 1,
             ['line 1: "db1 ": trailing blanks stay in the entry: it equals no host named "db1"',
              'line 2: "web1^M": ends in a carriage return', 'line 3: "": an empty line is an empty entry, which '
              'hides every service', 'line 5: "mail": the same as line 4',
              'line 6: "last": the last line has no line end: it is no entry',
              "hidden by the exclude file: 0 DOWN or UNREACHABLE hosts, 3 service problems"], []),
            ("exclude file that is a directory", None, ["-e", "/"], None, PAGE, 1,
             ["exclude file: /, 0 entries (Is a directory)\n"], []),
            ("-s five", None, ["-s", "five"], None, PAGE, 1,
             ["interval: 0 s (-s five: not a number: no pause between fetches)\n"], []),
            ("-s 1min", None, ["-s", "1min"], None, PAGE, 0,
             ["interval: 1 s (-s 1min: text after the number ignored)\n"], []),
            ("-s -1", None, ["-s", "-1"], None, PAGE, 1,
             ["interval: 4294967295 s (-s -1: a negative number wraps around: the screen is never refreshed)\n"], []),
            ("no -s", None, [], None, PAGE, 0, ["interval: 10 s (the default)\n"], []),
            ("byte-order mark: no key of the file is read",
             ["\ufeff" + good_lines(url)[0]] + good_lines(url)[1:] + ["newcgi true\n"], [], None, PAGE, 2,
             ['line 1: "server %s": the file starts with a byte-order mark (EF BB BF): save it without' % url,
              'line 3: "password ********": not read: line 1', "pitfall: no server value: line 1 was not taken"],
             ["\ufeff"]),
            ("quoted password", good_lines(url)[:2] + ['password "%s"\n' % PASSWORD, "newcgi true\n"], [], None,
             PAGE, 2, ['line 3: "password ********": the quotes are part of the password', "HTTP status 401"], []),
            ("password file: a blank after the password",
             good_lines(url)[:2] + ["passwordfile %s\n" % blank_after, "newcgi true\n"], [], None, PAGE, 2,
             ["password: from the password file %s; the password ends with a blank\n" % blank_after,
              "HTTP status 401"], []),
            ("password file: quotes", good_lines(url)[:2] + ["passwordfile %s\n" % quoted, "newcgi true\n"], [],
             None, PAGE, 2,
             ["password: from the password file %s; the quotes are part of the password\n" % quoted], []),
            ("exclude file: a line written as a comment", None, [], "# old hosts\nLoad\n", PAGE, 1,
             ['line 1: "# old hosts": exclude files have no comments: this line hides services whose names contain '
              '`# old hosts`', "hidden by the exclude file: 0 DOWN or UNREACHABLE hosts, 1 service problem"], []),
            ("C1 control characters from the server", None, [], None, C1_PAGE, 2,
             ['page text: "Error: M-^[31mredM-^[0m status data!"'], ["\u009b", "\x1b"]),
        ]
        for case, conf_lines, args, exclude, page, status, present, absent in cases:
            with self.subTest(case):
                folder = self.folder()
                conf = os.path.join(folder, "orvek.conf")
                with open(conf, "w", newline="") as f:
                    f.writelines(conf_lines if conf_lines is not None else good_lines(url) + ["newcgi true\n"])
                extra = list(args)
                if exclude is not None:
                    path = os.path.join(folder, "exclude")
                    with open(path, "w", newline="") as f:
                        f.write(exclude)
                    extra += ["-e", path]
                bed.set_page(page)
                result = self.check("-c", conf, *extra, cwd=folder)
                out = result.stdout.decode("utf-8", "replace")
                self.assertEqual(result.returncode, status, out)
                self.assertEqual(result.stderr, b"")
                for text in present:
                    self.assertIn(text, out)
                for text in absent:
                    self.assertNotIn(text, out)
                self.assertNotIn(PASSWORD.encode(), result.stdout)
                self.assertNotIn(b"\xc2\x9b", result.stdout)
                self.assertTrue(out.splitlines()[-1].startswith("verdict: "), out)

    def test_the_password_is_masked_on_its_own_line_only(self):
        """The configuration's lines hide the password's value where it
        stands as one; a value holding its letters shows as written."""
        bed = self.bed(auth="basic", users={USER: "guest"})
        bed.set_page(PAGE)
        folder = self.folder()
        conf = os.path.join(folder, "orvek.conf")
        with open(conf, "w") as f:
            f.writelines(["server %s\n" % bed.base_url, "username guest2\n", "username %s\n" % USER,
                          "password gu est\n", "newcgi true\n"])
        result = self.check("-c", conf, cwd=folder)
        out = result.stdout.decode("utf-8", "replace")
        self.assertIn('line 2: "username guest2": username is given again on line 3, which counts\n', out)
        self.assertIn('line 4: "password ********": spaces and # are dropped from password', out)
        self.assertNotIn("gu est", out)
        self.assertIn("verdict: WARNING: the monitor would draw this page as its report", out)

    def test_header_sections_over_libcurls_limits(self):
        # libcurl says "Out of memory" for the one and a size for the other.
        long_line = b"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: " + b", ".join(
            b"Scheme%d" % i for i in range(20000)) + b"\r\nContent-Length: 0\r\n\r\n"
        many_lines = b"HTTP/1.1 401 Unauthorized\r\n" + b"".join(
            b"WWW-Authenticate: Scheme%d realm=\"r\"\r\n" % i for i in range(12000)) + b"Content-Length: 0\r\n\r\n"
        cases = [
            ("one header line of thousands of schemes", long_line,
             "a header line of the answer is over libcurl's limit of 100 KiB"),
            ("thousands of WWW-Authenticate lines", many_lines,
             "the answer's header section is over libcurl's limit of 300 KiB ("),
        ]
        for case, head, words in cases:
            with self.subTest(case):
                server = FaultServer(answer(b"", head=head)).start()
                self.addCleanup(server.stop)
                folder = self.folder()
                conf = write_config(folder, server.base_url, username=USER, password=PASSWORD)
                result = self.check("-c", conf, cwd=folder)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, 2, out)
                self.assertIn(words, out)
                self.assertNotIn("answer: none", out)

    def test_cafile_holding_a_private_key(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD}, https=True)
        bed.set_page(PAGE)
        folder = self.folder()
        key = os.path.join(bed.dir, "key.pem")
        conf = os.path.join(folder, "orvek.conf")
        with open(conf, "w") as f:
            f.writelines(good_lines(bed.base_url) + ["cafile %s\n" % key, "newcgi true\n"])
        result = self.check("-c", conf, cwd=folder)
        out = result.stdout.decode()
        self.assertEqual(result.returncode, 2, out)
        self.assertIn("pitfall: the cafile %s holds no certificate: it must hold the CA's certificates in PEM "
                      "(-----BEGIN CERTIFICATE-----)\n" % key, out)
        self.assertNotIn("cannot be read", out)
        # With the certificate itself the same line passes.
        with open(conf, "w") as f:
            f.writelines(good_lines(bed.base_url) + ["cafile %s\n" % os.path.join(bed.dir, "cert.pem"),
                                                     "newcgi true\n"])
        result = self.check("-c", conf, cwd=folder)
        self.assertEqual(result.returncode, 0, result.stdout.decode())
        self.assertNotIn("holds no certificate", result.stdout.decode())

    def test_plain_http_to_a_tls_port(self):
        """http:// to a port that speaks TLS: the server closes on the
        request it cannot read; -t tries a handshake there (no request, no
        password) and says so. A plain server that closes the same way gets
        no such hint."""
        tls = self.bed(auth="basic", users={USER: PASSWORD}, https=True)
        tls.set_page(PAGE)
        plain = FaultServer(lambda connection: (read_request(connection), close_gently(connection))).start()
        self.addCleanup(plain.stop)
        hint = "hint: this port may speak TLS: try https://"
        cases = [
            ("a TLS server", tls.base_url.replace("https://", "http://"), True),
            ("a plain server that closes", plain.base_url, False),
        ]
        for case, url, speaks_tls in cases:
            with self.subTest(case):
                folder = self.folder()
                conf = os.path.join(folder, "orvek.conf")
                with open(conf, "w") as f:
                    f.writelines(good_lines(url) + ["newcgi true\n"])
                asked = len(tls.requests())
                result = self.check("-c", conf, cwd=folder)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, 2, out)
                self.assertIn("answer: none: the server closed the connection without answering", out)
                if speaks_tls:
                    self.assertIn(hint, out)
                else:
                    self.assertNotIn(hint, out)
                self.assertNotIn(PASSWORD.encode(), result.stdout)
                # The handshake asked the status CGI for nothing.
                self.assertEqual(len(tls.requests()), asked)

    def test_proxy_from_the_environment(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD})
        bed.set_page(PAGE)
        seen = []

        def proxy(connection):
            seen.append(read_request(connection).split(b"\r\n", 1)[0])
            connection.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            close_gently(connection)
        listening = FaultServer(proxy).start()
        self.addCleanup(listening.stop)
        closed = free_port()
        folder = self.folder()
        conf = os.path.join(folder, "orvek.conf")
        with open(conf, "w") as f:
            f.writelines(good_lines(bed.base_url) + ["newcgi true\n"])
        cases = [
            ("a proxy where nothing listens", {"http_proxy": "http://127.0.0.1:%d" % closed}, 2,
             ["route: through the proxy 127.0.0.1:%d from http_proxy; neither no_proxy nor NO_PROXY is set\n" % closed,
              "answer: none: through the proxy 127.0.0.1:%d from http_proxy: connection refused: nothing listens on "
              "that port" % closed,
              "hint: the proxy comes from the environment, not from orvek.conf: unset http_proxy, or name the "
              "server's host in NO_PROXY\n"], []),
            ("a listening proxy, NO_PROXY naming another host",
             {"http_proxy": "http://127.0.0.1:%d" % listening.port, "NO_PROXY": "example.org"}, 2,
             ['route: through the proxy 127.0.0.1:%d from http_proxy; NO_PROXY ("example.org") does not name this '
              'host\n' % listening.port, "answer: HTTP status 502 (Bad Gateway)"], []),
            ("NO_PROXY names the server", {"http_proxy": "http://127.0.0.1:%d" % closed, "NO_PROXY": "127.0.0.1"}, 0,
             ["verdict: OK"], ["route:"]),
            ("HTTP_PROXY, which libcurl does not read", {"HTTP_PROXY": "http://127.0.0.1:%d" % closed}, 0,
             ["verdict: OK"], ["route:"]),
        ]
        for case, env, status, present, absent in cases:
            with self.subTest(case):
                before = len(seen)
                result = self.check("-c", conf, cwd=folder, env=env)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, status, out)
                for text in present:
                    self.assertIn(text, out)
                for text in absent:
                    self.assertNotIn(text, out)
                if "listening" in case:
                    # The route named is the one libcurl took.
                    self.assertTrue(seen[before:] and seen[before].startswith(b"GET http://127.0.0.1:%d/" % bed.port),
                                    seen)

    def test_configuration_not_found(self):
        folder = self.folder()
        os.mkdir(os.path.join(folder, "a-folder"))
        missing = os.path.join(folder, "missing.conf")
        cases = [
            ("-c names no file", ["-c", missing], "%s: No such file or directory\n" % missing),
            ("-c names a directory", ["-c", folder + "/a-folder"], "%s/a-folder: Is a directory\n" % folder),
        ]
        if not any(os.path.exists(d + "orvek.conf") for d in ("/etc/", "/usr/local/etc/")):
            cases.append(("the search finds none", [], "./orvek.conf: No such file or directory\n"
                          "/etc/orvek.conf: No such file or directory\n"
                          "/usr/local/etc/orvek.conf: No such file or directory\n"))
        for case, args, reasons in cases:
            with self.subTest(case):
                # A check ends UNKNOWN: the reasons in its first line, and each below it.
                result = self.check(*args, cwd=folder)
                self.assertEqual((result.returncode, result.stdout.decode(), result.stderr),
                                 (3, unknown_not_found(reasons), b""))
                # The monitor itself keeps to its one line.
                plain = subprocess.run([self.binary, *args], cwd=folder, env={"PATH": "/usr/bin:/bin"},
                                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
                self.assertEqual((plain.returncode, plain.stdout.decode()), (2, NOT_FOUND))

    def test_unreadable_configuration(self):
        # root reads every file; the reason is then looked for as nobody.
        setpriv = shutil.which("setpriv")
        folder = self.folder()
        conf = os.path.join(folder, "orvek.conf")
        with open(conf, "w") as f:
            f.write("server http://127.0.0.1:9\n")
        os.chmod(conf, 0)
        os.chmod(folder, 0o755)
        command = [self.binary, "-t", "-c", conf]
        if os.geteuid() == 0:
            if not setpriv:
                self.skipTest("running as root without setpriv")
            command = [setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"] + command
        result = subprocess.run(command, cwd="/", env={"PATH": "/usr/bin:/bin"}, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=60)
        if result.returncode == 126 or b"Permission denied" in result.stderr:
            self.skipTest("the binary cannot be run as nobody here")
        self.assertEqual((result.returncode, result.stdout.decode()),
                         (3, unknown_not_found("%s: Permission denied\n" % conf)))


if __name__ == "__main__":
    unittest.main()
