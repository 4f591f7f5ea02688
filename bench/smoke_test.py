#!/usr/bin/python3
"""Smoke checks for the page generator and the frame benchmark: pages in the
line forms the report reads, and a bench that loads them, runs and reports
in the expected form. Timing is never checked here.

The bench binary comes from $ORVEK_FRAME_BENCH, the masking bench from
$ORVEK_MASK_BENCH (ctest sets both).
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "tests", "e2e")]
import make_page  # noqa: E402
from support import RECEIVE_LIMIT  # noqa: E402

BENCH = os.environ.get("ORVEK_FRAME_BENCH", os.path.join(HERE, "..", "build", "bench", "orvek-frame-bench"))
MASK_BENCH = os.environ.get("ORVEK_MASK_BENCH", os.path.join(HERE, "..", "build", "bench", "orvek-mask-bench"))
RESULT_LINE = re.compile(r"frame_ms=(\d+\.\d{3}) lines=(\d+)\n")
EXCLUDE_RESULT_LINE = re.compile(r"frame_ms=(\d+\.\d{3}) lines=(\d+) entries=(\d+) load_ms=(\d+\.\d{3})\n")
SERVERS_RESULT_LINE = re.compile(r"frame_ms=(\d+\.\d{3}) lines=(\d+) servers=(\d+) compose_ms=(\d+\.\d{3})\n")

# The report's patterns, in Python's syntax. Greedy groups find the same text
# as POSIX leftmost-longest matching does for these patterns.
HOST_FIELD = re.compile(r"name='host' value='(.*)'/>")
HOST_BEFORE_SERVICE = re.compile(r"name='host' value='(.*)'/><postfield")
SERVICE_POSTFIELD = re.compile(r"<postfield name='service' value='(.*)'/>")
SERVICE_CELL = re.compile(
    r"<TD ALIGN=LEFT valign=center CLASS='(.*)'><A HREF='extinfo\.cgi\?type=2&host=(.*)&service=(.*)'>(.*)</A></TD>")
TOKENS = ("wrn", "cri", "unk", "dwn", "unr")


def generate(*options):
    result = subprocess.run([sys.executable, os.path.join(HERE, "make_page.py"), *options],
                            capture_output=True, check=True)
    counts = dict(re.findall(r"(\w+)=(\d+)", result.stderr.decode()))
    return result.stdout, {key: int(value) for key, value in counts.items()}


def problem_lines(page):
    lines = page.decode("ascii").splitlines(keepends=True)
    return [line for line in lines if any(token in line.lower() for token in TOKENS)]


class PageGeneratorTest(unittest.TestCase):
    def test_line_forms_yield_their_names(self):
        rng = make_page.random.Random(0)
        long_host = make_page.long_name(rng)
        long_service = make_page.long_name(rng)
        cases = [
            ("postfield", "web12", "HTTP"),
            ("postfield", "web1", "Root Partition"),
            ("postfield", long_host, long_service),
            ("cell", "db1-fra", "Disk /var"),
            ("cell", long_host, long_service),
        ]
        for form, host, service in cases:
            with self.subTest(form=form, host=host[:20], service=service[:20]):
                for token in ("WRN", "CRI", "UNK"):
                    line = make_page.service_line(rng, host, service, token, form)
                    self.assertTrue(line.endswith("\n"))
                    self.assertEqual(line.count("\n"), 1)
                    self.assertIn(token, line)
                    self.assertEqual(HOST_BEFORE_SERVICE.search(line).group(1), host)
                    self.assertIn(f"value='{host}'/>", line)
                    if form == "postfield":
                        self.assertEqual(SERVICE_POSTFIELD.search(line).group(1), service)
                    else:
                        self.assertEqual(SERVICE_CELL.search(line).group(1), service)
                for token in ("DWN", "UNR"):
                    line = make_page.host_line(rng, host, token)
                    self.assertEqual(HOST_FIELD.search(line).group(1), host)
                    self.assertIn(token, line)

    def test_pages_hold_only_the_generated_problem_lines(self):
        variants = [
            ("--form", "postfield"),
            ("--form", "cell"),
            ("--nested", "--unreachable", "0.2"),
            ("--long-names", "--form", "cell"),
        ]
        for variant in variants:
            with self.subTest(variant=variant):
                page, counts = generate("--hosts", "40", "--services", "4", "--down", "0.25", *variant)
                lines = problem_lines(page)
                self.assertEqual(len(lines), counts["problem_lines"])
                self.assertEqual(counts["bytes"], len(page))
                self.assertTrue(page.startswith(b"<?xml"))
                self.assertTrue(page.endswith(b"</wml>\n"))
                self.assertTrue(0 < sum(1 for line in lines if "DWN" in line) < 25)
                # Every service line names a host and a service in its form.
                service = SERVICE_CELL if "cell" in variant else SERVICE_POSTFIELD
                for line in lines:
                    if "DWN" in line or "UNR" in line:
                        self.assertRegex(line, HOST_FIELD)
                    else:
                        self.assertRegex(line, HOST_BEFORE_SERVICE)
                        self.assertRegex(line, service)

    def test_nested_names_lie_inside_others(self):
        page, _ = generate("--hosts", "30", "--services", "1", "--nested")
        hosts = {HOST_BEFORE_SERVICE.search(line).group(1) for line in problem_lines(page)
                 if HOST_BEFORE_SERVICE.search(line)}
        inside = [h for h in hosts if any(h != other and h in other for other in hosts)]
        self.assertGreaterEqual(len(inside), len(hosts) // 2)

    def test_groups_are_scattered(self):
        page, _ = generate("--hosts", "50", "--services", "4", "--down", "0")
        hosts = [HOST_BEFORE_SERVICE.search(line).group(1) for line in problem_lines(page)]
        runs = 1 + sum(1 for a, b in zip(hosts, hosts[1:]) if a != b)
        self.assertGreater(runs, 50)

    def test_same_seed_same_page(self):
        first, _ = generate("--hosts", "20", "--seed", "7")
        again, _ = generate("--hosts", "20", "--seed", "7")
        other, _ = generate("--hosts", "20", "--seed", "8")
        self.assertEqual(first, again)
        self.assertNotEqual(first, other)

    def test_target_bytes_ends_just_under_the_target(self):
        for target in (5000, RECEIVE_LIMIT):
            with self.subTest(target=target):
                page, counts = generate("--target-bytes", str(target))
                self.assertLess(len(page), target)
                self.assertGreater(len(page), target - 300)
                self.assertEqual(len(problem_lines(page)), counts["problem_lines"])


@unittest.skipUnless(os.access(BENCH, os.X_OK), f"no bench binary at {BENCH}")
class FrameBenchTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def write(self, name, data):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as out:
            out.write(data)
        return path

    def bench(self, *arguments):
        return subprocess.run([BENCH, *arguments], capture_output=True, timeout=240)

    def test_reports_median_and_selected_lines(self):
        cases = [
            ("postfield", ["--newcgi"]),
            ("cell", []),
            ("postfield", []),  # every service line misses: "No match!" must not leak out
            ("postfield", ["--newcgi", "--size", "50x200", "--repeat", "3"]),
            ("postfield", ["--newcgi", "--notes", "--size", "10x40"]),  # the last row's notes, labels hidden
        ]
        for form, options in cases:
            with self.subTest(form=form, options=options):
                page, counts = generate("--hosts", "30", "--services", "3", "--form", form, "--nested")
                path = self.write(f"{form}.wml", page)
                result = self.bench(path, "--repeat", "1", *options)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, b"")
                match = RESULT_LINE.fullmatch(result.stderr.decode())
                self.assertIsNotNone(match, result.stderr)
                self.assertEqual(int(match.group(2)), counts["problem_lines"])

    def test_exclude_file(self):
        page, counts = generate("--hosts", "30", "--services", "3")
        page_path = self.write("page.wml", page)
        listing = subprocess.run([sys.executable, os.path.join(HERE, "make_exclude.py"), "--entries", "50",
                                  "--page", page_path], capture_output=True, check=True)
        entries = listing.stdout.decode().split("\n")
        self.assertEqual(len(entries), 51)
        self.assertEqual(entries[-1], "")
        self.assertNotIn("", entries[:-1])
        exclude_path = self.write("exclude.txt", listing.stdout)
        result = self.bench(page_path, "--newcgi", "--repeat", "1", "--exclude", exclude_path)
        self.assertEqual(result.returncode, 0, result.stderr)
        match = EXCLUDE_RESULT_LINE.fullmatch(result.stderr.decode())
        self.assertIsNotNone(match, result.stderr)
        self.assertEqual(int(match.group(2)), counts["problem_lines"])
        self.assertEqual(int(match.group(3)), 50)
        # A list the bench cannot read would time an empty one: refused.
        for unreadable in (os.path.join(self.folder.name, "missing.txt"), self.folder.name):
            with self.subTest(exclude=unreadable):
                result = self.bench(page_path, "--repeat", "1", "--exclude", unreadable)
                self.assertEqual(result.returncode, 1)
                self.assertNotIn(b"frame_ms=", result.stderr)

    def test_several_servers(self):
        page, counts = generate("--hosts", "30", "--services", "3", "--down", "0.2")
        path = self.write("page.wml", page)
        for options in (["--servers", "3"], ["--servers", "10", "--notes", "--size", "10x40"]):
            with self.subTest(options=options):
                result = self.bench(path, "--newcgi", "--repeat", "1", *options)
                self.assertEqual(result.returncode, 0, result.stderr)
                match = SERVERS_RESULT_LINE.fullmatch(result.stderr.decode())
                self.assertIsNotNone(match, result.stderr)
                self.assertEqual(int(match.group(2)), counts["problem_lines"])
                self.assertEqual(int(match.group(3)), int(options[1]))
        # One server: the line of today.
        result = self.bench(path, "--newcgi", "--repeat", "1", "--servers", "1")
        self.assertIsNotNone(RESULT_LINE.fullmatch(result.stderr.decode()), result.stderr)

    def test_receive_bound(self):
        # The fetch takes a body of exactly the limit and refuses one byte more.
        at_limit = self.write("at-limit.wml", b"x" * RECEIVE_LIMIT)
        over = self.write("over.wml", b"x" * (RECEIVE_LIMIT + 1))
        result = self.bench(at_limit, "--repeat", "1")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertRegex(result.stderr.decode(), r"^frame_ms=\d+\.\d{3} lines=0\n$")
        result = self.bench(over, "--repeat", "1")
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"limit", result.stderr)
        self.assertNotIn(b"frame_ms=", result.stderr)

    def test_bad_arguments(self):
        page = self.write("page.wml", b"")
        for arguments in ([], [page, "--repeat", "0"], [page, "--size", "24"], [page, "--frobnicate"],
                          [page, "--exclude"], [page, "--servers", "0"], [page, "--servers"],
                          [os.path.join(self.folder.name, "missing.wml")], [self.folder.name]):
            with self.subTest(arguments=arguments):
                result = self.bench(*arguments)
                self.assertNotEqual(result.returncode, 0)
                self.assertNotIn(b"frame_ms=", result.stderr)


@unittest.skipUnless(os.access(MASK_BENCH, os.X_OK), f"no masking bench at {MASK_BENCH}")
class MaskBenchTest(unittest.TestCase):
    def test_every_shape_is_measured(self):
        result = subprocess.run([MASK_BENCH, "--repeat", "1"], capture_output=True, timeout=240)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.decode().splitlines()
        self.assertEqual(len(lines), 6, lines)
        for line in lines:
            self.assertRegex(line, r"^[^:]+: forms=\d+ build_ms=\d+\.\d mask_ms=\d+\.\d excerpt_ms=\d+\.\d$")
        self.assertNotEqual(subprocess.run([MASK_BENCH, "--frobnicate"], capture_output=True).returncode, 0)


if __name__ == "__main__":
    unittest.main()
