"""What reaches the server: the request line and the credentials."""

import unittest

from statusbed import STATUS_PATH
from support import ONE_PROBLEM_PAGE, PASSWORD, USER, E2ETestCase

REQUEST_URI = STATUS_PATH + "?style=uprobs"


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
                bed = self.bed(auth=scheme, users={USER: PASSWORD, "bob": "other"})
                bed.set_page(ONE_PROBLEM_PAGE)
                terminal = self.monitor(bed.base_url, username=USER, password=PASSWORD, **switches)
                self.wait_for_report(terminal)
                requests = bed.requests()
                self.assertTrue(requests)
                for request in requests:
                    self.assertEqual(request["method"], "GET")
                    self.assertEqual(request["uri"], REQUEST_URI)
                    self.assertEqual(request["user"], USER)
                    self.assertEqual(request["auth"], auth_type)

    def test_server_value_with_a_leading_path_is_kept(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        # lighttpd folds the doubled slash onto the CGI; the log keeps the
        # request as sent.
        terminal = self.monitor(bed.base_url + "/", username="x", password="y")
        self.wait_for_report(terminal)
        self.assertEqual(bed.requests()[0]["uri"], "/" + REQUEST_URI)

    def test_refused_credentials_show_the_banner(self):
        # The server answers 401 each time, with a page whose problem lines
        # would be drawn were the answer taken as a report.
        cases = [
            ("basic", {"password": "wrong"}),
            ("digest", {"password": "wrong", "digest": True}),
            ("basic", {"password": PASSWORD, "digest": True}),  # Digest only: never sends Basic
            ("basic", {"username": "mallory", "password": PASSWORD}),
        ]
        for scheme, config in cases:
            with self.subTest(scheme=scheme, **config):
                bed = self.bed(auth=scheme, users={USER: PASSWORD})
                bed.set_page(ONE_PROBLEM_PAGE)
                config.setdefault("username", USER)
                terminal = self.monitor(bed.base_url, **config)
                self.assertBanner(terminal)
                self.assertEqual(bed.requests(), [])


if __name__ == "__main__":
    unittest.main()
