"""The screen of several servers, from real servers in a real terminal:
nothing of any server under the last row's notes; a header never ends a
column and a server's lines going on in the next column stand under its
header again; failing servers first, standing out on the red screen; names
measured in cells; reasons never cut inside their time; every server
failing in words true of each."""

import re
import unittest

from statusbed import status_page
from support import BANNER, ONE_PROBLEM_PAGE, E2ETestCase, dead_url
from terminal import BLACK, BLUE, GREEN, RED, WHITE
from test_several_servers import HEADER, FAILING, SeveralServersCase, colours_at

# A failing server's header, and its name in -u's last row, on the red screen.
FAILING_ON_RED = (BLACK, WHITE, True)
CLOCK = r"\d\d:\d\d:\d\d"

# prod's groups fill its column from row 0 (its header) to row 22: seven
# hosts with a problem each (three rows a group), then an UNREACHABLE host on
# row 22. The next header would stand on row 23, the last row.
FILLING_PAGE = status_page([("critical", "h%d" % n, "Load") for n in range(1, 8)] + [("unreachable", "gw")])
LAB_PAGE = status_page([("critical", "web9", "Disk")])


def bar_cells(screen, row, start, end):
    return {(screen[row][c].fg, screen[row][c].bg, screen[row][c].bold) for c in range(start, end)}


class ServersScreenCase(SeveralServersCase):
    def finish(self, terminal):
        """Ends one of a test's monitors once its screen is checked: it must
        still be running."""
        self.assertStillRunning(terminal)
        terminal.close()


class ColumnsAndNotesTest(ServersScreenCase):
    def test_the_second_header_opens_the_next_column_with_and_without_notes(self):
        prod, lab = self.bed(), self.bed()
        prod.set_page(FILLING_PAGE)
        lab.set_page(LAB_PAGE)
        sections = [("prod", ["server " + prod.base_url]), ("lab", ["server " + lab.base_url])]
        for options in ((), ("-u",), ("-m",), ("-u", "-m")):
            with self.subTest(" ".join(options) or "no options"):
                terminal = self.watch(sections, *options, "-s", "1")
                screen = self.wait_screen(terminal, lambda s: s.contains("web9") and s.contains(" gw "),
                                          "both servers' problems")
                self.assertEqual(screen.find(" prod"), (0, 0), screen.dump())
                self.assertEqual(screen.line(22)[:4], " gw ", screen.dump())
                # lab's header opens the next column, its first line under it.
                self.assertEqual(screen.line(0)[50:54], " lab", screen.dump())
                self.assertEqual(colours_at(screen, " lab"), {HEADER}, screen.dump())
                self.assertEqual(screen.line(1)[50:56], " web9 ", screen.dump())
                # The last row: the notes alone, never a header or a problem.
                last = screen.line(23)
                if "-u" in options:
                    self.assertRegex(last, r"^ prod  lab  +%s $" % CLOCK, screen.dump())
                    self.assertEqual((screen[23][1].fg, screen[23][1].bg), (BLACK, GREEN))
                else:
                    self.assertEqual(last.strip(), "", screen.dump())
                self.finish(terminal)

    def test_a_group_going_on_stands_under_its_servers_header_again(self):
        prod, lab = self.bed(), self.bed()
        prod.set_page(status_page([("critical", "web1", "s%02d" % n) for n in range(1, 31)]))
        lab.set_page(LAB_PAGE)
        terminal = self.watch([("prod", ["server " + prod.base_url]), ("lab", ["server " + lab.base_url])],
                              "-u", "-s", "1")
        screen = self.wait_screen(terminal, lambda s: s.contains("s30") and s.contains("web9"), "every service")
        # The run of prod's services reaches the foot above the names row,
        # then goes on at the top of the next column under prod's header and
        # web1's label again.
        self.assertEqual(screen.line(21)[2:22].split(), ["CRITICAL", "s20"], screen.dump())
        self.assertEqual(screen.line(0)[50:55], " prod", screen.dump())
        self.assertEqual(bar_cells(screen, 0, 50, 80), {HEADER}, screen.dump())
        self.assertEqual(screen.line(1)[50:56], " web1 ", screen.dump())
        self.assertEqual((screen[1][50].fg, screen[1][50].bg), (BLACK, GREEN), screen.dump())
        self.assertEqual(screen.line(2)[52:66].split(), ["CRITICAL", "s21"], screen.dump())
        self.assertRegex(screen.line(23), r"^ prod  lab  +%s $" % CLOCK, screen.dump())


