"""What reaches the server: the request line and the credentials."""

import unittest

from statusbed import status_page
from support import E2ETestCase

PAGE = status_page([("critical", "web1", "Load")])


class RequestTest(E2ETestCase):
    def wait_for_report(self, terminal):
        return terminal.wait_for_text(" web1 ", timeout=10)

    def test_accepted_credentials(self):
        # (server's scheme, config switches, AUTH_TYPE the CGI sees)
        cases = [
            ("basic", {}, "Basic"),
            ("digest", {"digest": True}, "Digest"),
            # Without "digest yes" the broad mask still negotiates Digest.
            ("digest", {}, "Digest"),
        ]
        for scheme, switches, auth_type in cases:
            with self.subTest(scheme=scheme, **switches):
                bed = self.bed(auth=scheme, users={"alice": "Op3n-Sesame", "bob": "other"})
                bed.set_page(PAGE)
                terminal = self.monitor(bed.base_url, username="alice", password="Op3n-Sesame", **switches)
                self.wait_for_report(terminal)
                requests = bed.requests()
                self.assertTrue(requests)
                for request in requests:
                    self.assertEqual(request["method"], "GET")
                    self.assertEqual(request["uri"], "/cgi-bin/statuswml.cgi?style=uprobs")
                    self.assertEqual(request["user"], "alice")
                    self.assertEqual(request["auth"], auth_type)

    def test_server_value_with_a_leading_path_is_kept(self):
        bed = self.bed()
        bed.set_page(PAGE)
        # lighttpd folds the doubled slash onto the CGI; the log keeps the
        # request as sent.
        terminal = self.monitor(bed.base_url + "/", username="x", password="y")
        self.wait_for_report(terminal)
        self.assertEqual(bed.requests()[0]["uri"], "//cgi-bin/statuswml.cgi?style=uprobs")

    def test_refused_credentials_show_the_banner(self):
        # The server answers 401 each time, with a page whose problem lines
        # would be drawn were the answer taken as a report.
        cases = [
            ("basic", {"password": "wrong"}),
            ("digest", {"password": "wrong", "digest": True}),
            ("basic", {"password": "Op3n-Sesame", "digest": True}),  # Digest only: never sends Basic
            ("basic", {"username": "mallory", "password": "Op3n-Sesame"}),
        ]
        for scheme, config in cases:
            with self.subTest(scheme=scheme, **config):
                bed = self.bed(auth=scheme, users={"alice": "Op3n-Sesame"})
                bed.set_page(PAGE)
                config.setdefault("username", "alice")
                terminal = self.monitor(bed.base_url, **config)
                self.assertBanner(terminal)
                self.assertEqual(bed.requests(), [])


if __name__ == "__main__":
    unittest.main()
