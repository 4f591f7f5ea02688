#!/usr/bin/python3
"""Writes a page built to hurt the report, just under the fetch's size bound,
for the frame benchmark: each shape puts the most work on one step of the
report for the bytes it spends.

Shapes (--shape):
  long-down       one DOWN line whose host name is 1.65 MB, beside 1,680
                  service lines whose hosts have 1, 2, ... 1,680 characters,
                  each cut from the DOWN name (postfield form, --newcgi)
  long-down-same  the same with every name made of one letter repeated, so
                  every host lies inside every longer one at every place
  extra-pairs     2,200 service lines, each with 130 extra "value=''/>" pairs
                  after its fields (postfield form, --newcgi)
  nested-keys     service lines whose hosts hold each other's keys:
                  x, value='x'/>, value='value='x'/>'/>, ... every line holds
                  the keys of all shorter hosts (postfield form, --newcgi)
  open-quotes     1,300 rows of 200 cells whose tags open a quote that never
                  closes
  open-rows       lines that start a row ("<tr><td>") and never end it, each
                  with a status token and many cells
  many-down       DOWN lines with host names of 200 characters, beside as
                  many service lines whose hosts are cut from them
                  (postfield form, --newcgi)
  cell-tangle     table-cell form (without --newcgi) with every line holding
                  many "'>", "&service=" and "</A></TD>" pieces
  thue-morse      128 hosts of 13 Thue-Morse blocks of 1,024 letters ("a"
                  and "b", a block or its complement), the first six blocks
                  alike, beside a DOWN name of the same blocks in upper case:
                  a case-folded polynomial hash modulo 2^64 gives every host
                  the same value, and every window of the DOWN name that
                  starts at a block too (postfield form, --newcgi)
  growing-hosts   service lines whose hosts have 1, 2, ... k characters,
                  beside one DOWN name just short enough that looking up its
                  windows per host length (k lengths times its length) was
                  still taken for cheaper than an automaton over the hosts
                  (postfield form, --newcgi)
  one-row         one row as the status CGI writes it, filling the page, its
                  names built from the row's own fixed text: the service
                  holds 27,000 token places with the core after them, the
                  host the text that follows the host's value, so the row
                  has that many ways to be split, to be tried whole

  joined-rows     rows as the status CGI writes them, about 16,000, all on
                  one line as a page minified on its way has them, every
                  other pair across "<br/>": the line cut where rows meet,
                  each piece read alone
  joined-ambiguous  rows on one line whose services hold the very place
                  where two rows meet (so every row is cut into four pieces
                  that fit no reading alone) beside token places with the
                  core after them, and whose hosts hold the text that follows
                  a host's value: the whole line one run of pieces, every
                  way of joining two to four of them back tried

The output depends only on the options.
"""

import argparse
import random
import sys

LIMIT = 3510720

HEADER = (
    '<?xml version="1.0"?>\n'
    "<wml>\n"
    "<card id='card1' title='Problems'>\n"
    "<p align='left' mode='nowrap'>\n"
)
FOOTER = "</p>\n</card>\n</wml>\n"
# Letters that spell no status token and no "#comments".
SAFE = "abeghijlmopqstvxyz"


def safe_name(rng, length):
    return "".join(rng.choice(SAFE) for _ in range(length))


def down_line(host):
    return (f"<anchor>DWN <go href='statuswml.cgi?style=hostinfo' method='post'>"
            f"<postfield name='host' value='{host}'/></go>x</anchor><br/>\n")


def service_line(host, service, extra=""):
    return (f"<anchor>WRN <go href='statuswml.cgi?style=serviceinfo' method='post'>"
            f"<postfield name='host' value='{host}'/><postfield name='service' value='{service}'/>"
            f"{extra}</go>x</anchor><br/>\n")


def long_down(rng, same):
    hosts = 1680
    down = "a" * 1650000 if same else safe_name(rng, 1650000)
    lines = [down_line(down)]
    for length in range(1, hosts + 1):
        if same:
            host = "a" * length
        else:
            start = rng.randrange(len(down) - length)
            # Every other host lies inside the DOWN name, the rest nowhere.
            host = down[start:start + length] if length % 2 else safe_name(rng, length - 1) + "n"
        lines.append(service_line(host, "Load"))
    return lines


