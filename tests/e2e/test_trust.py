"""Trusting the channel, end to end: real TLS servers on 127.0.0.1 with
certificates made by the test (a genuine one from a private authority, an
impostor's self-signed one with the same names, the genuine key's expired
certificate, one made out to another name), each trust line against each
server on the screen and with orvek -t; the password kept in a file of its
own; and the warnings -t gives about what exposes the password."""

import base64
import grp
import http.server
import json
import os
import shutil
import ssl
import subprocess
import tempfile
import time
import unittest

from statusbed import Authority, ThreadedServer, free_port, public_key_pin, send_answer
from support import (ONE_PROBLEM_PAGE, PASSWORD, USER, E2ETestCase, ExpectedScreen, banner_screen,
                     one_problem_screen, write_config)
from terminal import BLACK, RED, WHITE

NAMES = "IP:127.0.0.1,DNS:localhost"
SERVERS = ("genuine", "impostor", "expired", "other name")

# What a fetch comes to: the page, or the certificate check that failed.
OK = None
UNKNOWN_CA = "unknown CA"
EXPIRED = "expired"
NAME = "name mismatch"
PIN = "pin mismatch"

# A password only a file can carry: spaces, '#', ';' and a quote.
SPACED_PASSWORD = "s3cret pass #1; it's"


def secret_forms(user, password):
    return {"password": password.encode(),
            "Basic credentials": base64.b64encode(("%s:%s" % (user, password)).encode())}


class SwitchingServer(ThreadedServer):
    """HTTPS with Basic authentication on 127.0.0.1, in a thread of the
    test: the genuine certificate until the list has been answered, then
    the impostor's on every new connection, as someone taking over the
    server's address between two connections would. The JSON CGI answers
    fresh data to whoever gets through."""

    def __init__(self, genuine, impostor):
        contexts = []
        for certificate, key in (genuine, impostor):
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(certificate, key)
            contexts.append(context)
        switch = self
        self.list_answered = False
        self.json_answered = 0
        expected = "Basic " + base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                if self.headers.get("Authorization") != expected:
                    return send_answer(self, 401, b"", [("WWW-Authenticate", 'Basic realm="switch"')])
                if "statusjson.cgi" in self.path:
                    switch.json_answered += 1
                    now = int(time.time() * 1000)
                    body = json.dumps({"result": {"query_time": now, "program_start": now - 86400000,
                                                  "last_data_update": now - 3000},
                                       "data": {"count": {"up": 5, "down": 1, "unreachable": 0, "pending": 0}}})
                    return send_answer(self, 200, body.encode(), content_type="application/json")
                send_answer(self, 200, ONE_PROBLEM_PAGE.encode())
                switch.list_answered = True

            def log_message(self, *args):
                pass

        class Server(http.server.ThreadingHTTPServer):
            def get_request(self):
                connection, address = self.socket.accept()
                context = contexts[1 if switch.list_answered else 0]
                # The handshake in the handler's thread: a refused one ends only that.
                return context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False), address

            def handle_error(self, request, client_address):
                pass  # a client that refused the certificate

        super().__init__(Handler, Server, "https")


