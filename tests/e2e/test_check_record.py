"""orvek -t tells what the refresh itself did: the certificate it shows is
the one of the connection that carried the request (or was refused), with
that connection's verdict, against a server that answers every other
connection with a self-signed impostor under the same names, and the JSON
CGI's connection that met the impostor is named with its own; the password
is masked only where the server sends it back, never in what the user
wrote; and the first line follows the check-plugin convention."""

import os
import re
import shutil
import socket
import ssl
import subprocess
import tempfile
import threading
import unittest

from statusbed import Authority, public_key_pin
from support import ONE_PROBLEM_PAGE, PASSWORD, USER, E2ETestCase, write_config

NAMES = "IP:127.0.0.1,DNS:localhost"

# The status CGI's own words when it cannot read its data, with status 200.
CGI_ERROR_PAGE = ('<?xml version="1.0"?>\n<wml>\n<P>Error: Could not read host and service status '
                  'information!</P>\n</wml>\n')


class AlternatingProxy:
    """TLS on 127.0.0.1 in front of a plain http server, showing each new
    connection the next certificate of pattern (names of certificates, taken
    in turn). Each connection is logged with the certificate it showed and
    whether a request came through it, and whether that request asked the
    JSON CGI (which -t asks after the list, on a connection of its own)."""

    def __init__(self, backend_port, certificates, pattern):
        self.backend_port = backend_port
        contexts = {}
        for name, (certificate, key) in certificates:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(certificate, key)
            contexts[name] = context
        self.contexts = [(name, contexts[name]) for name in pattern]
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.log = []  # [name, request seen, JSON CGI asked], one per connection
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._accept, daemon=True)

    @property
    def base_url(self):
        return "https://127.0.0.1:%d" % self.port

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.listener.close()
        self.thread.join(2)

    def connections(self):
        with self.lock:
            return [tuple(entry) for entry in self.log]

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            with self.lock:
                name, context = self.contexts[len(self.log) % len(self.contexts)]
                entry = [name, False, False]
                self.log.append(entry)
            threading.Thread(target=self._serve, args=(client, context, entry), daemon=True).start()

    def _serve(self, client, context, entry):
        try:
            tls = context.wrap_socket(client, server_side=True)
        except (ssl.SSLError, OSError):
            client.close()
            return
        backend = socket.create_connection(("127.0.0.1", self.backend_port))

        def back():
            try:
                while data := backend.recv(65536):
                    tls.sendall(data)
            except OSError:
                pass
            try:
                tls.close()
            except OSError:
                pass

        threading.Thread(target=back, daemon=True).start()
        try:
            while data := tls.recv(65536):
                with self.lock:
                    if not entry[1]:
                        entry[2] = b"statusjson.cgi" in data
                    entry[1] = True
                backend.sendall(data)
        except (ssl.SSLError, OSError):
            pass
        backend.close()


def list_connection(connections, list_answered):
    """The place of the connection that carried the list's answer or refused
    it, among one run's connections: -t asks the JSON CGI after the list, on
    connections of its own. A connection refused before its request tells no
    path, so the status CGI's log says whether the list came."""
    lists = [i for i, c in enumerate(connections) if c[1] and not c[2]]
    if list_answered:
        chosen = lists[-1]
    elif lists:
        # The leg after the last one that carried (a 401) was refused.
        chosen = min(lists[-1] + 1, len(connections) - 1)
    else:
        chosen = 0
    return chosen