def extra_pairs(rng):
    extra = "value=''/>" * 130
    return [service_line(f"host{k:05d}", "Load", extra) for k in range(2200)]


def nested_keys(rng):
    lines = []
    host = "x"
    used = len(HEADER) + len(FOOTER)
    while True:
        line = service_line(host, "Load")
        # Each host once per line, the longest last, so the page fills up.
        if used + len(line) * 3 > LIMIT:
            break
        for _ in range(3):
            lines.append(line)
            used += len(line)
        host = f"value='{host}'/>"
    return lines


def open_quotes(rng):
    cell = "<td '>a</td>"
    return [f"<tr><td>WRN</td>{cell * 200}<td>host{k}/Load</td></tr>\n" for k in range(1300)]


def open_rows(rng):
    cells = "<td>ab</td>" * 250
    return [f"<tr><td>WRN</td>{cells}<td>host{k}/Load</td>\n" for k in range(1200)]


def many_down(rng):
    lines, services = [], []
    for k in range(6000):
        name = safe_name(rng, 200)
        lines.append(down_line(name))
        start = rng.randrange(150)
        services.append(service_line(name[start:start + 40], "Load"))
    return lines + services


def cell_tangle(rng):
    tangle = "'>&service=</A></TD>" * 60
    lines = []
    for k in range(2400):
        lines.append(f"<postfield name='host' value='host{k}'/><postfield name='type' value='2'/>"
                     f"<TD ALIGN=LEFT valign=center CLASS='Load'><A HREF='extinfo.cgi?type=2&host=host{k}"
                     f"&service=Load'>{tangle}Load</A></TD><TD>WRN</TD>\n")
    return lines


def thue_morse_block(order, first, second):
    """The Thue-Morse word of 2^order letters over first and second."""
    return "".join(second if bin(k).count("1") % 2 else first for k in range(2 ** order))


