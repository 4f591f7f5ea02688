#!/usr/bin/python3
"""Writes an exclude file (one entry per newline-ended line) for the frame
benchmark.

Most entries name hosts and services in the page's style that the page does
not have: host names with a five-digit serial (the page's have four) and
service names longer than any service on the page, so none of them hides
anything. With --page, a few entries are taken from that page instead (two
host names and one service name), placed at seeded random positions, so the
report also has something to leave out. No entry is empty: an empty line
would hide every service.

The output depends only on the options (and the page), --seed included.
"""

import argparse
import random
import re
import sys

import make_page

EXCLUDE_READ_LIMIT = 4 << 20
OTHER_CHECKS = ("Printer Toner", "UPS Battery", "Fan Speed", "Link State", "VPN Tunnel", "Cron",
                "Log Errors", "Queue Depth", "Heap Usage", "GC Pauses", "Certificate", "Inode Usage",
                "Power Supply", "Uptime", "Packet Loss", "Latency", "Open Files", "Threads")
HOST_FIELD = re.compile(r"<postfield name='host' value='([^']*)'/>")
SERVICE_FIELD = re.compile(r"<postfield name='service' value='([^']*)'/>")
SERVICE_CELL = re.compile(r"CLASS='([^']*)'><A HREF='extinfo")


def page_names(path):
    """The host and service names found on a page, each kind in page order."""
    with open(path, encoding="ascii", errors="replace") as page:
        text = page.read()
    hosts = list(dict.fromkeys(HOST_FIELD.findall(text)))
    services = list(dict.fromkeys(SERVICE_FIELD.findall(text) + SERVICE_CELL.findall(text)))
    return hosts, services


def absent_entries(rng, count, hosts, services):
    """count distinct entries that hide no host and no service of the page."""
    host_set = set(hosts)
    lowered_services = [s.lower() for s in services]
    seen = set()
    entries = []
    serial = 0
    while len(entries) < count:
        serial += 1
        if serial % 2:
            entry = f"{rng.choice(make_page.HOST_STEMS)}{serial:05d}-{rng.choice(make_page.SITES)}"
        else:
            base = rng.choice(make_page.SERVICE_NAMES + OTHER_CHECKS)
            entry = f"{base} {rng.choice(make_page.WORDS)}{serial % 1000}"
        lowered = entry.lower()
        if entry in seen or entry in host_set or any(lowered in s for s in lowered_services):
            continue
        seen.add(entry)
        entries.append(entry)
    return entries


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--entries", type=int, required=True, help="number of entries")
    parser.add_argument("--page", help="page to take a few matching entries from")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("-o", "--output", help="file to write (default: standard output)")
    args = parser.parse_args()
    if args.entries < 0:
        parser.error("--entries must not be negative")

    rng = random.Random(args.seed)
    hosts, services = page_names(args.page) if args.page else ([], [])
    matching = []
    if hosts and services and args.entries >= 3:
        matching = rng.sample(hosts, min(2, len(hosts))) + [rng.choice(services)]
    entries = absent_entries(rng, args.entries - len(matching), hosts, services)
    for entry in matching:
        entries.insert(rng.randrange(len(entries) + 1), entry)

    data = "".join(entry + "\n" for entry in entries).encode("ascii")
    if len(data) > EXCLUDE_READ_LIMIT:
        raise SystemExit(f"make_exclude: {len(data)} bytes, over the {EXCLUDE_READ_LIMIT}-byte read limit")
    if args.output:
        with open(args.output, "wb") as out:
            out.write(data)
    else:
        sys.stdout.buffer.write(data)
    print(f"make_exclude: bytes={len(data)} entries={len(entries)} matching={len(matching)}", file=sys.stderr)


if __name__ == "__main__":
    main()
