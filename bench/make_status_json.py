#!/usr/bin/python3
"""Writes the JSON status CGI's hostlist and servicelist answers (details
true) for a page written by make_page.py: one entry for each problem the
page names, with the fields the CGI writes for it, so that the answers have
the real ones' size (some 1.6 kB an entry) and the monitor's reading of them
can be timed beside the page's.

    make_status_json.py PAGE HOSTLIST_OUT SERVICELIST_OUT

The output depends only on the page.
"""

import json
import re
import sys

TOKEN = re.compile(r"\b(DWN|UNR|WRN|CRI|UNK)\b")
VALUE = re.compile(r"<postfield name='(host|service)' value='([^']*)'/>")
HOST_STATUS = {"DWN": 4, "UNR": 8}
SERVICE_STATUS = {"WRN": 4, "UNK": 8, "CRI": 16}
QUERY_TIME = 1760000000000


def common(seed, status, output):
    """The fields every detailed entry carries, as the CGI writes them."""
    entry = {
        "status": status, "last_update": QUERY_TIME - 3000, "has_been_checked": True,
        "should_be_scheduled": True, "current_attempt": 1 + seed % 3, "max_attempts": 3,
        "last_check": QUERY_TIME - 30000 - seed, "next_check": QUERY_TIME + 270000 + seed,
        "check_options": 0, "check_type": 0, "last_state_change": QUERY_TIME - 60000 * (1 + seed % 5000),
        "last_hard_state_change": QUERY_TIME - 60000 * (1 + seed % 5000), "last_hard_state": status,
        "last_time_up": QUERY_TIME - 86400000, "last_time_down": 0, "last_time_unreachable": 0,
        "state_type": 0 if seed % 7 == 0 else 1, "last_notification": 0, "next_notification": 0,
        "no_more_notifications": False, "notifications_enabled": True,
        "problem_has_been_acknowledged": False, "acknowledgement_type": 0, "current_notification_number": 0,
        "accept_passive_checks": True, "event_handler_enabled": True, "checks_enabled": True,
        "flap_detection_enabled": True, "is_flapping": False, "percent_state_change": 0.0,
        "latency": 0.125, "execution_time": 0.051, "scheduled_downtime_depth": 0,
        "process_performance_data": True, "obsess": True,
        "plugin_output": output,
        "long_plugin_output": "",
        "perf_data": "rta=0.123ms;100.000;500.000;0; pl=0%;20;60;; rtmax=0.456ms;;;; rtmin=0.089ms;;;;",
    }
    return entry


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="ascii") as f:
        page = f.read()
    hosts, services = {}, {}
    seed = 0
    for line in page.splitlines():
        token = TOKEN.search(line)
        values = dict(VALUE.findall(line))
        if not token or "host" not in values:
            continue
        seed += 1
        word, host = token.group(1), values["host"]
        if word in HOST_STATUS:
            entry = common(seed, HOST_STATUS[word], "CRITICAL - Host Unreachable (10.%d.%d.%d)" % (
                seed % 250, seed // 250 % 250, seed % 7))
            entry.update(name=host, plugin_output=entry["plugin_output"])
            hosts[host] = entry
        elif "service" in values:
            entry = common(seed, SERVICE_STATUS[word], "%s - %s: check returned %d after %d ms" % (
                {"WRN": "WARNING", "UNK": "UNKNOWN", "CRI": "CRITICAL"}[word], values["service"], seed % 97,
                seed % 1000))
            entry.update(host_name=host, description=values["service"])
            services.setdefault(host, {})[values["service"]] = entry
    result = {"query_time": QUERY_TIME, "cgi": "statusjson.cgi", "user": "nagiosadmin", "query": None,
              "query_status": "released", "program_start": QUERY_TIME - 86400000,
              "last_data_update": QUERY_TIME - 3000, "type_code": 0, "type_text": "Success", "message": ""}
    for path, query, data in ((argv[2], "hostlist", hosts), (argv[3], "servicelist", services)):
        answer = {"format_version": 0, "result": dict(result, query=query),
                  "data": {"selectors": {"details": True}, query: data}}
        text = json.dumps(answer, indent=2)
        with open(path, "w") as out:
            out.write(text)
        count = len(data) if query == "hostlist" else sum(len(s) for s in data.values())
        print("make_status_json: %s entries=%d bytes=%d" % (query, count, len(text)), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
