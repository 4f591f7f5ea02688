"""Several servers on one wall: a file with [server NAME] sections. Each
server's problems under a header of its own (white on blue, bold), in the
order of the sections; a failing server's header white on red with the
banner's words, before them, the others' problems kept; all failing in the
same words: the centred banner; -u's last row naming each server; each
section's own exclude file. Every server is fetched by itself, so one that
hangs never holds back the refresh of another."""

import os
import subprocess
import time
import unittest

from statusbed import status_page
from support import ALARM_PAGE, BANNER, ONE_PROBLEM_PAGE, SLACK, TRANSFER_BOUND, E2ETestCase, dead_url
from terminal import BLACK, BLUE, GREEN, RED, WHITE

HEADER = (WHITE, BLUE, True)
FAILING = (WHITE, RED, True)


def servers_config(folder, sections, defaults=("newcgi true",), name="orvek.conf"):
    """A file with sections: sections is [(name, [lines])], defaults the
    lines before the first."""
    text = "# written by the e2e tests\n" + "".join(line + "\n" for line in defaults)
    for server, lines in sections:
        text += "\n[server %s]\n" % server + "".join(line + "\n" for line in lines)
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def header_row(screen, words):
    """The first row that holds words, or None."""
    found = screen.find(words)
    return None if found is None else found[0]


def colours_at(screen, words):
    row, column = screen.find(words)
    cells = [screen[row][column + i] for i in range(len(words))]
    return {(cell.fg, cell.bg, cell.bold) for cell in cells}


class SeveralServersCase(E2ETestCase):
    def watch(self, sections, *args, **run):
        conf = servers_config(self.folder(), sections)
        return self.run_orvek("-c", conf, *(args or ("-s", "1")), **run)

    def wait_screen(self, terminal, condition, what, timeout=15):
        try:
            return terminal.wait_for(condition, timeout, what)
        except AssertionError as error:
            raise AssertionError("%s\n%s" % (error, terminal.screen().dump())) from None

    def assertHeaders(self, screen, expected):
        """expected: [(words, (fg, bg, bold))] in the order of their rows."""
        rows = []
        for words, colours in expected:
            row = header_row(screen, words)
            self.assertIsNotNone(row, "no header %r:\n%s" % (words, screen.dump()))
            self.assertEqual(colours_at(screen, words), {colours}, "header %r:\n%s" % (words, screen.dump()))
            rows.append(row)
        self.assertEqual(rows, sorted(rows), "headers out of order:\n%s" % screen.dump())
        return rows


