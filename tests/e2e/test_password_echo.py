"""orvek -t against a crafted server on 127.0.0.1 that sends the password
back in the forms servers and login pages use: in a redirect's Location
(form-encoded, percent-encoded with either hex case), in page text
(HTML-escaped with named and numeric references, raw around a tag-like
"<x>", in upper case), in base64 (alone, as the Basic credentials it got,
behind another user's name). The password comes from a file and holds a
blank, '&', '<' and '>'; the check's output must hold none of these forms."""

import base64
import html
import http.server
import os
import subprocess
import unittest
import urllib.parse

from statusbed import ThreadedServer, send_answer
from support import E2ETestCase, write_config

PASSWORD = "Pa&ss <x> s3cret pass"
USER = "plain"


def b64(text):
    return base64.b64encode(text.encode()).decode()


def forms(password=PASSWORD, user=USER):
    """Every form the server sends, as the test writes it: none may show."""
    quote = urllib.parse.quote
    return {
        "as written": password,
        "upper case": password.upper(),
        "form-encoded": urllib.parse.quote_plus(password),
        "percent-encoded": quote(password, safe=""),
        "percent-encoded, lower hex": quote(password, safe="").lower(),
        "encodeURIComponent": quote(password, safe="-_.!~*'()"),
        "HTML-escaped": html.escape(password),
        "numeric references": "".join(c if c.isalnum() else "&#%d;" % ord(c) for c in password),
        "hexadecimal references": "".join(c if c.isalnum() else "&#x%x;" % ord(c) for c in password),
        "base64": b64(password),
        "Basic credentials": b64("%s:%s" % (user, password)),
        # The characters that carry the password's bytes alone ("bob:" fills
        # the first five and part of the sixth).
        "behind another user's name": b64("bob:" + password)[6:30],
        # The tag-like part taken out, as the page text was shown before.
        "the rest around its tag": "Pa&ss s3cret pass",
    }


# (case, status, headers, body): what the server answers a request whose
# Basic credentials it accepted, each made from pw, the password it got.
ROWS = [
    ("redirect, form-encoded", 302,
     lambda pw: [("Location", "http://mon.example/login?user=plain&password=" + urllib.parse.quote_plus(pw))],
     lambda pw: ""),
    ("redirect, percent-encoded in lower hex", 303,
     lambda pw: [("Location", "/login?pw=" + urllib.parse.quote(pw, safe="").lower())],
     lambda pw: ""),
    ("page, HTML-escaped and percent-encoded", 200, lambda pw: [],
     lambda pw: "<html><p>Wrong password: %s / %s</p></html>" % (html.escape(pw), urllib.parse.quote(pw, safe=""))),
    ("page, numeric references and encodeURIComponent", 200, lambda pw: [],
     lambda pw: "<p>%s, %s</p>" % (forms(pw)["numeric references"] + " " + forms(pw)["hexadecimal references"],
                                    urllib.parse.quote(pw, safe="-_.!~*'()"))),
    ("page, raw", 200, lambda pw: [], lambda pw: "<html><p>you sent: <b>%s</b></p></html>" % pw),
    ("page, base64", 200, lambda pw: [],
     lambda pw: "<p>%s %s %s</p>" % (b64(pw), b64(USER + ":" + pw), b64("bob:" + pw))),
    ("401 page, upper case", 401, lambda pw: [("WWW-Authenticate", 'Basic realm="echo"')],
     lambda pw: "<p>NOT %s</p>" % pw.upper()),
]


def echo_server(row):
    """Basic authentication: a request without the right credentials gets a
    401 and the challenge; one for the list with them gets row's answer,
    made from the password it carried. Returns the server and the count of
    the rows it answered."""
    _, status, headers, body = row
    answered = []

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            header = self.headers.get("Authorization", "")
            got = base64.b64decode(header[6:]).decode() if header.startswith("Basic ") else ""
            if got != "%s:%s" % (USER, PASSWORD):
                return send_answer(self, 401, b"<p>log in</p>", [("WWW-Authenticate", 'Basic realm="echo"')])
            if "statuswml.cgi" not in self.path:
                return send_answer(self, 404, b"")  # no JSON status CGI
            answered.append(self.path)
            password = got.split(":", 1)[1]
            send_answer(self, status, body(password).encode(), headers(password), "text/html")

        def log_message(self, *args):
            pass

    return ThreadedServer(Handler), answered


class PasswordEchoTest(E2ETestCase):
    def check(self, url):
        folder = self.folder()
        path = os.path.join(folder, "password")
        with open(path, "w") as f:
            f.write(PASSWORD + "\n")
        os.chmod(path, 0o600)
        conf = write_config(folder, url, username=USER)
        with open(conf, "a") as f:
            f.write("passwordfile %s\n" % path)
        os.chmod(conf, 0o600)
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
        return subprocess.run([self.binary, "-t", "-c", conf], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60)

    def test_no_form_of_the_password_shows(self):
        # Where each row's text shows, masked.
        shown = {
            "redirect, form-encoded": "redirected to: http://mon.example/login?user=plain&password=********\n",
            "redirect, percent-encoded in lower hex": "redirected to: /login?pw=********\n",
            "page, HTML-escaped and percent-encoded": 'page text: "Wrong password: ******** / ********"\n',
            "page, numeric references and encodeURIComponent": 'page text: "******** ********, ********"\n',
            "page, raw": 'page text: "you sent: ********"\n',
            "page, base64": 'page text: "******** ******** Ym9iOl********w=="\n',
            "401 page, upper case": "hint: the server refused the user name or the password\n",
        }
        for row in ROWS:
            case = row[0]
            with self.subTest(case):
                server, answered = echo_server(row)
                self.addCleanup(server.stop)
                result = self.check(server.base_url)
                out = result.stdout.decode()
                self.assertEqual(len(answered), 1, out)
                self.assertIn(shown[case], out)
                self.assertIn("user name: plain\n", out)
                for form, secret in forms().items():
                    for data in (result.stdout, result.stderr):
                        self.assertNotIn(secret.lower().encode(), data.lower(), "the %s shows:\n%s" % (form, out))


if __name__ == "__main__":
    unittest.main()