class FailingServersTest(ServersScreenCase):
    def test_a_failing_server_after_a_flood_is_in_sight_and_counted(self):
        flood = self.bed()
        flood.set_page(status_page([("critical", "host%02d" % n, "Load") for n in range(60)]))
        sections = [("prod", ["server " + flood.base_url]), ("gone", ["server " + dead_url()])]
        words = " gone: No connection to server! "
        for options in (("-m",), ("-u", "-m")):
            with self.subTest(" ".join(options)):
                terminal = self.watch(sections, *options, "-s", "1")
                screen = self.wait_screen(terminal, lambda s: s.contains(words) and s.contains("host00"),
                                          "the failing header and the flood")
                # Before any server's problems, at the top left.
                self.assertEqual(screen.find(words), (0, 0), screen.dump())
                self.assertEqual(bar_cells(screen, 0, 0, 50), {FAILING}, screen.dump())
                prod_row = 2 if "-u" in options else 1
                if "-u" in options:
                    self.assertRegex(screen.line(1)[:50], r"^ connection refused, since %s +$" % CLOCK)
                self.assertTrue(screen.line(prod_row).startswith(" prod "), screen.dump())
                # The flood runs past the right edge: -m counts it.
                self.assertRegex(screen.line(23), r" \+\d+ hidden $", screen.dump())
                self.finish(terminal)

    def test_on_the_red_screen_a_failing_header_and_name_stand_out(self):
        prod = self.bed()
        prod.set_page(status_page([("down", "db1"), ("critical", "web1", "Load")]))
        terminal = self.watch([("prod", ["server " + prod.base_url]), ("gone", ["server " + dead_url()])],
                              "-u", "-s", "1")
        words = " gone: No connection to server! "
        screen = self.wait_screen(terminal, lambda s: s.contains(words) and s.contains("db1"), "both servers")
        self.assertEqual(screen[10][70].bg, RED, screen.dump())
        self.assertEqual(screen.find(words), (0, 0), screen.dump())
        self.assertEqual(bar_cells(screen, 0, 0, 50), {FAILING_ON_RED}, screen.dump())
        self.assertEqual(colours_at(screen, " prod"), {HEADER}, screen.dump())
        last = screen.line(23)
        self.assertTrue(last.startswith(" prod  gone "), screen.dump())
        self.assertEqual(bar_cells(screen, 23, 6, 12), {FAILING_ON_RED}, screen.dump())
        self.assertEqual(bar_cells(screen, 23, 0, 6), {(BLACK, GREEN, False)}, screen.dump())

    def test_a_reason_at_fifty_cells_keeps_its_time(self):
        good, old = self.bed(), self.bed()
        good.set_page(ONE_PROBLEM_PAGE)
        old.set_page(ONE_PROBLEM_PAGE)
        old.set_data_age(age=10 * 60)
        terminal = self.watch([("prod", ["server " + good.base_url]),
                               ("old", ["server " + old.base_url, "maxage 5m"])], "-u", "-s", "1")
        words = " old: Server data is 10 min old! "
        screen = self.wait_screen(terminal, lambda s: s.contains(words) and s.contains("web1"), "the old header")
        row, column = screen.find(words)
        self.assertEqual((row, column), (0, 0), screen.dump())
        # "status data older than maxage 300 s, since HH:MM:SS" takes 51
        # cells, the column leaves 49: the cause is shortened, not the time.
        self.assertRegex(screen.line(1)[:50], r"^ status data older than maxage\.\.\., since %s +$" % CLOCK,
                         screen.dump())


class NamesInCellsTest(ServersScreenCase):
    def test_wide_server_names_with_u(self):
        good = self.bed()
        good.set_page(ONE_PROBLEM_PAGE)
        terminal = self.watch([("東京", ["server " + good.base_url]), ("大阪", ["server " + dead_url()]),
                               ("lab", ["server " + good.base_url])], "-u", "-s", "1")
        words = " 大阪: No connection to server! "
        answered = {(BLACK, GREEN, False)}
        # Both listing servers answered: their names in the last row are green.
        screen = self.wait_screen(terminal, lambda s: s.contains(words) and bar_cells(s, 23, 0, 6) == answered
                                  and bar_cells(s, 23, 12, 17) == answered, "every server's answer")
        # Each name in the last row after the cells of the one before.
        self.assertTrue(screen.line(23).startswith(" 東京  大阪  lab "), screen.dump())
        self.assertEqual(bar_cells(screen, 23, 0, 6), {(BLACK, GREEN, False)}, screen.dump())
        self.assertEqual(bar_cells(screen, 23, 6, 12), {(WHITE, RED, False)}, screen.dump())
        self.assertEqual(bar_cells(screen, 23, 12, 17), {(BLACK, GREEN, False)}, screen.dump())
        # Headers are bars of 50 cells, however wide their characters.
        self.assertEqual(screen.find(words), (0, 0), screen.dump())
        self.assertEqual(bar_cells(screen, 0, 0, 50), {FAILING}, screen.dump())
        self.assertNotEqual(screen[0][50].bg, RED, screen.dump())
        tokyo = screen.find(" 東京")
        self.assertEqual(tokyo[1], 0, screen.dump())
        self.assertEqual(bar_cells(screen, tokyo[0], 0, 50), {HEADER}, screen.dump())
        self.assertNotEqual(screen[tokyo[0]][50].bg, BLUE, screen.dump())


class EveryServerFailingTest(ServersScreenCase):
    def test_different_data_ages_each_in_their_own_words(self):
        prod, lab = self.bed(), self.bed()
        for bed, minutes in ((prod, 9), (lab, 69)):
            bed.set_page(ONE_PROBLEM_PAGE)
            bed.set_data_age(age=minutes * 60)
        sections = [("prod", ["server " + prod.base_url, "maxage 5m"]),
                    ("lab", ["server " + lab.base_url, "maxage 5m"])]
        lines = [" prod: Server data is 9 min old! ", " lab: Server data is 69 min old! "]
        for options in ((), ("-u",)):
            with self.subTest(" ".join(options) or "no options"):
                terminal = self.watch(sections, *options, "-s", "1")
                screen = self.wait_screen(terminal, lambda s: all(s.contains(line) for line in lines),
                                          "each server's words")
                self.assertFalse(screen.contains(BANNER), screen.dump())
                step = 2 if options else 1
                for n, line in enumerate(lines):
                    self.assertEqual(screen.find(line), (12 + n * step, (80 - len(line)) // 2), screen.dump())
                    self.assertEqual(colours_at(screen, line), {(WHITE, RED, False)}, screen.dump())
                    if options:
                        reason = screen.line(13 + n * step).strip()
                        self.assertRegex(reason, r"^status data older than maxage 300 s, since %s$" % CLOCK,
                                         screen.dump())
                self.finish(terminal)


if __name__ == "__main__":
    unittest.main()
