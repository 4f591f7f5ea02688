"""ages, output and soft: after each list that would be drawn, the monitor
asks the JSON CGI for the problem hosts and services and gives each problem
of the list the details of the entry of exactly the same names: its time in
its state at the end of its row (fresh ones in a highlight of their own),
a SOFT problem's attempt, the check's output after the name. The list stays
the authority: a problem the JSON status does not name, or names (null), is
still drawn, its age "?"; a JSON answer that fails or is cut leaves the list
as it is, every age "?"."""

import subprocess
import unittest

from statusbed import status_page
from support import E2ETestCase, ExpectedScreen, write_config
from terminal import BLACK, CYAN, GREEN, RED, WHITE, YELLOW

HOSTLIST = "/cgi-bin/statusjson.cgi?query=hostlist&details=true&hoststatus=down+unreachable"
SERVICELIST = "/cgi-bin/statusjson.cgi?query=servicelist&details=true&servicestatus=warning+critical+unknown"

PAGE = status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web1", "Disk"),
                    ("critical", "wéb2", "HTTP")])
HOSTS = [dict(host="db1", status=4, age=3 * 3600 + 5, output="CRITICAL - Host Unreachable (10.0.0.9)")]
SERVICES = [
    dict(host="web1", service="Load", status=16, age=30, output="load average: 9.1, 8.0, 7.7\nsecond line"),
    dict(host="web1", service="Disk", status=2, age=50 * 3600, soft=True, attempt=1, max=3,
         output="DISK WARNING - free space: / 812 MB (9%)"),
    # The CGI writes a name outside ASCII as (null), and may do so twice.
    dict(host="(null)", service="HTTP", status=16, age=5, output="never shown"),
    dict(host="(null)", service="HTTP", status=16, age=9, output="never shown"),
]


def with_lines(conf, *lines):
    with open(conf, "a") as f:
        f.writelines(line + "\n" for line in lines)
    return conf


def details_screen():
    """PAGE with ages and outputs: the age right-aligned in the 50-column
    column, one blank before it; the output two blanks after the name."""
    screen = ExpectedScreen(80, 24, WHITE, RED)
    screen.label(0, 0, "db1", BLACK, WHITE)
    screen.put(0, 7, "CRITICAL - Host Unreachable (10.0.0.9)", WHITE, RED)
    screen.put(0, 48, "3h", BLACK, WHITE)
    screen.label(2, 0, "web1", BLACK, GREEN)
    screen.label(3, 2, "CRITICAL", BLACK, RED).service(3, 12, "Load")
    screen.put(3, 19, "load average: 9.1, 8.0, 7.7", WHITE, RED)
    screen.put(3, 47, "30s", BLACK, CYAN)
    screen.label(4, 2, "WARNING", BLACK, YELLOW).service(4, 11, "Disk")
    # Cut before the blank that leads the attempt and the age.
    screen.put(4, 18, "DISK WARNING - free space", WHITE, RED)
    screen.put(4, 44, "1/3 2d", WHITE, RED)
    screen.label(6, 0, "wéb2", BLACK, GREEN)
    screen.label(7, 2, "CRITICAL", BLACK, RED).service(7, 12, "HTTP")
    screen.put(7, 49, "?", WHITE, RED)
    return screen


