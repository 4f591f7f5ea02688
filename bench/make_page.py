#!/usr/bin/python3
"""Writes a synthetic page of unhandled problems, as the monitoring server's
status CGI would send it, for the frame benchmark.

Every problem stands on a line of its own and carries one status token:
DWN / UNR lines hold the host postfield only; service lines hold the host
postfield directly followed by another postfield and, depending on --form,
either the service postfield (read when newcgi is "true") or the table cell
that links to extinfo.cgi (read otherwise). With --form rows every problem is
a table row as the status CGI writes it (token cell, postfield elements, name
cell), read by its cells whatever newcgi says. Everything else on the page (the
WML header, the card, section titles, the footer) is free of status tokens.

The output depends only on the options, --seed included.
"""

import argparse
import random
import sys

TOKENS = ("wrn", "cri", "unk", "dwn", "unr")
SERVICE_STATES = (("WRN", 0.5), ("CRI", 0.35), ("UNK", 0.15))

HEADER = (
    '<?xml version="1.0"?>\n'
    '<!DOCTYPE wml PUBLIC "-//WAPFORUM//DTD WML 1.1//EN" "http://www.wapforum.org/DTD/wml_1.1.xml">\n'
    "<wml>\n"
    "<head>\n"
    '<meta forua="true" http-equiv="Cache-Control" content="max-age=0"/>\n'
    "</head>\n"
    "<card id='card1' title='Problems'>\n"
    "<p align='left' mode='nowrap'>\n"
    "<b>Host and service problems</b><br/>\n"
)
HOST_SECTION = "<b>Hosts</b><br/>\n"
SERVICE_SECTION = "<br/><b>Services</b><br/>\n"
FOOTER = (
    "<br/><anchor title='Back'><go href='statuswml.cgi?style=menu'/>Back</anchor>\n"
    "</p>\n"
    "</card>\n"
    "</wml>\n"
)

HOST_STEMS = ("web", "db", "mail", "app", "cache", "lb", "dns", "proxy", "file", "backup",
              "auth", "queue", "search", "log", "ntp", "vpn", "git", "build", "mon", "edge")
SITES = ("ams", "fra", "lon", "par", "nyc", "sfo", "sin", "syd", "tok", "mad")
SERVICE_NAMES = ("HTTP", "HTTPS", "SSH", "PING", "Load", "Memory", "Swap", "NTP", "SMTP", "IMAP",
                 "Root Partition", "Disk /var", "Disk /home", "Current Users", "Total Processes",
                 "Zombie Processes", "MySQL", "PostgreSQL", "DNS Lookup", "Cert Expiry",
                 "Backup Age", "RAID", "Temperature", "Mail Queue", "Replication Lag")
WORDS = ("frontend", "backend", "storage", "cluster", "primary", "replica", "region", "zone",
         "compute", "shared", "internal", "gateway", "archive", "payments", "analytics", "batch",
         "telemetry", "ingest", "service", "node", "rack", "pod", "tier", "edge")


def has_token(text):
    lowered = text.lower()
    return any(token in lowered for token in TOKENS) or "#comments" in lowered


def check_free_of_tokens(text):
    if has_token(text):
        raise SystemExit(f"make_page: internal error, token in non-problem text {text!r}")


def long_name(rng, low=60, high=200):
    """A name of low..high characters made of words, token-free."""
    length = rng.randint(low, high)
    while True:
        parts = []
        while sum(len(p) + 1 for p in parts) < length:
            parts.append(rng.choice(WORDS) + str(rng.randint(0, 99)))
        name = "-".join(parts)[:length].rstrip("-")
        if len(name) >= low and not has_token(name):
            return name