class TrustTest(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pki = tempfile.mkdtemp(prefix="orvek-pki-")
        authority = Authority(cls.pki)
        cls.authority = authority.certificate
        genuine_key = authority.key("genuine")
        impostor_key = authority.key("impostor")
        other_key = authority.key("other")
        # The expired certificate is the genuine server's old one: the same key.
        cls.certificates = {
            "genuine": (authority.issue("genuine", genuine_key, "127.0.0.1", NAMES), genuine_key),
            "impostor": (authority.self_signed("impostor", impostor_key, "127.0.0.1", NAMES), impostor_key),
            "expired": (authority.issue("expired", genuine_key, "127.0.0.1", NAMES, start="20250101000000Z",
                                        end="20250201000000Z"), genuine_key),
            "other name": (authority.issue("other", other_key, "other.example", "DNS:other.example"), other_key),
        }
        cls.pins = {name: public_key_pin(cert) for name, (cert, _) in cls.certificates.items()}
        # Valid only from a later date, for the words -t finds for it.
        cls.future = (authority.issue("future", genuine_key, "127.0.0.1", NAMES, start="20400101000000Z",
                                      end="20410101000000Z"), genuine_key)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.pki, ignore_errors=True)

    def check(self, conf):
        """orvek -t with TERM unset and standard output a pipe."""
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", "-c", conf], cwd=self.folder(), env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=60)

    def config(self, url, trust_lines=(), mode=0o600, **settings):
        settings.setdefault("username", USER)
        settings.setdefault("password", PASSWORD)
        conf = write_config(self.folder(), url, **settings)
        with open(conf, "a") as f:
            f.writelines(line + "\n" for line in trust_lines)
        os.chmod(conf, mode)
        return conf

    def tls_bed(self, server, **kwargs):
        kwargs.setdefault("auth", "basic")
        kwargs.setdefault("users", {USER: PASSWORD})
        bed = self.bed(https=True, certificate=self.certificates[server], **kwargs)
        bed.set_page(ONE_PROBLEM_PAGE)
        return bed

    def assertNoSecret(self, data, user=USER, password=PASSWORD):
        for form, secret in secret_forms(user, password).items():
            self.assertNotIn(secret, data, "the %s shows" % form)

    def test_every_trust_line_against_every_server(self):
        pins = self.pins
        trust_lines = {
            "no trust line": [],
            "verify yes": ["verify yes"],
            "cafile: the private authority": ["cafile %s" % self.authority],
            "cafile: the impostor's own certificate": ["cafile %s" % self.certificates["impostor"][0]],
            "pin: the genuine key": ["pin %s" % pins["genuine"]],
            "pin: the impostor's or the genuine key": ["pin %s;%s" % (pins["impostor"], pins["genuine"])],
            "cafile and pin": ["cafile %s" % self.authority, "pin %s" % pins["genuine"]],
        }
        # Against the servers genuine, impostor, expired, other name. The
        # name is checked in every case; a pin checks no dates.
        expected = {
            "no trust line": (OK, OK, OK, NAME),
            "verify yes": (UNKNOWN_CA, UNKNOWN_CA, UNKNOWN_CA, UNKNOWN_CA),
            "cafile: the private authority": (OK, UNKNOWN_CA, EXPIRED, NAME),
            "cafile: the impostor's own certificate": (UNKNOWN_CA, OK, UNKNOWN_CA, UNKNOWN_CA),
            "pin: the genuine key": (OK, PIN, OK, NAME),
            "pin: the impostor's or the genuine key": (OK, OK, OK, NAME),
            "cafile and pin": (OK, UNKNOWN_CA, EXPIRED, NAME),
        }
        beds = {server: self.tls_bed(server) for server in SERVERS}
        for line, lines in trust_lines.items():
            confs = {server: self.config(beds[server].base_url, lines) for server in SERVERS}
            # The screens first, all four at once: the monitor's one fetch each.
            terminals = {}
            for server in SERVERS:
                asked = len(beds[server].requests())
                terminals[server] = (self.run_orvek("-c", confs[server], "-s", "3600"), asked)
            for server, outcome in zip(SERVERS, expected[line]):
                with self.subTest(line=line, server=server, on="screen"):
                    terminal, asked = terminals[server]
                    screen = self.assertScreen(terminal, one_problem_screen() if outcome is OK else banner_screen(),
                                               what="the report" if outcome is OK else "the banner")
                    self.assertNoSecret(screen.text().encode())
                    if outcome is OK:
                        self.assertEqual(len(beds[server].requests()), asked + 1)
            for terminal, _ in terminals.values():
                terminal.close()
            for server, outcome in zip(SERVERS, expected[line]):
                with self.subTest(line=line, server=server, on="-t"):
                    asked = len(beds[server].requests())
                    result = self.check(confs[server])
                    out = result.stdout.decode()
                    self.assertEqual(result.returncode, 0 if outcome is OK else 2, out)
                    self.assertEqual(result.stderr, b"")
                    # The certificate shows, checked or not.
                    self.assertIn("certificate pin: %s\n" % pins[server], out)
                    self.assertIn("certificate self-signed: %s\n" % ("yes" if server == "impostor" else "no"), out)
                    if outcome is OK:
                        self.assertIn("certificate checked: passed (", out)
                        self.assertIn("verdict: OK", out)
                        self.assertEqual(len(beds[server].requests()), asked + 1, "one request")
                    else:
                        self.assertIn("answer: none: certificate check failed: %s: " % outcome, out)
                        self.assertIn("certificate checked: FAILED: %s: " % outcome, out)
                        self.assertIn("verdict: FAIL", out)
                        self.assertEqual(len(beds[server].requests()), asked, "no request past a failed check")
                    if server == "expired":
                        self.assertRegex(out, r"certificate valid: from Jan  1 00:00:00 2025 GMT to Feb  1 00:00:00 "
                                              r"2025 GMT \(expired \d+ days ago\)\n")
                        self.assertIn("warning: the certificate has expired (", out)
                    self.assertNotIn("expires within", out)
                    self.assertNoSecret(result.stdout)

    def test_what_the_certificate_shows(self):
        bed = self.tls_bed("genuine")
        result = self.check(self.config(bed.base_url, ["cafile %s" % self.authority]))
        out = result.stdout.decode()
        self.assertEqual(result.returncode, 0, out)
        for text in ["certificate: checked: its chain against the CA certificates in %s (cafile), and its name\n"
                     % self.authority,
                     "certificate subject: CN = 127.0.0.1\n",
                     "certificate names: IP Address:127.0.0.1, DNS:localhost\n",
                     "certificate issuer: CN = orvek test CA\n",
                     "certificate self-signed: no\n",
                     "certificate pin: %s\n" % self.pins["genuine"],
                     "hint: to accept this server and no other, add: pin %s\n" % self.pins["genuine"]]:
            self.assertIn(text, out)
        valid = [l for l in out.splitlines() if l.startswith("certificate valid: from ")]
        self.assertEqual(len(valid), 1, out)
        self.assertRegex(valid[0], r" GMT to .* GMT \((364|365) days left\)$")
        self.assertNotIn("warning", out)

        future = self.bed(https=True, certificate=self.future)
        result = self.check(self.config(future.base_url, ["cafile %s" % self.authority]))
        out = result.stdout.decode()
        self.assertEqual(result.returncode, 2, out)
        self.assertIn("answer: none: certificate check failed: not yet valid: ", out)
        self.assertIn(" (not valid yet)\n", out)
        self.assertEqual(future.requests(), [])

        # A pinned key that no longer answers: no invitation to pin whoever does.
        impostor = self.tls_bed("impostor")
        out = self.check(self.config(impostor.base_url, ["pin %s" % self.pins["genuine"]])).stdout.decode()
        self.assertIn("hint: this is not the key the pin line names: someone else may be answering", out)
        self.assertNotIn("to accept this server and no other", out)

    def test_password_from_a_file(self):
        folder = self.folder()
        for auth, ending in (("basic", "\n"), ("digest", "\r\n")):
            with self.subTest(auth=auth):
                bed = self.bed(auth=auth, users={USER: SPACED_PASSWORD}, https=True,
                               certificate=self.certificates["genuine"])
                bed.set_page(ONE_PROBLEM_PAGE)
                path = os.path.join(folder, "password-" + auth)
                with open(path, "w", newline="") as f:
                    f.write(SPACED_PASSWORD + ending + "the second line is not read" + ending)
                os.chmod(path, 0o600)
                # The password line is there too, and wrong: the file wins.
                conf = self.config(bed.base_url, ["passwordfile %s" % path], password="not-this-one",
                                   digest=auth == "digest")
                result = self.check(conf)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, 0, out)
                self.assertIn("password: from the password file %s; the file wins over the password line, "
                              "which is not used\n" % path, out)
                self.assertEqual([r["user"] for r in bed.requests()], [USER])
                self.assertEqual({r["auth"].lower() for r in bed.requests()}, {auth})
                for data in (result.stdout, result.stderr):
                    self.assertNoSecret(data, password=SPACED_PASSWORD)
                    self.assertNotIn(b"pass #1", data)
                terminal = self.run_orvek("-c", conf, "-s", "3600")
                screen = self.assertScreen(terminal, one_problem_screen(), what="the report")
                self.assertNotIn("pass #1", screen.text())

    def test_password_file_that_cannot_be_read(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD})
        bed.set_page(ONE_PROBLEM_PAGE)
        folder = self.folder()
        fifo = os.path.join(folder, "fifo")
        os.mkfifo(fifo)
        cases = [
            ("missing", os.path.join(folder, "missing"), "No such file or directory"),
            ("a folder", folder, "Is a directory"),
            ("a FIFO", fifo, "not a regular file"),
        ]
        for case, path, reason in cases:
            with self.subTest(case):
                conf = self.config(bed.base_url, ["passwordfile %s" % path])
                result = self.check(conf)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, 2, out)
                self.assertIn("answer: none: the password file %s cannot be read: %s " % (path, reason), out)
                self.assertIn("password: from the password file %s, which cannot be read: %s;" % (path, reason), out)
                self.assertEqual(bed.requests(), [], "no request without the password")
                terminal = self.run_orvek("-c", conf, "-s", "3600")
                self.assertBanner(terminal)
                self.assertEqual(bed.requests(), [])

    def test_the_data_age_is_asked_under_the_same_trust_and_password_file(self):
        # maxage's JSON request goes out as the list's does: checked against
        # the private authority and the pin, with the password file's password.
        bed = self.tls_bed("genuine", users={USER: SPACED_PASSWORD})
        path = os.path.join(self.folder(), "password")
        with open(path, "w") as f:
            f.write(SPACED_PASSWORD + "\n")
        os.chmod(path, 0o600)
        lines = ["cafile %s" % self.authority, "pin %s" % self.pins["genuine"], "passwordfile %s" % path,
                 "maxage 300"]
        terminal = self.run_orvek("-c", self.config(bed.base_url, lines, password="not-this-one"), "-s", "1")
        self.assertScreen(terminal, one_problem_screen(), what="the report, its data fresh")
        self.wait_for_cycles(bed, 2, terminal)
        self.assertEqual({r["user"] for r in bed.data_age_requests()}, {USER})
        bed.set_data_age(age=3600)
        self.assertScreen(terminal, ExpectedScreen(80, 24, WHITE, BLACK).put(12, 26, " Server data is 60 min old! ", WHITE, RED),
                          what="the data-age banner")
        # The impostor with the same name: neither request gets through.
        impostor = self.tls_bed("impostor", users={USER: SPACED_PASSWORD})
        count = len(impostor.data_age_requests())
        terminal = self.run_orvek("-c", self.config(impostor.base_url, lines), "-s", "1")
        self.assertBanner(terminal)
        self.assertEqual(len(impostor.data_age_requests()), count)

    def test_an_impostor_on_the_json_connection_is_named(self):
        # The list's connection meets the genuine server, the JSON CGI's the
        # impostor: -t names it with that connection's certificate, with or
        # without maxage; without, the wall draws the report, so it warns.
        trust = {"pin": ["pin %s" % self.pins["genuine"]], "cafile": ["cafile %s" % self.authority]}
        failure = {"pin": PIN, "cafile": UNKNOWN_CA}
        for name, lines in trust.items():
            for max_age in (False, True):
                with self.subTest(trust=name, maxage=max_age):
                    server = SwitchingServer(self.certificates["genuine"], self.certificates["impostor"])
                    self.addCleanup(server.stop)
                    result = self.check(self.config(server.base_url, lines + (["maxage 300"] if max_age else [])))
                    out = result.stdout.decode()
                    self.assertTrue(server.list_answered, out)
                    self.assertEqual(server.json_answered, 0, out)
                    self.assertEqual(result.returncode, 2 if max_age else 1, out)
                    for text in ["certificate pin: %s\n" % self.pins["genuine"],
                                 "certificate checked: passed (",
                                 "JSON certificate checked: FAILED: %s: " % failure[name],
                                 "JSON certificate self-signed: yes\n",
                                 "JSON certificate pin: %s\n" % self.pins["impostor"],
                                 "hint: the list's connection passed the same checks and this one did not: "]:
                        self.assertIn(text, out)
                    # No invitation to pin or trust the impostor.
                    self.assertNotIn("make the pin line", out)
                    self.assertNotIn("do not vouch for", out)
                    if max_age:
                        self.assertTrue(out.startswith('ORVEK CRITICAL - the monitor would show the banner '
                                                       '" Server data age unknown! "'), out)
                    else:
                        self.assertTrue(out.startswith("ORVEK WARNING - the monitor draws the report, but the JSON "
                                                       "status CGI's connection failed its certificate check"), out)
                    self.assertNoSecret(result.stdout)

    def test_password_file_is_read_at_every_fetch(self):
        bed = self.bed(auth="basic", users={USER: SPACED_PASSWORD})
        bed.set_page(ONE_PROBLEM_PAGE)
        path = os.path.join(self.folder(), "password")
        with open(path, "w") as f:
            f.write("the old password\n")
        terminal = self.run_orvek("-c", self.config(bed.base_url, ["passwordfile %s" % path]), "-s", "1")
        self.assertBanner(terminal)
        # Rotated as an operator would: a new file moved into place.
        with open(path + ".new", "w") as f:
            f.write(SPACED_PASSWORD + "\n")
        os.replace(path + ".new", path)
        self.assertScreen(terminal, one_problem_screen(), what="the report with the new password")

    def test_warnings(self):
        plain = self.bed(auth="basic", users={USER: PASSWORD})
        plain.set_page(ONE_PROBLEM_PAGE)
        short_lived = self.bed(auth="basic", users={USER: PASSWORD}, https=True)  # its certificate: two days
        short_lived.set_page(ONE_PROBLEM_PAGE)
        genuine = self.tls_bed("genuine")
        folder = self.folder()
        open_file = os.path.join(folder, "open-password")
        with open(open_file, "w") as f:
            f.write(PASSWORD + "\n")
        os.chmod(open_file, 0o640)
        group = grp.getgrgid(os.stat(open_file).st_gid).gr_name
        basic_words = ("warning: over plain http orvek answers Basic when the server asks for it, and Basic carries "
                       "the password readable by anyone on the network: use https, or digest yes")

        # (case, server, config settings, trust lines, config mode, exit
        # status, texts present, texts absent); {conf} and {file} are filled in.
        cases = [
            ("Basic over plain http", plain.base_url, {}, [], 0o600, 0, [basic_words], ["can be read by"]),
            ("Digest only over plain http", plain.base_url, {"digest": True}, [], 0o600, 2, [],
             ["over plain http"]),
            ("configuration readable by all", genuine.base_url, {}, [], 0o644, 0,
             ["warning: the configuration {conf} holds the password and can be read by every account on this "
              "machine (mode 0644): chmod 600 {conf}\n"], ["over plain http"]),
            ("configuration without a password", genuine.base_url, {"password": None},
             ["passwordfile %s" % open_file], 0o644, 0,
             ["warning: the password file {file} holds the password and can be read by the members of its group "
              "{group} (mode 0640): chmod 600 {file}, unless {group} holds only the account that runs orvek\n"],
             ["the configuration"]),
            ("certificate expiring in two days", short_lived.base_url, {}, [], 0o600, 0,
             ["warning: the certificate expires within 14 days: in "], []),
            ("trust lines over plain http", plain.base_url, {}, ["verify yes"], 0o600, 1,
             ["pitfall: the verify, cafile and pin lines apply to https only, and the server is reached over plain "
              "http: nothing is checked\n"], []),
            ("a pin line of another form", genuine.base_url, {}, ["pin %s" % self.authority], 0o600, 2,
             ["answer: none: the pin line is not of the form sha256//BASE64[;sha256//BASE64...]"], []),
            ("a cafile that is not there", genuine.base_url, {}, ["cafile /nonexistent/ca.pem"], 0o600, 2,
             ["pitfall: the cafile /nonexistent/ca.pem cannot be read: No such file or directory\n",
              "answer: none: the CA certificates to check the server's certificate against could not be read"], []),
        ]
        for case, url, settings, lines, mode, status, present, absent in cases:
            with self.subTest(case):
                conf = self.config(url, lines, mode=mode, **settings)
                result = self.check(conf)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, status, out)
                for text in present:
                    self.assertIn(text.format(conf=conf, file=open_file, group=group), out)
                for text in absent:
                    self.assertNotIn(text, out)
                self.assertNoSecret(result.stdout)
        # A malformed pin never lets the fetch go ahead unchecked.
        asked = len(genuine.requests())
        terminal = self.run_orvek("-c", self.config(genuine.base_url, ["pin abc"]), "-s", "3600")
        self.assertBanner(terminal)
        time.sleep(0.5)
        self.assertEqual(len(genuine.requests()), asked)

    @unittest.skipUnless(os.geteuid() == 0 and shutil.which("setpriv"), "needs root, to run as another account")
    def test_configuration_read_through_its_group(self):
        """A configuration owned by root, group nogroup, mode 0640, read by
        nobody through that group (the set-up the supervision guide makes
        with the group orvek): no warning. Its owner is warned."""
        folder = self.folder()
        os.chmod(folder, 0o755)
        binary = shutil.copy(self.binary, os.path.join(folder, "orvek"))
        conf = write_config(folder, "http://127.0.0.1:%d" % free_port(), username=USER, password=PASSWORD,
                            digest=True)
        os.chown(conf, 0, grp.getgrnam("nogroup").gr_gid)
        os.chmod(conf, 0o640)
        as_nobody = subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", binary, "-t",
                                    "-c", conf], cwd=folder, env={"PATH": "/usr/bin:/bin"},
                                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        out = as_nobody.stdout.decode()
        self.assertIn("password: from the password line\n", out, "nobody could not read the configuration")
        self.assertNotIn("warning", out)
        out = self.check(conf).stdout.decode()
        self.assertIn("warning: the configuration %s holds the password and can be read by the members of its group "
                      "nogroup (mode 0640)" % conf, out)


if __name__ == "__main__":
    unittest.main()
