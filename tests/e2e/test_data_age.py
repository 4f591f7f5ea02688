"""maxage: after each fetch of a list that would be drawn, the monitor asks
the JSON CGI how old the server's status data is and how many hosts the user
may see, with the same credentials and authentication; data older than
maxage, or of unknown age (also data written after the server's own time),
and a user who may see no host show a banner in place of the report.
Without maxage nothing is asked. orvek -t asks once in any case and names
the hosts the user may see."""

import subprocess
import time
import unittest

from statusbed import status_page
from support import ONE_PROBLEM_PAGE, E2ETestCase, ExpectedScreen, blank_screen, one_problem_screen, write_config
from terminal import BLACK, RED, WHITE

AGE_PATH = "/cgi-bin/statusjson.cgi?query=hostcount"
UNKNOWN = " Server data age unknown! "
NO_HOSTS = " Server shows this user no hosts! "
NONE_VISIBLE = (0, 0, 0, 0)


def age_banner_screen(text, width=80, height=24):
    expected = ExpectedScreen(width, height, WHITE, BLACK)
    return expected.put(height // 2, (width - len(text)) // 2, text, WHITE, RED)


def with_max_age(conf, seconds):
    with open(conf, "a") as f:
        f.write("maxage %s\n" % seconds)
    return conf


class DataAgeTest(E2ETestCase):
    def watch(self, bed, max_age, *args, **config):
        conf = with_max_age(write_config(self.folder(), bed.base_url, **config), max_age)
        return self.run_orvek("-c", conf, *(args or ("-s", "1")))

    def test_each_answer_of_the_json_cgi(self):
        bed = self.bed(auth="digest", users={"ops": "n0c-pass"})
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=3)
        terminal = self.watch(bed, 300, username="ops", password="n0c-pass", digest=True)
        self.assertScreen(terminal, one_problem_screen(), what="the report from fresh data")
        # Asked after every list, as the same user, through the same login.
        self.wait_for_cycles(bed, 2, terminal)
        asked = bed.data_age_requests()
        self.assertGreaterEqual(len(asked), 2)
        self.assertEqual({(r["uri"], r["user"], r["auth"]) for r in asked}, {(AGE_PATH, "ops", "Digest")})

        cases = (
            ("an hour old", dict(age=3600), " Server data is 60 min old! "),
            ("five minutes and a bit", dict(age=301), " Server data is 5 min old! "),
            ("no last_data_update", dict(missing=["last_data_update"]), UNKNOWN),
            ("no query_time", dict(missing=["query_time"]), UNKNOWN),
            ("404", dict(status=404, body="<html>Not Found</html>"), UNKNOWN),
            ("garbage", dict(body="\x00\x01{{{ not json"), UNKNOWN),
            ("fresh again", dict(age=2), None),
        )
        for case, answer, banner in cases:
            with self.subTest(case):
                bed.set_data_age(**answer)
                expected = one_problem_screen() if banner is None else age_banner_screen(banner)
                self.assertScreen(terminal, expected, what=banner or "the report again")

    def test_seconds_under_a_minute(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=45)
        terminal = self.watch(bed, 30)
        self.assertScreen(terminal, age_banner_screen(" Server data is 45 s old! "))
        # The all-clear screen too: a calm list from stale data is no calm.
        bed.set_page(status_page([]))
        bed.set_data_age(age=7200)
        self.assertScreen(terminal, age_banner_screen(" Server data is 120 min old! "))

    def test_status_data_written_after_the_servers_time(self):
        # The server's clock stepped back three hours: its status data was
        # last written "in the future". No age can be told: never fresh.
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=-3 * 3600)
        terminal = self.watch(bed, 300)
        self.assertScreen(terminal, age_banner_screen(UNKNOWN), what="the unknown age, three hours ahead")
        # Within a minute ahead: the clocks read at different moments; fresh.
        bed.set_data_age(age=-45)
        self.assertScreen(terminal, one_problem_screen(), what="the report, 45 s ahead")
        bed.set_data_age(age=-90)
        self.assertScreen(terminal, age_banner_screen(UNKNOWN), what="the unknown age, 90 s ahead")

    def test_a_user_who_may_see_no_host(self):
        # The server gives such a user an empty list: no all-clear.
        bed = self.bed(auth="basic", users={"ops": "n0c-pass", "guest": "gu3st"})
        bed.set_page(status_page([]))
        bed.set_data_age(age=3, hosts={"guest": NONE_VISIBLE, "ops": (40, 0, 0, 0)})
        guest = self.watch(bed, 300, username="guest", password="gu3st")
        self.assertScreen(guest, age_banner_screen(NO_HOSTS), what="the banner for a user who sees no host")
        ops = self.watch(bed, 300, username="ops", password="n0c-pass")
        self.assertScreen(ops, blank_screen(), what="the all-clear of a user who sees hosts")
        # One pending host is a host: the all-clear again. And stale data
        # says so before the count does.
        bed.set_data_age(age=3, hosts={"guest": (0, 0, 0, 1)})
        self.assertScreen(guest, blank_screen(), what="the all-clear with one pending host")
        bed.set_data_age(age=3600, hosts={"guest": NONE_VISIBLE})
        self.assertScreen(guest, age_banner_screen(" Server data is 60 min old! "), what="the old data first")
        # A count the monitor cannot read leaves the age to decide.
        bed.set_data_age(age=3, body='{"format_version": 0, "result": {"query_time": 2000, "last_data_update": 1000}, '
                                     '"data": {"count": {"up": "none"}}}')
        self.assertScreen(guest, blank_screen(), what="the all-clear without a count")

    def test_nothing_asked_without_maxage_nor_after_a_failed_list(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=3600)
        plain = self.monitor(bed.base_url)
        self.assertScreen(plain, one_problem_screen(), what="the report, stale data unasked")
        self.wait_for_cycles(bed, 2, plain)
        self.assertEqual(bed.data_age_requests(), [])

        # With maxage, but a list that shows the banner: the age is not
        # asked for, and the banner is the connection's.
        failing = self.bed()
        failing.respond(status=503)
        failing.set_data_age(age=3600)
        terminal = self.watch(failing, 300)
        self.assertBanner(terminal)
        self.wait_for_cycles(failing, 2, terminal)
        self.assertEqual(failing.data_age_requests(), [])