def thue_morse(rng):
    # A block and its complement differ, under h = h * B + c modulo 2^64 for
    # any odd B, by a multiple of prod(B^(2^i) - 1), i < 10: of 2^64 for the
    # base the names were hashed with. So any names of as many blocks agree.
    alike, varying = 6, 7
    blocks = (thue_morse_block(10, "a", "b"), thue_morse_block(10, "b", "a"))
    hosts = []
    for k in range(2 ** varying):
        bits = [(k >> i) & 1 for i in range(varying)]
        hosts.append(blocks[0] * alike + "".join(blocks[b] for b in bits))
    services = [service_line(host, "Load") for host in hosts]
    used = len(HEADER) + len(FOOTER) + sum(map(len, services)) + len(down_line(""))
    # Every window of the hosts' length at a block boundary compares with
    # every host, over the six blocks alike at least.
    down = blocks[0].upper() * ((LIMIT - used) // len(blocks[0]))
    return [down_line(down)] + services


def growing_hosts(rng):
    # The largest k for which hosts of 1 .. k characters and the longest DOWN
    # name within 8 * (hosts' bytes + its own) / k still fit the page.
    base = len(HEADER) + len(FOOTER) + len(down_line(""))
    best = None
    for k in range(9, 4000):
        host_bytes = k * (k + 1) // 2
        down = 8 * host_bytes // (k - 8)
        used = base + down + sum(len(service_line("", "Load")) + n for n in range(1, k + 1))
        if used > LIMIT:
            break
        best = (k, down)
    k, length = best
    down = safe_name(rng, length)
    lines = [down_line(down)]
    for n in range(1, k + 1):
        # Every other host lies inside the DOWN name, the rest nowhere.
        if n % 2 and n <= length:
            start = rng.randrange(length - n + 1)
            host = down[start:start + n]
        else:
            host = safe_name(rng, n - 1) + "n"
        lines.append(service_line(host, "Load"))
    return lines


CORE = "<go href='statuswml.cgi' method='post'><postfield name='host' value='"


def one_row(rng):
    budget = LIMIT - len(HEADER) - len(FOOTER) - 1
    service_piece = "'>CRI" + CORE + "a"
    host_piece = "'/><postfield name='service' value='" + "'/></go></anchor></td><td>/"
    fixed = len(f"<tr><td><anchor title=''>CRI{CORE}'/><postfield name='service' value=''/>"
                "</go></anchor></td><td>/</td></tr>")
    services = (budget * 3 // 5) // 3 // len(service_piece)
    service = service_piece * services
    hosts = (budget - fixed - 3 * len(service)) // 2 // len(host_piece)
    host = host_piece * hosts
    row = (f"<tr><td><anchor title='{service}'>CRI{CORE}{host}'/><postfield name='service' value='{service}'/>"
           f"</go></anchor></td><td>{host}/{service}</td></tr>\n")
    assert len(row) <= budget + 1
    return [row]


MEETING = "</td></tr><tr><td><anchor title='"


def cgi_row(token, host, service=None):
    title = host if service is None else service
    service_part = "" if service is None else f"<postfield name='service' value='{service}'/>"
    names = host if service is None else f"{host}/{service}"
    return (f"<tr><td><anchor title='{title}'>{token}{CORE}{host}'/>{service_part}</go></anchor></td>"
            f"<td>{names}</td></tr>")


def joined_line(rows):
    """Rows on one line until the page is full, every other pair across a break."""
    budget = LIMIT - len(HEADER) - len(FOOTER) - 1
    parts, used = [], 0
    for k, text in enumerate(rows):
        piece = ("<br/>" if k % 2 else "") + text
        if used + len(piece) > budget:
            break
        parts.append(piece)
        used += len(piece)
    return ["".join(parts) + "\n"]


def joined_rows(rng):
    def rows():
        tokens = ("WRN", "CRI", "UNK")
        for k in range(10 ** 6):
            host = f"web{k // 6:05d}-{safe_name(rng, 6)}"
            if k % 6 == 0:
                yield cgi_row("DWN" if k % 60 == 0 else "UNR", host) if k % 30 == 0 else cgi_row("WRN", host, "Ping")
            else:
                yield cgi_row(tokens[k % 3], host, f"Service {safe_name(rng, 8)} {k % 6}")
    return joined_line(rows())


def joined_ambiguous(rng):
    def rows():
        for k in range(10 ** 6):
            service = f"a{k}'>CRI{CORE}b{MEETING}c'>WRN{CORE}"
            host = f"h{k}'/><postfield name='service' value='a'/></go></anchor></td><td>/"
            yield cgi_row("CRI", host, service)
    return joined_line(rows())


SHAPES = {
    "joined-rows": joined_rows,
    "joined-ambiguous": joined_ambiguous,
    "one-row": one_row,
    "long-down": lambda rng: long_down(rng, False),
    "long-down-same": lambda rng: long_down(rng, True),
    "extra-pairs": extra_pairs,
    "nested-keys": nested_keys,
    "open-quotes": open_quotes,
    "open-rows": open_rows,
    "many-down": many_down,
    "cell-tangle": cell_tangle,
    "thue-morse": thue_morse,
    "growing-hosts": growing_hosts,
}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--shape", choices=sorted(SHAPES), required=True)
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--output", "-o", help="output file (default standard output)")
    args = parser.parse_args(argv)
    rng = random.Random(args.seed)
    lines = SHAPES[args.shape](rng)
    # Lines past the bound are left out, so every shape stays a page the
    # fetch accepts.
    page, used = [HEADER], len(HEADER) + len(FOOTER)
    for line in lines:
        if used + len(line) > LIMIT:
            break
        page.append(line)
        used += len(line)
    page.append(FOOTER)
    data = "".join(page).encode("ascii")
    if args.output:
        with open(args.output, "wb") as out:
            out.write(data)
    else:
        sys.stdout.buffer.write(data)
    print(f"make_hostile_page: bytes={len(data)} lines={len(page) - 2}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