class CheckRecordTest(E2ETestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.pki = tempfile.mkdtemp(prefix="orvek-pki-")
        authority = Authority(cls.pki)
        cls.authority = authority.certificate
        genuine_key, impostor_key = authority.key("genuine"), authority.key("impostor")
        cls.certificates = [
            ("genuine", (authority.issue("genuine", genuine_key, "127.0.0.1", NAMES), genuine_key)),
            ("impostor", (authority.self_signed("impostor", impostor_key, "127.0.0.1", NAMES), impostor_key)),
        ]
        cls.pins = {name: public_key_pin(certificate) for name, (certificate, _) in cls.certificates}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.pki, ignore_errors=True)

    def check(self, conf, *args):
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", "-c", conf, *args], env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60)

    def alternating(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD})
        bed.set_page(ONE_PROBLEM_PAGE)
        # A refresh makes one connection, or two where the server closes the
        # first after its 401 (as the bed does): the first refresh meets the
        # genuine server twice, the second the impostor, the third the
        # genuine server that hands the second leg to the impostor.
        pattern = ["genuine", "genuine", "impostor", "genuine", "impostor"]
        proxy = AlternatingProxy(bed.port, self.certificates, pattern).__enter__()
        self.addCleanup(proxy.__exit__, None, None, None)
        return bed, proxy

    def test_the_certificate_shown_is_the_one_that_carried_the_request(self):
        genuine, impostor = self.pins["genuine"], self.pins["impostor"]
        # trust line, and what -t says for each server: exit status, lines
        # present, texts absent.
        cases = [
            ("cafile", "cafile %s" % self.authority, {
                "genuine": (0, ["certificate checked: passed (", "certificate self-signed: no\n",
                                "hint: to accept this server and no other, add: pin %s\n" % genuine],
                            [impostor]),
                "impostor": (2, ["certificate checked: FAILED: unknown CA: ", "certificate self-signed: yes\n",
                                 "hint: the CA file %s does not vouch for this certificate's issuer, CN = 127.0.0.1\n"
                                 % self.authority],
                             [genuine, "to accept this server", "(not checked)"]),
            }),
            ("pin", "pin %s" % genuine, {
                "genuine": (0, ["certificate checked: passed (", "certificate self-signed: no\n"],
                            [impostor, "to accept this server"]),
                "impostor": (2, ["certificate checked: FAILED: pin mismatch: ", "certificate self-signed: yes\n",
                                 "hint: this is not the key the pin line names: someone else may be answering"],
                             ["to accept this server", "(not checked)"]),
            }),
        ]
        for case, line, expected in cases:
            with self.subTest(case):
                bed, proxy = self.alternating()
                conf = write_config(self.folder(), proxy.base_url, username=USER, password=PASSWORD)
                with open(conf, "a") as f:
                    f.write(line + "\n")
                seen = set()
                for _ in range(5):
                    before = len(proxy.connections())
                    answered = len(bed.requests())
                    result = self.check(conf)
                    out = result.stdout.decode()
                    connections = proxy.connections()[before:]
                    self.assertTrue(connections, out)
                    # The list's last connection carried the answer, or was
                    # refused; the JSON CGI's come after it.
                    index = list_connection(connections, len(bed.requests()) > answered)
                    server, carried = connections[index][:2]
                    seen.add(server)
                    status, present, absent = expected[server]
                    # The JSON CGI's connections, after the list's: one
                    # that met the impostor is named, and warned of.
                    if status == 0 and any(c[0] == "impostor" for c in connections[index + 1:]):
                        status = 1
                        present = present + ["JSON certificate pin: %s\n" % impostor,
                                             "JSON certificate checked: FAILED: "]
                        absent = [text for text in absent if text != impostor]
                    else:
                        absent = absent + ["JSON certificate"]
                    self.assertEqual(result.returncode, status, out)
                    self.assertIn("certificate pin: %s\n" % self.pins[server], out)
                    for text in present:
                        self.assertIn(text, out)
                    for text in absent:
                        self.assertNotIn(text, out)
                    self.assertEqual(carried, status != 2, "a request only past every check: %s" % out)
                    self.assertTrue(out.startswith("ORVEK %s - " % ("OK", "WARNING", "CRITICAL")[status]), out)
                self.assertEqual(seen, {"genuine", "impostor"}, "both servers answered")

    def test_the_password_is_masked_only_where_the_server_sends_it(self):
        # "status" is also a word of the status path and of the file's name.
        password = "status"
        bed = self.bed(auth="basic", users={USER: password})
        bed.set_page(CGI_ERROR_PAGE)
        folder = os.path.join(self.folder(), "status")
        os.mkdir(folder)
        conf = write_config(folder, bed.base_url, username=USER, password=password, name="status.conf")
        os.chmod(conf, 0o600)
        result = self.check(conf)
        out = result.stdout.decode()
        self.assertEqual(result.returncode, 2, out)
        self.assertIn("configuration: %s\n" % conf, out)
        self.assertIn("URL: %s/cgi-bin/statuswml.cgi?style=uprobs\n" % bed.base_url, out)
        self.assertIn('page text: "Error: Could not read host and service ******** information!"\n', out)
        self.assertNotIn("statu*", out)

    def test_exit_statuses(self):
        bed = self.bed(auth="basic", users={USER: PASSWORD})
        bed.set_page(ONE_PROBLEM_PAGE)
        # (case, extra configuration lines, arguments, page, exit status,
        # first line's start)
        cases = [
            ("the wall works", [], [], ONE_PROBLEM_PAGE, 0, "ORVEK OK - the monitor would draw this page"),
            ("a line not taken", ["Newcgi true"], [], ONE_PROBLEM_PAGE, 1, "ORVEK WARNING - the monitor draws the "
                                                                           "report, but line "),
            ("a pitfall", ["verify yes"], [], ONE_PROBLEM_PAGE, 1, "ORVEK WARNING - the monitor draws the report, "
                                                                   "but the verify, cafile and pin lines apply"),
            ("no pause", [], ["-s", "five"], ONE_PROBLEM_PAGE, 1, "ORVEK WARNING - the monitor draws the report, "
                                                                  "but interval 0 s"),
            ("never refreshes", [], ["-s", "-1"], ONE_PROBLEM_PAGE, 1, "ORVEK WARNING - "),
            ("a banner", [], [], CGI_ERROR_PAGE, 2, 'ORVEK CRITICAL - the monitor would show the banner " No '
                                                    'connection to server! ": the page is no list of problems'),
        ]
        for case, lines, args, page, status, first in cases:
            with self.subTest(case):
                bed.set_page(page)
                conf = write_config(self.folder(), bed.base_url, username=USER, password=PASSWORD)
                with open(conf, "a") as f:
                    f.writelines(line + "\n" for line in lines)
                result = self.check(conf, *args)
                out = result.stdout.decode()
                self.assertEqual(result.returncode, status, out)
                self.assertTrue(out.startswith(first), out)
                # Performance data after " | " on the first line.
                self.assertRegex(out.splitlines()[0], r" \| time=\d+\.\d{3}s size=\d+B")
                if status < 2:
                    self.assertRegex(out.splitlines()[0], r" problems=1$")
                self.assertTrue(out.splitlines()[-1].startswith("verdict: "), out)
        missing = os.path.join(self.folder(), "missing.conf")
        self.assertEqual(self.check(missing).returncode, 3, "a configuration not found: UNKNOWN")


if __name__ == "__main__":
    unittest.main()