class CheckDataAgeTest(E2ETestCase):
    def check(self, conf):
        env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "TZ": "UTC0"}
        run = subprocess.run([self.binary, "-t", "-c", conf], env=env, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=60, text=True)
        self.assertEqual(run.stderr, "")
        return run.returncode, dict(line.split(": ", 1) for line in run.stdout.splitlines() if ": " in line), run.stdout

    def test_the_check_names_the_age_the_start_and_the_verdict(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        conf = with_max_age(write_config(self.folder(), bed.base_url), 300)
        cases = (
            ("fresh", dict(age=3, uptime=7200), 0, "3 s, within maxage 300 s", "OK: "),
            ("an hour old", dict(age=3600), 2, "3600 s (60 min), older than maxage 300 s",
             'FAIL: the monitor would show the banner " Server data is 60 min old! ": the status data is older'),
            ("404", dict(status=404, body="no"), 2, "unknown: HTTP status 404",
             'FAIL: the monitor would show the banner " Server data age unknown! ": the JSON status CGI gave no'),
            ("no last_data_update", dict(missing=["last_data_update"]), 2,
             "unknown: the answer holds no last_data_update", 'FAIL: the monitor would show the banner " Server'),
            ("garbage", dict(body="]]"), 2, "unknown: the answer is no JSON (a text page)", "FAIL: "),
        )
        for case, answer, status, age, verdict in cases:
            with self.subTest(case):
                bed.set_data_age(**answer)
                before = time.time()
                code, facts, text = self.check(conf)
                self.assertEqual(code, status, text)
                self.assertEqual(facts["maxage"], "300 s", text)
                self.assertEqual(facts["data age URL"], bed.base_url + AGE_PATH, text)
                self.assertEqual(facts["data age"], age, text)
                self.assertTrue(facts["verdict"].startswith(verdict), text)
                if case == "fresh":
                    # Two hours before the answer, in the zone of TZ.
                    start = time.strftime("%Y-%m-%d %H:%M", time.gmtime(before - 7200))
                    self.assertTrue(facts["program start"].startswith(start), text)
                    self.assertTrue(facts["program start"].endswith(" UTC"), text)

    def test_a_maxage_that_is_no_number_is_named_and_the_age_not_checked(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=3600)
        conf = with_max_age(write_config(self.folder(), bed.base_url), "5x")
        code, facts, text = self.check(conf)
        self.assertEqual(code, 1, text)
        self.assertIn("the maxage value \"5x\" is no number of seconds", facts["pitfall"])
        # The JSON CGI is asked once, for the hosts only.
        self.assertEqual([r["uri"] for r in bed.data_age_requests()], [AGE_PATH])
        self.assertNotIn("data age", facts)
        self.assertEqual(facts["hosts visible to (no user name)"], "6", text)
        # Minutes are read as users write them, and shown in seconds.
        code, facts, text = self.check(with_max_age(write_config(self.folder(), bed.base_url), "5m"))
        self.assertEqual(facts["maxage"], "300 s", text)
        self.assertNotIn("pitfall", facts, text)
        # And a configuration without maxage says nothing of it.
        code, facts, text = self.check(write_config(self.folder(), bed.base_url))
        self.assertEqual(code, 0, text)
        self.assertNotIn("data age", text)
        self.assertNotIn("maxage", text)

    def test_data_written_after_the_servers_time_is_explained(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        bed.set_data_age(age=-3 * 3600)
        code, facts, text = self.check(with_max_age(write_config(self.folder(), bed.base_url), 300))
        self.assertEqual(code, 2, text)
        self.assertEqual(facts["data age"], "unknown: last_data_update lies 10800 s after query_time: the server's "
                                            "clock stepped back, or its status data was written in the future", text)
        self.assertTrue(facts["verdict"].startswith(
            'FAIL: the monitor would show the banner " Server data age unknown! ": the status data was last written '
            "after the server's own time: the server's clock stepped back"), text)
        bed.set_data_age(age=-30)
        code, facts, text = self.check(with_max_age(write_config(self.folder(), bed.base_url), 300))
        self.assertEqual((code, facts["data age"]), (0, "0 s, within maxage 300 s"), text)

    def test_the_hosts_the_user_may_see(self):
        bed = self.bed(auth="digest", users={"ops": "n0c-pass", "guest": "gu3st"})
        bed.set_page(status_page([]))
        bed.set_data_age(age=3, hosts={"ops": (120, 2, 1, 4), "guest": NONE_VISIBLE})
        calm = "OK: the monitor would draw this page as its report, an empty black screen (all clear)"
        meaningless = ("WARNING: the server shows this user no hosts (none up, down, unreachable or pending), so its "
                       "list is always empty and an all-clear would mean nothing")
        # (user, maxage line, exit status, the hosts line, verdict begins)
        cases = (
            ("ops", None, 0, "127", calm),
            ("ops", 300, 0, "127", calm),
            ("guest", None, 1, "0", meaningless),
            ("guest", 300, 2, "0", 'FAIL: the monitor would show the banner "%s": the server shows this user no '
                                   "hosts" % NO_HOSTS),
        )
        for user, max_age, status, hosts, verdict in cases:
            with self.subTest(user=user, max_age=max_age):
                before = len(bed.data_age_requests())
                conf = write_config(self.folder(), bed.base_url, username=user,
                                    password={"ops": "n0c-pass", "guest": "gu3st"}[user], digest=True)
                code, facts, text = self.check(with_max_age(conf, max_age) if max_age else conf)
                self.assertEqual(code, status, text)
                self.assertEqual(facts["hosts visible to %s" % user], hosts, text)
                self.assertTrue(facts["verdict"].startswith(verdict), text)
                # Asked once, as that user.
                asked = bed.data_age_requests()[before:]
                self.assertEqual([(r["uri"], r["user"]) for r in asked], [(AGE_PATH, user)], text)

        # A list that failed: the JSON CGI is not asked (its time is spent,
        # and it would say no more); the verdict is the banner's.
        bed.respond(status=500)
        before = len(bed.data_age_requests())
        conf = write_config(self.folder(), bed.base_url, username="guest", password="gu3st", digest=True)
        code, facts, text = self.check(conf)
        self.assertEqual(code, 2, text)
        self.assertNotIn("hosts visible to", text)
        self.assertEqual(len(bed.data_age_requests()), before, text)
        self.assertTrue(facts["verdict"].startswith('FAIL: the monitor would show the banner " No connection'), text)

    def test_a_server_without_the_json_cgi_draws_no_warning(self):
        bed = self.bed()
        bed.set_page(status_page([]))
        bed.remove_json_cgi()
        code, facts, text = self.check(write_config(self.folder(), bed.base_url))
        self.assertEqual(code, 0, text)
        self.assertNotIn("hosts visible", text)
        self.assertNotIn("pitfall", text)
        self.assertNotIn("hint", text)
        self.assertTrue(facts["verdict"].startswith("OK: "), text)
        # An answer that is JSON but holds no count is named, and no more.
        other = self.bed()
        other.set_page(status_page([]))
        other.set_data_age(body='{"format_version": 0, "result": {"query_time": 1, "last_data_update": 1}}')
        code, facts, text = self.check(write_config(self.folder(), other.base_url))
        self.assertEqual(code, 0, text)
        self.assertEqual(facts["hosts visible to (no user name)"], "unknown: the answer holds no data.count object",
                         text)


if __name__ == "__main__":
    unittest.main()