def host_names(rng, args):
    """An endless stream of distinct, token-free host names."""
    seen = set()
    serial = 0
    while True:
        serial += 1
        if args.long_names:
            name = long_name(rng)
        elif args.nested:
            # Chains like web, web1, web12, web123: every name lies inside
            # the longer ones of its chain.
            stem = f"{rng.choice(HOST_STEMS)}{serial // 4}"
            chain = [stem]
            for _ in range(3):
                chain.append(chain[-1] + str(rng.randint(1, 9)))
            for name in chain:
                if name not in seen and not has_token(name):
                    seen.add(name)
                    yield name
            continue
        else:
            name = f"{rng.choice(HOST_STEMS)}{serial:04d}-{rng.choice(SITES)}"
        if name not in seen and not has_token(name):
            seen.add(name)
            yield name


def service_names(rng, args, count):
    names = []
    for k in range(count):
        if args.long_names:
            name = long_name(rng)
        else:
            base = SERVICE_NAMES[k % len(SERVICE_NAMES)]
            name = base if k < len(SERVICE_NAMES) else f"{base} {k // len(SERVICE_NAMES)}"
        if has_token(name):
            raise SystemExit(f"make_page: internal error, token in service name {name!r}")
        names.append(name)
    return names


def duration(rng):
    return f"{rng.randint(0, 40)}d {rng.randint(0, 23)}h {rng.randint(0, 59)}m"


def host_line(rng, host, token):
    # The host postfield is the last "'/>" of the line, so the host field is
    # exactly the host's name.
    return (f"<anchor>{token} <go href='statuswml.cgi?style=hostinfo' method='post'>"
            f"<postfield name='host' value='{host}'/></go>{host}</anchor> {duration(rng)}<br/>\n")


def row(host, token, service=None):
    """A problem as the status CGI writes it in rows (--form rows): the token
    in the first cell, the names in postfield elements and the last cell."""
    service_part = "" if service is None else f"<postfield name='service' value='{service}'/>"
    names = host if service is None else f"{host}/{service}"
    title = host if service is None else service
    return (f"<tr><td><anchor title='{title}'>{token}<go href='statuswml.cgi' method='post'>"
            f"<postfield name='host' value='{host}'/>{service_part}</go></anchor></td><td>{names}</td></tr>\n")


def service_line(rng, host, service, token, form):
    if form == "rows":
        return row(host, token, service)
    if form == "postfield":
        # Host postfield directly followed by the service postfield, which is
        # the last "'/>" of the line.
        return (f"<anchor>{token} <go href='statuswml.cgi?style=serviceinfo' method='post'>"
                f"<postfield name='host' value='{host}'/><postfield name='service' value='{service}'/>"
                f"</go>{service}</anchor> {duration(rng)}<br/>\n")
    # Table-cell form: the host postfield is followed by one more postfield
    # (the last "'/><postfield" of the line), and the service sits in the
    # extinfo cell, its CLASS value being what is shown.
    link_service = service.replace(" ", "+")
    return (f"<postfield name='host' value='{host}'/><postfield name='type' value='2'/><TD ALIGN=LEFT valign=center CLASS='{service}'><A HREF='extinfo.cgi?"
            f"type=2&host={host}&service={link_service}'>{service}</A></TD><TD>{token}</TD>\n")


def pick_state(rng):
    roll = rng.random()
    for token, weight in SERVICE_STATES:
        if roll < weight:
            return token
        roll -= weight
    return SERVICE_STATES[-1][0]


def make_host(rng, args, host, service_pool):
    """The host's own line (DWN, UNR or none) and its service lines: a random
    choice of --services names from the pool, in the pool's order."""
    chosen = sorted(rng.sample(range(len(service_pool)), args.services))
    services = [service_pool[k] for k in chosen]
    roll = rng.random()
    own = None
    own_line = (lambda h, t: row(h, t)) if args.form == "rows" else (lambda h, t: host_line(rng, h, t))
    if roll < args.down:
        own = own_line(host, "DWN")
    elif roll < args.down + args.unreachable:
        own = own_line(host, "UNR")
    lines = [service_line(rng, host, service, pick_state(rng), args.form) for service in services]
    return own, lines


