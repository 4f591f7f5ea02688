"""hostgroup and servicegroup: a section's screen shows only its group's
problems, as the JSON status's answers filtered by the group name them; the
list still names them. Two sections may name one server with two groups: one
wall, one pane a team. Without its group's answer (an unknown group, a cut
or failed answer) the section shows its banner, never the whole list and
never calm; a user who may see no host, the no-hosts banner."""

import subprocess
import unittest

from statusbed import status_page
from support import BANNER, E2ETestCase, write_config
from test_problem_details import with_lines

PAGE = status_page([("down", "db1"), ("critical", "web1", "Load"), ("warning", "web2", "Disk"),
                    ("critical", "mail", "SMTP"), ("down", "gw9")])
HOSTS = [dict(host="db1", status=4, age=600), dict(host="gw9", status=4, age=600)]
SERVICES = [dict(host="web1", service="Load", status=16), dict(host="web2", service="Disk", status=4),
            dict(host="mail", service="SMTP", status=16)]
HOSTGROUPS = {"web": ["web1", "web2"], "gateways": []}
SERVICEGROUPS = {"dbteam": [("db1", "MySQL"), ("mail", "SMTP")]}


def two_teams(folder, url):
    path = folder + "/orvek.conf"
    with open(path, "w") as f:
        f.write("server %s\nnewcgi true\n\n[server web]\nhostgroup web\n\n[server db]\nservicegroup dbteam\n" % url)
    return path


class TeamScreensTest(E2ETestCase):
    def bed_with_groups(self, **details):
        bed = self.bed()
        bed.set_page(PAGE)
        bed.set_status_details(hosts=HOSTS, services=SERVICES, hostgroups=HOSTGROUPS, servicegroups=SERVICEGROUPS,
                               **details)
        return bed

    def check(self, conf):
        return subprocess.run([self.binary, "-t", "-c", conf], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=60)

    def test_two_teams_on_one_wall_from_one_server(self):
        bed = self.bed_with_groups()
        terminal = self.run_orvek("-c", two_teams(self.folder(), bed.base_url), "-s", "1")

        def panes(screen):
            lines = [screen.line(row).rstrip() for row in range(24)]
            words = [line.split() for line in lines if line.strip()]
            return words

        # Each pane under its header: the web team's services, then the db
        # team's DOWN host (it has a service in the group) and its service.
        expected = [["web"], ["web1"], ["CRITICAL", "Load"], ["web2"], ["WARNING", "Disk"],
                    ["db"], ["db1"], ["mail"], ["CRITICAL", "SMTP"]]
        terminal.wait_for(lambda screen: panes(screen) == expected, what="the two teams' panes")
        asked = {request["uri"] for request in bed.data_age_requests()}
        self.assertIn("/cgi-bin/statusjson.cgi?query=hostlist&details=true&hoststatus=down+unreachable&hostgroup=web",
                      asked)
        self.assertIn("/cgi-bin/statusjson.cgi?query=servicelist&details=true&servicestatus=warning+critical+unknown"
                      "&servicegroup=dbteam", asked)
        self.assertIn("/cgi-bin/statusjson.cgi?query=servicelist&servicegroup=dbteam", asked)

    def test_no_group_answer_gives_the_banner(self):
        cases = (
            ("an unknown group", "hostgroup web-tier", {}, 'JSON status: no hostgroup named "web-tier"'),
            ("a cut answer", "hostgroup web", dict(cut=True), "JSON status: the answer is no JSON"),
        )
        for case, key, details, reason in cases:
            with self.subTest(case):
                bed = self.bed_with_groups(**details)
                conf = with_lines(write_config(self.folder(), bed.base_url), key)
                terminal = self.run_orvek("-c", conf, "-s", "1", "-u")
                terminal.wait_for(lambda screen: screen.contains(BANNER) and screen.contains(reason) and
                                  not screen.contains("web1"), what="the banner and its reason")
                done = self.check(conf)
                self.assertEqual(done.returncode, 2, done.stdout)
                first = done.stdout.splitlines()[0]
                self.assertTrue(first.startswith("ORVEK CRITICAL"), first)
                self.assertIn(reason, first)

    def test_a_user_who_may_see_no_host(self):
        bed = self.bed_with_groups()
        bed.set_data_age(hosts={"*": (0, 0, 0, 0)})
        conf = with_lines(write_config(self.folder(), bed.base_url), "hostgroup gateways")
        terminal = self.run_orvek("-c", conf, "-s", "1")
        terminal.wait_for_text(" Server shows this user no hosts! ")

    def test_check_from_shell_with_groups(self):
        bed = self.bed_with_groups()
        folder = self.folder()
        cases = (
            ("hostgroup web", ["hostgroup: web", "group size: 0 problem hosts and 2 problem services",
                               "outside the group: db1 (not in the group's answer)",
                               "outside the group: mail/SMTP (not in the group's answer)",
                               "problem: web1/Load"]),
            ("servicegroup dbteam", ["servicegroup: dbteam", "2 services in the service group",
                                     "outside the group: gw9 (no service of it in the service group)",
                                     "problem: db1", "problem: mail/SMTP"]),
        )
        for key, expected in cases:
            with self.subTest(key):
                done = self.check(with_lines(write_config(folder, bed.base_url, name=key.split()[0] + ".conf"), key))
                self.assertEqual(done.returncode, 0, done.stdout)
                for text in expected:
                    self.assertIn(text, done.stdout)


if __name__ == "__main__":
    unittest.main()