class ProblemDetailsTest(E2ETestCase):
    def watch(self, bed, *lines):
        conf = with_lines(write_config(self.folder(), bed.base_url), *lines)
        return self.run_orvek("-c", conf, "-s", "1"), conf

    def check(self, conf):
        return subprocess.run([self.binary, "-t", "-c", conf], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=60)

    def test_ages_and_outputs_on_the_screen(self):
        bed = self.bed()
        bed.set_page(PAGE)
        bed.set_status_details(hosts=HOSTS, services=SERVICES)
        terminal, conf = self.watch(bed, "ages yes", "output yes")
        self.assertScreen(terminal, details_screen())
        asked = {request["uri"] for request in bed.data_age_requests()}
        self.assertEqual(asked, {HOSTLIST, SERVICELIST})

    def test_a_failing_or_cut_json_answer_leaves_the_list(self):
        bed = self.bed()
        bed.set_page(status_page([("down", "db1"), ("critical", "web1", "Load")]))
        unknown = (ExpectedScreen(80, 24, WHITE, RED)
                   .label(0, 0, "db1", BLACK, WHITE).put(0, 49, "?", BLACK, WHITE)
                   .label(2, 0, "web1", BLACK, GREEN)
                   .label(3, 2, "CRITICAL", BLACK, RED).service(3, 12, "Load").put(3, 49, "?", WHITE, RED))
        bed.set_status_details(hosts=HOSTS, services=SERVICES, cut=True)
        terminal, conf = self.watch(bed, "ages yes", "soft hide")
        self.assertScreen(terminal, unknown, what="the list with unknown ages")
        bed.set_data_age(status=500, body="<html>Internal Server Error</html>")
        bed.set_status_details(hosts=HOSTS, services=SERVICES)
        self.assertScreen(terminal, unknown, what="the list with unknown ages after a 500")

    def test_the_reason_in_the_last_row_with_u(self):
        bed = self.bed()
        bed.set_page(status_page([("critical", "web1", "Load")]))
        bed.set_status_details(services=SERVICES, cut=True)
        conf = with_lines(write_config(self.folder(), bed.base_url), "ages yes")
        terminal = self.run_orvek("-c", conf, "-s", "1", "-u")
        terminal.wait_for(lambda screen: screen.line(23).rstrip().endswith(
            " JSON status: the answer is no JSON, %s" % screen.line(23).rstrip()[-8:]) and
            screen.line(1).rstrip().endswith("?"), what="the reason beside the clock")

    def test_soft_hide(self):
        bed = self.bed()
        bed.set_page(status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web1", "Disk")]))
        hosts = [dict(HOSTS[0], soft=True, attempt=2, max=3)]
        bed.set_status_details(hosts=hosts, services=SERVICES)
        terminal, conf = self.watch(bed, "soft hide")
        # The SOFT DOWN host and the SOFT service are gone, and with the host
        # the red: nothing confirmed is down.
        expected = (ExpectedScreen(80, 24, WHITE, BLACK)
                    .label(0, 0, "web1", BLACK, GREEN)
                    .label(1, 2, "CRITICAL", BLACK, RED).service(1, 12, "Load"))
        self.assertScreen(terminal, expected)

    def test_check_from_shell_with_each_key(self):
        bed = self.bed()
        bed.set_page(PAGE)
        bed.set_status_details(hosts=HOSTS, services=SERVICES)
        folder = self.folder()
        cases = (
            ("ages yes", ["JSON status: " + bed.base_url + HOSTLIST, "db1: 3h", "web1/Load: 30s",
                          "web1/Disk: SOFT 1/3, 2d", "not matched: wéb2/HTTP"]),
            ("output yes", ["web1/Load: 30s, load average: 9.1, 8.0, 7.7"]),
            ("soft hide", ["web1/Disk: SOFT 1/3, 2d, DISK WARNING", "(hidden: soft hide)", "SOFT problems hidden: 1",
                           "service problems: 2 CRITICAL, 0 WARNING"]),
            ("fresh 1m", []),
        )
        for key, expected in cases:
            with self.subTest(key):
                conf = with_lines(write_config(folder, bed.base_url, name=key.split()[0] + ".conf"), key)
                done = self.check(conf)
                for text in expected:
                    self.assertIn(text, done.stdout)
                if key == "fresh 1m":
                    self.assertNotIn("JSON status:", done.stdout)
        # A server without the JSON CGI: the key that needs it is named, with the fix.
        old = self.bed()
        old.set_page(PAGE)
        old.remove_json_cgi()
        done = self.check(with_lines(write_config(folder, old.base_url, name="gone.conf"), "ages yes"))
        self.assertIn("JSON status: HTTP status 404", done.stdout)
        self.assertIn("ages yes needs the server's JSON status CGI", done.stdout)


if __name__ == "__main__":
    unittest.main()