class LayoutOfServersTest(SeveralServersCase):
    def test_headers_order_colours_and_names_within_their_server(self):
        prod, lab, calm = self.bed(), self.bed(), self.bed()
        # db1 is DOWN on prod; lab's db1 is another host, with a problem of
        # its own, and its services stay.
        prod.set_page(status_page([("down", "db1"), ("critical", "db1", "Backup")]))
        lab.set_page(status_page([("critical", "db1", "Load"), ("warning", "web1", "Disk")]))
        calm.set_page(status_page([]))
        terminal = self.watch([("prod", ["server " + prod.base_url]), ("quiet", ["server " + calm.base_url]),
                               ("lab", ["server " + lab.base_url])])

        def both(screen):
            return screen.contains("prod") and screen.contains("lab") and screen.contains("Disk")

        screen = self.wait_screen(terminal, both, "both servers' problems")
        prod_row, lab_row = self.assertHeaders(screen, [("prod", HEADER), ("lab", HEADER)])
        # A calm server takes no room.
        self.assertFalse(screen.contains("quiet"), screen.dump())
        # The red screen: a server that answered lists a DOWN host.
        self.assertEqual(screen[23][79].bg, RED, screen.dump())
        db1_rows = [r for r in range(24) if " db1 " in screen.line(r)]
        self.assertEqual(len(db1_rows), 2, screen.dump())
        prod_db1, lab_db1 = db1_rows
        self.assertTrue(prod_row < prod_db1 < lab_row < lab_db1, screen.dump())
        # prod's DOWN db1 silences prod's db1 services only.
        self.assertEqual(colours_at(screen, " db1 ") & {(BLACK, WHITE, False)}, {(BLACK, WHITE, False)})
        self.assertFalse(screen.contains("Backup"), screen.dump())
        # lab's db1 is a host with a service problem: green, its Load shown.
        column = screen.line(lab_db1).find(" db1 ")
        self.assertEqual((screen[lab_db1][column].fg, screen[lab_db1][column].bg), (BLACK, GREEN))
        self.assertTrue(screen.contains("Load"), screen.dump())

    def test_failing_servers_beside_one_that_answers(self):
        good, unauthorised, old = self.bed(), self.bed(auth="basic", users={"ops": "right"}), self.bed()
        good.set_page(ONE_PROBLEM_PAGE)
        unauthorised.set_page(ONE_PROBLEM_PAGE)
        old.set_page(ONE_PROBLEM_PAGE)
        old.set_data_age(age=12 * 60)
        terminal = self.watch([
            ("prod", ["server " + good.base_url]),
            ("gone", ["server " + dead_url()]),
            ("auth", ["server " + unauthorised.base_url, "username ops", "password wrong"]),
            ("old", ["server " + old.base_url, "maxage 5m"]),
        ], "-u", "-s", "1")
        # The failing servers first, in the order of their sections.
        expected = [(" gone: No connection to server! ", FAILING), (" auth: No connection to server! ", FAILING),
                    (" old: Server data is 12 min old! ", FAILING), ("prod", HEADER)]
        screen = self.wait_screen(terminal, lambda s: all(s.contains(w) for w, _ in expected), "every header")
        rows = self.assertHeaders(screen, expected)
        # The others' problems stay, the failing ones' rows are gone.
        self.assertEqual([r for r in range(24) if " web1 " in screen.line(r)], [rows[3] + 1], screen.dump())
        # With -u the reason follows under the failing header, its cause
        # shortened to keep its time within the column.
        self.assertRegex(screen.line(rows[1] + 1), r"^ HTTP 401: user or password ref\.\.\., since \d\d:\d\d:\d\d ",
                         screen.dump())

    def test_all_failing_shows_the_centred_banner_with_a_reason_per_server(self):
        unauthorised = self.bed(auth="basic", users={"ops": "right"})
        terminal = self.watch([("prod", ["server " + dead_url()]),
                               ("lab", ["server " + unauthorised.base_url, "username ops", "password wrong"])],
                              "-u", "-s", "1")
        screen = self.wait_screen(terminal, lambda s: s.contains("lab: HTTP 401"), "the reason lines")
        self.assertEqual(screen.find(BANNER), (12, (80 - len(BANNER)) // 2), screen.dump())
        self.assertEqual(colours_at(screen, BANNER), {(WHITE, RED, False)}, screen.dump())
        prod_line, lab_line = screen.find("prod: "), screen.find("lab: HTTP 401")
        self.assertTrue(12 < prod_line[0] < lab_line[0], screen.dump())

    def test_the_last_row_names_each_server(self):
        good = self.bed()
        good.set_page(ONE_PROBLEM_PAGE)
        hung = self.silent_server()
        terminal = self.watch([("prod", ["server " + good.base_url]), ("gone", ["server " + dead_url()]),
                               ("slow", ["server " + hung.base_url])], "-u", "-s", "1")

        def named(screen):
            last = screen.line(23)
            return all(name in last for name in ("prod", "gone", "slow")) and screen.contains("web1")

        screen = self.wait_screen(terminal, named, "the servers' names in the last row")
        last = screen.line(23)
        self.assertTrue(last.find("prod") < last.find("gone") < last.find("slow"), screen.dump())
        for name, colours in (("prod", (BLACK, GREEN)), ("gone", (WHITE, RED)), ("slow", (WHITE, BLACK))):
            with self.subTest(name):
                cell = screen[23][last.find(name)]
                self.assertEqual((cell.fg, cell.bg), colours, screen.dump())
        # The clock stays at the right.
        self.assertRegex(last.rstrip(), r"\d\d:\d\d:\d\d$", screen.dump())

    def test_each_section_excludes_for_its_own_server(self):
        prod, lab = self.bed(), self.bed()
        page = status_page([("critical", "web1", "Load"), ("critical", "db1", "Backup"),
                            ("warning", "mail", "Disk")])
        prod.set_page(page)
        lab.set_page(page)
        folder = self.folder()
        prod_excludes = os.path.join(folder, "prod.exclude")
        with open(prod_excludes, "w") as f:
            f.write("web1\n")
        everyones = os.path.join(folder, "all.exclude")
        with open(everyones, "w") as f:
            f.write("Disk\n")
        conf = servers_config(folder, [("prod", ["server " + prod.base_url, "exclude " + prod_excludes]),
                                       ("lab", ["server " + lab.base_url])])
        terminal = self.run_orvek("-c", conf, "-e", everyones, "-s", "1")
        screen = self.wait_screen(terminal, lambda s: s.contains("lab"), "lab's header")
        prod_row, lab_row = self.assertHeaders(screen, [("prod", HEADER), ("lab", HEADER)])
        web1_rows = [r for r in range(24) if " web1 " in screen.line(r)]
        db1_rows = [r for r in range(24) if " db1 " in screen.line(r)]
        # web1 hidden on prod only; Disk (-e) on both.
        self.assertEqual(len(web1_rows), 1, screen.dump())
        self.assertGreater(web1_rows[0], lab_row, screen.dump())
        self.assertEqual(len(db1_rows), 2, screen.dump())
        self.assertTrue(prod_row < db1_rows[0] < lab_row, screen.dump())
        self.assertFalse(screen.contains("Disk"), screen.dump())

    def test_a_section_exclude_file_that_cannot_serve_marks_its_header(self):
        prod, lab = self.bed(), self.bed()
        prod.set_page(status_page([("critical", "web1", "Load")]))
        lab.set_page(status_page([("warning", "mail", "Disk")]))
        folder = self.folder()
        cases = {
            "missing": os.path.join(folder, "missing.exclude"),
            "an empty line": os.path.join(folder, "empty-line.exclude"),
            "a directory": folder,
        }
        with open(cases["an empty line"], "w") as f:
            f.write("web9\n\nweb8\n")
        for case, path in cases.items():
            with self.subTest(case):
                conf = servers_config(self.folder(), [("prod", ["server " + prod.base_url, "exclude " + path]),
                                                      ("lab", ["server " + lab.base_url])])
                terminal = self.run_orvek("-c", conf, "-s", "1")
                screen = self.wait_screen(terminal, lambda s: s.contains(" mail "), "lab's list")
                self.assertTrue(screen.contains(" prod  (exclude file unusable) "), screen.dump())
                self.assertFalse(screen.contains("lab  (exclude"), screen.dump())
                terminal.close()

    def test_one_server_with_u_tells_it_waits_for_the_first_answer(self):
        hung = self.silent_server()
        terminal = self.monitor(hung.base_url, "-u", "-s", "1")
        screen = self.wait_screen(terminal, lambda s: "waiting for the server since" in s.line(23),
                                  "the waiting note")
        self.assertRegex(screen.line(23), r"waiting for the server since \d\d:\d\d:\d\d")


class HangingServerTest(SeveralServersCase):
    """What the wall shows of the first server is read through whatever
    layout shows it: these hold with one server's frame too."""

    def test_a_hanging_server_never_delays_another(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        hung = self.silent_server()
        interval = 2
        terminal = self.watch([("prod", ["server " + bed.base_url]), ("slow", ["server " + hung.base_url])],
                              "-s", str(interval))
        started = time.monotonic()
        self.wait_screen(terminal, lambda s: s.contains("web1"), "prod's first list")
        # Each change of prod's state shows within the interval and 2 s,
        # while the other server's transfer hangs (it gives up only after
        # the transfer bound).
        for page, words in ((ALARM_PAGE, " db1 "), (ONE_PROBLEM_PAGE, None), (ALARM_PAGE, " db1 ")):
            bed.set_page(page)
            changed = time.monotonic()
            self.wait_screen(terminal, (lambda s: s.contains(words)) if words else (lambda s: not s.contains(" db1 ")),
                             "prod's change of state", timeout=interval + 2 + SLACK)
            seen = time.monotonic() - changed
            self.assertLess(seen, interval + 2, "prod's change showed only after %.1f s" % seen)
        self.assertLess(time.monotonic() - started, TRANSFER_BOUND, "the checks outlasted the hang")
        self.assertTrue(hung._held, "the hanging server was never asked")

    def test_a_hanging_server_fails_in_its_header_while_the_other_stays(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        hung = self.silent_server()
        terminal = self.watch([("prod", ["server " + bed.base_url]), ("slow", ["server " + hung.base_url])])
        started = time.monotonic()
        words = " slow: No connection to server! "
        screen = self.wait_screen(terminal, lambda s: s.contains(words), "the hung server's failure",
                                  timeout=TRANSFER_BOUND + SLACK)
        elapsed = time.monotonic() - started
        self.assertLess(elapsed, 35, "the failure showed only after %.0f s" % elapsed)
        self.assertHeaders(screen, [(words, FAILING), ("prod", HEADER)])
        self.assertTrue(screen.contains("web1"), screen.dump())

    def test_a_signal_ends_it_while_a_transfer_hangs(self):
        bed = self.bed()
        bed.set_page(ONE_PROBLEM_PAGE)
        hung = self.silent_server()
        terminal = self.watch([("prod", ["server " + bed.base_url]), ("slow", ["server " + hung.base_url])],
                              keeps_running=False, then='echo "exit=$?"; exec sleep 3600')
        self.wait_screen(terminal, lambda s: s.contains("web1"), "prod's list")
        self.wait_screen(terminal, lambda s: hung._held, "the hanging transfer")
        subprocess.run(["kill", "-TERM", str(terminal.program_pids()[0])], check=True)
        status, _ = terminal.exit_status(5)
        self.assertEqual(status, 1)


class SectionFaultTest(SeveralServersCase):
    def test_an_unusable_section_header_ends_start_up(self):
        folder = self.folder()
        cases = (
            ("a name used twice", [("lab", ["server http://a"]), ("lab", ["server http://b"])],
             'orvek.conf:%d: a second server named "lab"'),
        )
        for case, sections, message in cases:
            with self.subTest(case):
                conf = servers_config(folder, sections)
                with open(conf) as f:
                    second = [i for i, line in enumerate(f, 1) if line.startswith("[server")][1]
                run = subprocess.run([self.binary, "-c", conf], capture_output=True, text=True, timeout=10,
                                     cwd=folder)
                self.assertEqual(run.returncode, 2, run)
                self.assertIn(message % second, run.stdout)


if __name__ == "__main__":
    unittest.main()