def scatter(rng, lines, fraction):
    """Moves a fraction of the lines to random places, so that some hosts'
    groups are split across the table as on a busy server."""
    count = int(len(lines) * fraction)
    for _ in range(count):
        line = lines.pop(rng.randrange(len(lines)))
        lines.insert(rng.randrange(len(lines) + 1), line)
    return lines


def build_page(args):
    rng = random.Random(args.seed)
    fixed = HEADER + HOST_SECTION + SERVICE_SECTION + FOOTER
    for text in (HEADER, HOST_SECTION, SERVICE_SECTION, FOOTER):
        check_free_of_tokens(text)
    budget = None if args.target_bytes is None else args.target_bytes - 1 - len(fixed)
    if budget is not None and budget < 0:
        raise SystemExit("make_page: --target-bytes is smaller than an empty page")

    service_pool = service_names(rng, args, max(args.services, len(SERVICE_NAMES)))
    host_lines, service_lines = [], []
    used = 0
    hosts = 0
    for host in host_names(rng, args):
        if budget is None and hosts == args.hosts:
            break
        own, lines = make_host(rng, args, host, service_pool)
        if budget is not None:
            # Take whole lines while they fit; the first line that does not
            # ends the page just under the target.
            full = False
            for line in ([own] if own else []) + lines:
                if used + len(line) > budget:
                    full = True
                    break
                (host_lines if line is own else service_lines).append(line)
                used += len(line)
            hosts += 1
            if full:
                break
            continue
        if own:
            host_lines.append(own)
        service_lines.extend(lines)
        hosts += 1

    scatter(rng, service_lines, args.scatter)
    page = HEADER + HOST_SECTION + "".join(host_lines) + SERVICE_SECTION + "".join(service_lines) + FOOTER
    return page, hosts, len(host_lines) + len(service_lines)


def fraction(text):
    value = float(text)
    if not 0.0 <= value <= 1.0:
        raise argparse.ArgumentTypeError("must lie between 0 and 1")
    return value


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--hosts", type=int, default=200, help="hosts with problems (default 200)")
    parser.add_argument("--services", type=int, default=5, help="service problems per host (default 5)")
    parser.add_argument("--down", type=fraction, default=0.1, help="fraction of hosts DOWN (default 0.1)")
    parser.add_argument("--unreachable", type=fraction, default=0.0,
                        help="fraction of hosts UNREACHABLE (default 0)")
    parser.add_argument("--form", choices=("postfield", "cell", "rows"), default="postfield",
                        help="service form: postfield (newcgi true), cell, or rows as the status CGI writes "
                             "them, read by their cells whatever newcgi says (default postfield)")
    parser.add_argument("--long-names", action="store_true", help="host and service names of 60-200 characters")
    parser.add_argument("--nested", action="store_true",
                        help="host names that lie inside others' (web, web1, web12, ...)")
    parser.add_argument("--scatter", type=fraction, default=0.2,
                        help="fraction of service lines moved to random places (default 0.2)")
    parser.add_argument("--target-bytes", type=int,
                        help="add hosts until the page is just under this many bytes (--hosts is then ignored)")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--output", "-o", help="output file (default standard output)")
    args = parser.parse_args(argv)
    if args.down + args.unreachable > 1.0:
        parser.error("--down and --unreachable add up to more than 1")
    if args.hosts < 0 or args.services < 0:
        parser.error("--hosts and --services must not be negative")
    if args.long_names and args.nested:
        parser.error("--long-names and --nested do not go together")

    page, hosts, problems = build_page(args)
    data = page.encode("ascii")
    if args.output:
        with open(args.output, "wb") as out:
            out.write(data)
    else:
        sys.stdout.buffer.write(data)
    print(f"make_page: bytes={len(data)} hosts={hosts} problem_lines={problems}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
