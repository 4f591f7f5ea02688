"""A stand-in monitoring server for end-to-end runs of orvek.

StatusBed writes a lighttpd configuration into a temporary folder and runs
`lighttpd -D` on a free loopback port. The status CGI at
/cgi-bin/statuswml.cgi answers with whatever the test last asked for through
a control file (page, HTTP status, delay, slow drip, short body), and logs
every request that gets through authentication. The JSON CGI at
/cgi-bin/statusjson.cgi answers the host count (per user) and the program
status with status data as old as the test asks (or leaves fields out,
fails, or sends garbage), behind the same authentication, and logs its
requests apart.

SilentServer accepts connections and never answers.

Authority makes a private certificate authority and the server certificates
a TLS bed presents (issued by it, self-signed, expired, for another name).

DigestServer is a small Digest server of its own, for user names that
lighttpd's user files cannot hold (its htdigest file parts the user name from
the realm at the first colon).

Standard library only: the demo imports this module too.
"""

import hashlib
import json
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import textwrap
import threading
import time

LIGHTTPD = shutil.which("lighttpd") or "/usr/sbin/lighttpd"
OPENSSL = shutil.which("openssl") or "/usr/bin/openssl"
PYTHON = "/usr/bin/python3"

STATUS_PATH = "/cgi-bin/statuswml.cgi"
REALM = "orvek status"

# ---------------------------------------------------------------------------
# Status pages


def problem_line(kind, host, service=None):
    """One line of the status page in the postfield form (newcgi true).

    kind: "down", "unreachable", "warning", "critical" or "unknown".
    """
    token = {
        "down": "DWN",
        "unreachable": "UNR",
        "warning": "WRN",
        "critical": "CRI",
        "unknown": "UNK",
    }[kind]
    host_part = "<postfield name='host' value='%s'/>" % host
    if service is None:
        return "%s %s\n" % (host_part, token)
    return "%s<postfield name='service' value='%s'/> %s\n" % (host_part, service, token)


# Markup around the problems. None of it carries a status token (the monitor
# would otherwise pick it up as a problem line).
PAGE_HEAD = (
    "<?xml version='1.0'?>\n"
    "<wml>\n"
    "<card id='card1' title='Problems'>\n"
    "<p>\n"
)
NO_PROBLEMS_ROW = "<tr><td>No problems</td></tr>\n"
# The card's two problem tables, empty, which make a card the list of
# problems; status_page puts them after its problem lines.
EMPTY_TABLES = ("<b>Host Problems:</b><table columns='2' align='LL'>\n" + NO_PROBLEMS_ROW + "</table>\n"
                "<b>Svc Problems:</b><table columns='2' align='LL'>\n" + NO_PROBLEMS_ROW + "</table>\n")
CARD_END = "</p>\n</card>\n</wml>\n"
PAGE_TAIL = EMPTY_TABLES + CARD_END


TOKENS = {"down": "DWN", "unreachable": "UNR", "warning": "WRN", "critical": "CRI", "unknown": "UNK"}


def cgi_row(kind, host, service=None):
    """One problem as the status CGI writes it: a table row, the token in
    the first cell, the names in postfield elements and in the last cell,
    as they are (the anchor's title is the service on a service's row)."""
    names = host if service is None else "%s/%s" % (host, service)
    service_part = "" if service is None else "<postfield name='service' value='%s'/>" % service
    return ("<tr><td><anchor title='%s'>%s<go href='statuswml.cgi' method='post'>"
            "<postfield name='host' value='%s'/>%s</go></anchor></td><td>%s</td></tr>\n"
            % (host if service is None else service, TOKENS[kind], host, service_part, names))


def row_page(problems):
    """The status CGI's whole page in rows: problems as for status_page."""
    hosts = "".join(cgi_row(*p) for p in problems if p[0] in ("down", "unreachable")) or NO_PROBLEMS_ROW
    services = "".join(cgi_row(*p) for p in problems if p[0] not in ("down", "unreachable")) or NO_PROBLEMS_ROW
    return (PAGE_HEAD + "<b>Host Problems:</b><table columns='2' align='LL'>\n" + hosts + "</table>\n"
            + "<b>Svc Problems:</b><table columns='2' align='LL'>\n" + services + "</table>\n" + CARD_END)


def card_page(title, text):
    """A WML document of one card."""
    return ("<?xml version='1.0'?>\n<wml>\n<card id='card1' title='%s'>\n<p align='left' mode='nowrap'>\n%s"
            % (title, text) + CARD_END)


def index_card():
    """The status CGI's answer to a query it does not know: its index, a
    card of links to its views."""
    links = (("uprobs", "Unhandled Problems"), ("aprobs", "All Problems"), ("processinfo", "Process Info"),
             ("hostsummary", "Host Summary"), ("servicesummary", "Service Summary"))
    return card_page("Main Menu", "<b>Monitoring</b><br/>\n" + "".join(
        "<anchor title='%s'><go href='statuswml.cgi?style=%s'/>%s</anchor><br/>\n" % (words, style, words)
        for style, words in links))


def host_card(host):
    """A host's card, as the CGI answers "host=NAME"."""
    return card_page("Host Status", "<b>Host '%s'</b><br/>\n<b>Status:</b> Up<br/>\n"
                     "<b>Last Check:</b> 2026-12-10 08:00:00<br/>\n" % host)


def process_card():
    """The card of the monitoring process, as the CGI answers "style=processinfo"."""
    return card_page("Process Info", "<b>Process Information</b><br/>\n<table columns='2' align='LL'>\n"
                     "<tr><td>Process ID:</td><td>1234</td></tr>\n<tr><td>Notifications:</td><td>Enabled</td></tr>\n"
                     "</table>\n")


def totals_page():
    """The totals of hosts and services, as words."""
    return card_page("Status Summary", "<b>Host Totals</b>:<br/>\n3 UNREACHABLE<br/>\n1 DOWN<br/>\n"
                     "<b>Service Totals</b>:<br/>\n21 CRITICAL<br/>\n4 WARNING<br/>\n2 UNKNOWN<br/>\n")


def rendition_page(problems):
    """The list as the plain HTML rendition of another web front end writes
    it: a complete HTML document with two tables of rows."""
    def row(kind, host, service=None):
        return "<tr><td>%s</td><td>%s</td></tr>\n" % (TOKENS[kind], host if service is None else host + "/" + service)
    hosts = "".join(row(*p) for p in problems if p[0] in ("down", "unreachable")) or NO_PROBLEMS_ROW
    services = "".join(row(*p) for p in problems if p[0] not in ("down", "unreachable")) or NO_PROBLEMS_ROW
    return ("<!DOCTYPE html>\n<html>\n<head><title>Problems</title></head>\n<body>\n"
            "<b>Host Problems: </b><table>\n" + hosts + "</table>\n"
            "<b>Svc Problems:</b><table>\n" + services + "</table>\n</body>\n</html>\n")


def status_page(problems):
    """A whole page: problems is a list of (kind, host[, service]) tuples."""
    return PAGE_HEAD + "".join(problem_line(*p) for p in problems) + PAGE_TAIL


def padded_page(problems, size):
    """A page of exactly `size` bytes: the problems, then filler lines."""
    head = status_page(problems).encode()
    if len(head) > size:
        raise ValueError("page longer than requested size")
    filler_line = b"." * 99 + b"\n"
    missing = size - len(head)
    whole, rest = divmod(missing, len(filler_line))
    body = head + filler_line * whole
    if rest:
        body += b"." * (rest - 1) + b"\n" if rest > 1 else b"\n"
    assert len(body) == size
    return body


# ---------------------------------------------------------------------------
# Helpers


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_is_free(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
        return True


def _wait_listening(port, process, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def _write_atomic(path, data):
    temp = path + ".new"
    with open(temp, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())
    os.replace(temp, path)


# The CGI behind /cgi-bin/statuswml.cgi. It logs the request, then answers as
# the control file says. Paths are filled in when the fixture writes it.
CONTROL_CGI = textwrap.dedent(
    r'''
    import json, os, sys, time

    CONTROL = %(control)r
    LOG = %(log)r
    PAGE = %(page)r

    with open(LOG, "a") as log:
        log.write(json.dumps({
            "time": time.time(),
            "method": os.environ.get("REQUEST_METHOD", ""),
            "uri": os.environ.get("REQUEST_URI", ""),
            "user": os.environ.get("REMOTE_USER", ""),
            "auth": os.environ.get("AUTH_TYPE", ""),
            "https": os.environ.get("HTTPS", ""),
        }) + "\n")

    try:
        with open(CONTROL) as f:
            control = json.load(f)
    except (OSError, ValueError):
        control = {}
    page = control.get("page", PAGE)
    cards = control.get("cards")
    if cards:
        # As the status CGI answers its query: the list of problems only for
        # style=uprobs, a host's card for host=, its index for anything else.
        fields = dict(part.partition("=")[::2] for part in os.environ.get("QUERY_STRING", "").split("&"))
        if "host" in fields:
            page = cards["host"]
        elif fields.get("style") in cards:
            page = cards[fields["style"]]
        elif fields.get("style") != "uprobs":
            page = cards["index"]
    with open(page, "rb") as f:
        body = f.read()

    if control.get("delay"):
        time.sleep(control["delay"])

    out = sys.stdout.buffer
    status = control.get("status", 200)
    out.write(b"Status: %%d\r\n" %% status)
    out.write(b"Content-Type: text/vnd.wap.wml\r\n")
    for name, value in control.get("headers", []):
        out.write(("%%s: %%s\r\n" %% (name, value)).encode())
    if control.get("length", True):
        claimed = len(body) + control.get("claim_extra", 0)
        out.write(b"Content-Length: %%d\r\n" %% claimed)
    out.write(b"\r\n")
    out.flush()

    drip = control.get("drip")
    if drip:
        step, pause = drip["bytes"], drip["every"]
        for start in range(0, len(body), step):
            out.write(body[start:start + step])
            out.flush()
            time.sleep(pause)
    else:
        out.write(body)
        out.flush()
    '''
)


# The JSON CGI behind /cgi-bin/statusjson.cgi, answering as the monitoring
# server's does: "hostcount" with the hosts the requesting user may see (as
# the control file gives them per user), "programstatus" with the program's
# status; both with the age of the status data that the control file asks
# for. It logs requests apart from the status CGI's.
DATA_AGE_CGI = textwrap.dedent(
    r'''
    import json, os, sys, time
    from urllib.parse import parse_qs

    CONTROL = %(control)r
    LOG = %(log)r
    DETAILS = %(details)r

    now = time.time()
    user = os.environ.get("REMOTE_USER", "")
    with open(LOG, "a") as log:
        log.write(json.dumps({
            "time": now,
            "uri": os.environ.get("REQUEST_URI", ""),
            "user": user,
            "auth": os.environ.get("AUTH_TYPE", ""),
        }) + "\n")
    try:
        with open(CONTROL) as f:
            control = json.load(f)
    except (OSError, ValueError):
        control = {}
    if control.get("delay"):
        time.sleep(control["delay"])
    query = parse_qs(os.environ.get("QUERY_STRING", "")).get("query", [""])[0]
    query_ms = int(now * 1000)
    result = {
        "query_time": query_ms,
        "cgi": "statusjson.cgi",
        "user": user,
        "query": query,
        "query_status": "released",
        "program_start": query_ms - int(control.get("uptime", 86400) * 1000),
        "last_data_update": query_ms - int(control.get("age", 3) * 1000),
        "type_code": 0,
        "type_text": "Success",
        "message": "",
    }
    if query == "hostcount":
        hosts = control.get("hosts", {})
        up, down, unreachable, pending = hosts.get(user, hosts.get("*", [5, 1, 0, 0]))
        data = {"count": {"up": up, "down": down, "unreachable": unreachable, "pending": pending}}
    elif query == "programstatus":
        data = {"programstatus": {"version": "4.x.y", "daemon_mode": True,
                                  "program_start": result["program_start"]}}
    elif query in ("hostlist", "servicelist"):
        data = None
    else:
        result.update(type_code=1, type_text="Error", message="Unknown query (%%s)" %% query)
        data = {}
    for name in control.get("missing", []):
        del result[name]
    answer = {"format_version": 0, "result": result, "data": data}
    body = control.get("body")
    if data is None:
        # The problem lists: their entries are written by hand, as the CGI
        # does, so that names it writes as (null) may repeat as keys.
        try:
            with open(DETAILS) as f:
                details = json.load(f)
        except (OSError, ValueError):
            details = {}

        def entry(problem):
            return {"name": problem.get("host"), "host_name": problem.get("host"),
                    "description": problem.get("service"), "status": problem.get("status", 4),
                    "plugin_output": problem.get("output", ""),
                    "last_state_change": query_ms - int(problem.get("age", 60) * 1000),
                    "state_type": 0 if problem.get("soft") else 1,
                    "current_attempt": problem.get("attempt", 1), "max_attempts": problem.get("max", 3)}

        def members(pairs):
            return "{" + ",".join(json.dumps(key) + ":" + value for key, value in pairs) + "}"

        asked = parse_qs(os.environ.get("QUERY_STRING", ""))
        hostgroup = asked.get("hostgroup", [None])[0]
        servicegroup = asked.get("servicegroup", [None])[0]
        hostgroups = details.get("hostgroups", {})
        servicegroups = {name: [tuple(pair) for pair in pairs]
                         for name, pairs in details.get("servicegroups", {}).items()}
        unknown = ("hostgroup", hostgroup) if hostgroup is not None and hostgroup not in hostgroups else \
            ("servicegroup", servicegroup) if servicegroup is not None and servicegroup not in servicegroups else None

        def in_groups(host, service=None):
            if hostgroup is not None and host not in hostgroups[hostgroup]:
                return False
            return servicegroup is None or service is None or (host, service) in servicegroups[servicegroup]

        if unknown:
            listed = "{}"
            result.update(type_code=6, type_text="Option Value Invalid",
                          message="The %%s '%%s' could not be found." %% unknown)
        elif query == "hostlist":
            listed = members((h["host"], json.dumps(entry(h)))
                             for h in details.get("hosts", []) if in_groups(h["host"]))
        elif "details" not in asked:
            # The services of a group whatever their state, by name only.
            by_host = {}
            for host, service in servicegroups.get(servicegroup, []):
                by_host.setdefault(host, []).append((service, "2"))
            listed = members((host, members(services)) for host, services in by_host.items())
        else:
            by_host = []
            for problem in [p for p in details.get("services", []) if in_groups(p["host"], p["service"])]:
                if not by_host or by_host[-1][0] != problem["host"]:
                    by_host.append((problem["host"], []))
                by_host[-1][1].append((problem["service"], json.dumps(entry(problem))))
            listed = members((host, members(services)) for host, services in by_host)
        head = dict(answer, result=result, data={})
        text = json.dumps(head)
        text = text[:-len("{}}")] + '{"selectors":{},"%%s":%%s}}' %% (query, listed)
        if details.get("cut"):
            text = text[:len(text) // 2]
        body = text if body is None else body
    body = body.encode() if body is not None else json.dumps(answer, indent=2).encode()
    out = sys.stdout.buffer
    out.write(b"Status: %%d\r\n" %% control.get("status", 200))
    out.write(b"Content-Type: application/json\r\n")
    out.write(b"Content-Length: %%d\r\n\r\n" %% len(body))
    out.write(body)
    out.flush()
    '''
)


def stop_process(process, grace):
    """Ends a server we started, by its own pid: SIGTERM, then SIGKILL after
    grace seconds; nothing when it has ended already."""
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def read_logs(folder, names):
    """The text of the named files in folder, one after another; a file that
    is not there adds nothing."""
    text = ""
    for name in names:
        try:
            with open(os.path.join(folder, name)) as f:
                text += f.read()
        except OSError:
            pass
    return text


class StatusBed:
    """lighttpd serving the status CGI on 127.0.0.1.

    auth: None, "basic" or "digest". users: {name: password}.
    https: serve TLS with a self-signed certificate made now.
    cgi_source: Python source of the CGI; the control-file CGI by default.
    port: a fixed port; a free one by default.
    http11: False makes lighttpd answer as HTTP/1.0, without chunked bodies,
    so that an answer without Content-Length ends where lighttpd closes the
    connection.

    compress: content codings (e.g. ("gzip",)) lighttpd's deflate module may
    apply to the page, as the client accepts them; none by default.

    certificate: (certificate file, key file) an https bed presents; a
    self-signed certificate made now, valid for two days, by default.
    """

    def __init__(self, auth=None, users=None, https=False, cgi_source=None, port=None, folder=None,
                 http11=True, compress=(), certificate=None):
        self.auth = auth
        self.certificate = certificate
        self.http11 = http11
        self.compress = tuple(compress)
        self.users = dict(users or {})
        self.https = https
        self.own_folder = folder is None
        self.dir = folder or tempfile.mkdtemp(prefix="orvek-bed-")
        self.port = port
        self.process = None
        self._pages = 0
        self.control_path = os.path.join(self.dir, "control.json")
        self.log_path = os.path.join(self.dir, "requests.log")
        self.page_path = os.path.join(self.dir, "page.wml")
        self.data_age_control_path = os.path.join(self.dir, "data-age.json")
        self.data_age_log_path = os.path.join(self.dir, "data-age-requests.log")
        self.cgi_source = cgi_source or CONTROL_CGI % {
            "control": self.control_path,
            "log": self.log_path,
            "page": self.page_path,
        }

    # -- lifecycle ---------------------------------------------------------

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    @property
    def base_url(self):
        return "%s://127.0.0.1:%d" % ("https" if self.https else "http", self.port)

    def start(self):
        www = os.path.join(self.dir, "www")
        os.makedirs(os.path.join(www, "cgi-bin"), exist_ok=True)
        _write_atomic(os.path.join(www, "cgi-bin", "statuswml.cgi"), self.cgi_source)
        _write_atomic(os.path.join(www, "cgi-bin", "statusjson.cgi"), DATA_AGE_CGI % {
            "control": self.data_age_control_path, "log": self.data_age_log_path,
            "details": os.path.join(self.dir, "details.json")})
        open(self.data_age_log_path, "a").close()
        if not os.path.exists(self.page_path):
            self.set_page(status_page([]))
        if not os.path.exists(self.control_path):
            self.respond()
        open(self.log_path, "a").close()
        if self.auth:
            self._write_user_file()
        if self.https and not self.certificate:
            self._make_certificate()
        fixed = self.port is not None
        for _ in range(1 if fixed else 5):
            if not fixed:
                self.port = free_port()
            conf = os.path.join(self.dir, "lighttpd.conf")
            _write_atomic(conf, self._config())
            errors = open(os.path.join(self.dir, "lighttpd.out"), "ab")
            self.process = subprocess.Popen(
                [LIGHTTPD, "-D", "-f", conf],
                stdin=subprocess.DEVNULL,
                stdout=errors,
                stderr=errors,
                start_new_session=True,
            )
            errors.close()
            if _wait_listening(self.port, self.process):
                return self
            self._kill()
        raise RuntimeError("lighttpd did not start: %s" % self.server_errors())

    def stop(self):
        self._kill()
        if self.own_folder:
            shutil.rmtree(self.dir, ignore_errors=True)

    def _kill(self):
        stop_process(self.process, 5)
        self.process = None

    def server_errors(self):
        return read_logs(self.dir, ("lighttpd.out", "error.log"))

    # -- what the CGI answers ----------------------------------------------

    def set_page(self, page):
        """The body of the next answers (text or bytes)."""
        _write_atomic(self.page_path, page)

    def answer_by_query(self, page):
        """The CGI answers as the status CGI does by its query: page for
        style=uprobs, host_card for host=, process_card for
        style=processinfo, totals_page for style=hostsummary, index_card
        otherwise."""
        control = {"cards": {}}
        for name, body in (("uprobs", page), ("host", host_card("web1")), ("processinfo", process_card()),
                           ("hostsummary", totals_page()), ("index", index_card())):
            path = os.path.join(self.dir, "card-%s.wml" % name)
            _write_atomic(path, body)
            control["cards"][name] = path
        _write_atomic(self.control_path, json.dumps(control))

    def respond(self, status=200, delay=0, drip=None, claim_extra=0, headers=(), page=None, length=True):
        """How the next answers are made.

        page: a body for these answers only, switched in together with the
        rest (set_page's body otherwise).

        drip: (bytes, seconds): the body goes out that many bytes at a time,
        with a pause after each piece. claim_extra: the Content-Length names
        that many bytes more than are sent before the CGI ends. length
        False: no Content-Length; the answer ends where the CGI's output
        does (lighttpd then closes the connection after the body).
        """
        control = {"status": status, "delay": delay, "claim_extra": claim_extra,
                   "headers": [list(h) for h in headers], "length": length}
        if drip:
            control["drip"] = {"bytes": drip[0], "every": drip[1]}
        if page is not None:
            self._pages += 1
            control["page"] = os.path.join(self.dir, "page-%d.wml" % self._pages)
            _write_atomic(control["page"], page)
        _write_atomic(self.control_path, json.dumps(control))

    def set_data_age(self, age=3, status=200, missing=(), body=None, delay=0, uptime=86400, hosts=None):
        """How the JSON CGI answers from now on: status data `age` seconds
        old (fresh by default; below 0 written after the answer's time),
        the program started `uptime` seconds ago; missing: result fields
        left out; body: this text in place of the JSON; delay: seconds
        before answering; hosts: {user: (up, down, unreachable, pending)}
        that hostcount counts for that user ("*" for any other user; 5 up
        and 1 down by default)."""
        _write_atomic(self.data_age_control_path, json.dumps({
            "age": age, "status": status, "missing": list(missing), "body": body, "delay": delay,
            "uptime": uptime, "hosts": {user: list(count) for user, count in (hosts or {}).items()}}))

    def set_status_details(self, hosts=(), services=(), cut=False, hostgroups=None, servicegroups=None):
        """What the JSON CGI's hostlist and servicelist answers hold: hosts
        as dicts {host, status, age (seconds in its state), soft, attempt,
        max, output}, services the same with service; a name the CGI could
        not write is given as "(null)", and may repeat. cut: the answers end
        halfway. hostgroups: {name: [host, ...]}; servicegroups: {name:
        [(host, service), ...]}: the answers of a query with such a filter
        hold only its problems; a group not named here is not found."""
        _write_atomic(os.path.join(self.dir, "details.json"), json.dumps(
            {"hosts": list(hosts), "services": list(services), "cut": cut, "hostgroups": hostgroups or {},
             "servicegroups": servicegroups or {}}))

    def remove_json_cgi(self):
        """The server without a JSON CGI (an older one): its URL gives 404."""
        os.remove(os.path.join(self.dir, "www", "cgi-bin", "statusjson.cgi"))

    def data_age_requests(self):
        """Requests that reached the JSON CGI, oldest first."""
        with open(self.data_age_log_path) as f:
            return [json.loads(line) for line in f if line.endswith("\n") and line.strip()]

    def requests(self):
        """Requests that reached the status CGI, oldest first."""
        with open(self.log_path) as f:
            # A line still being written by a running CGI has no newline yet.
            return [json.loads(line) for line in f if line.endswith("\n") and line.strip()]

    # -- configuration -----------------------------------------------------

    def _write_user_file(self):
        path = os.path.join(self.dir, "users")
        lines = []
        for user, password in self.users.items():
            if self.auth == "digest":
                digest = hashlib.md5(("%s:%s:%s" % (user, REALM, password)).encode()).hexdigest()
                lines.append("%s:%s:%s\n" % (user, REALM, digest))
            else:
                hashed = subprocess.run(
                    [OPENSSL, "passwd", "-apr1", password],
                    check=True, capture_output=True, text=True,
                ).stdout.strip()
                lines.append("%s:%s\n" % (user, hashed))
        _write_atomic(path, "".join(lines))

    def _make_certificate(self):
        key = os.path.join(self.dir, "key.pem")
        cert = os.path.join(self.dir, "cert.pem")
        subprocess.run(
            [OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
             "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=orvek test bed",
             "-addext", "subjectAltName=IP:127.0.0.1"],
            check=True, capture_output=True,
        )

    def _config(self):
        modules = ["mod_cgi", "mod_accesslog"]
        if self.auth:
            modules[:0] = ["mod_auth", "mod_authn_file"]
        if self.https:
            modules.append("mod_openssl")
        if self.compress:
            modules.append("mod_deflate")
        lines = [
            'server.modules = (%s)' % ", ".join('"%s"' % m for m in modules),
            'server.document-root = "%s"' % os.path.join(self.dir, "www"),
            'server.bind = "127.0.0.1"',
            "server.port = %d" % self.port,
            'server.errorlog = "%s"' % os.path.join(self.dir, "error.log"),
            'accesslog.filename = "%s"' % os.path.join(self.dir, "access.log"),
            'server.upload-dirs = ("%s")' % self.dir,
            # Pass the CGI's output on as it comes, so a drip stays a drip;
            # but the deflate module only compresses a response held whole.
            "server.stream-response-body = %d" % (0 if self.compress else 2),
            "server.max-keep-alive-requests = 0",
            'cgi.assign = (".cgi" => "%s")' % PYTHON,
        ]
        if not self.http11:
            lines.append('server.protocol-http11 = "disable"')
        if self.auth:
            backend = "htdigest" if self.auth == "digest" else "htpasswd"
            lines += [
                'auth.backend = "%s"' % backend,
                'auth.backend.%s.userfile = "%s"' % (backend, os.path.join(self.dir, "users")),
                'auth.require = ("/cgi-bin/" => ("method" => "%s", "realm" => "%s", "require" => "valid-user"))'
                % (self.auth, REALM),
            ]
        if self.compress:
            lines += [
                'deflate.mimetypes = ("text/vnd.wap.wml")',
                'deflate.allowed-encodings = (%s)' % ", ".join('"%s"' % c for c in self.compress),
            ]
        if self.https:
            cert, key = self.certificate or (os.path.join(self.dir, "cert.pem"), os.path.join(self.dir, "key.pem"))
            lines += [
                'ssl.engine = "enable"',
                'ssl.pemfile = "%s"' % cert,
                'ssl.privkey = "%s"' % key,
            ]
        return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------


# What `openssl ca` needs to issue certificates with chosen dates (`openssl
# x509 -req` cannot date one in the past): a database, a serial, and the
# subject alternative names taken over from the request.
AUTHORITY_CONFIG = textwrap.dedent(
    """\
    [ca]
    default_ca = authority
    [authority]
    database = index.txt
    new_certs_dir = issued
    serial = serial
    default_md = sha256
    policy = any_name
    copy_extensions = copy
    unique_subject = no
    x509_extensions = server
    [any_name]
    commonName = supplied
    [server]
    basicConstraints = CA:FALSE
    """
)


class Authority:
    """A private certificate authority made now in folder (EC P-256 keys).

    key(name) makes a key; issue() and self_signed() make server
    certificates for it. Dates are "YYYYMMDDHHMMSSZ" texts, UTC.
    """

    def __init__(self, folder, name="orvek test CA"):
        self.dir = folder
        os.makedirs(os.path.join(folder, "issued"), exist_ok=True)
        _write_atomic(os.path.join(folder, "authority.cnf"), AUTHORITY_CONFIG)
        _write_atomic(os.path.join(folder, "index.txt"), "")
        _write_atomic(os.path.join(folder, "serial"), "1000\n")
        self.key_path = self.key("authority")
        self.certificate = os.path.join(folder, "authority.pem")
        self._openssl("req", "-x509", "-key", self.key_path, "-out", self.certificate, "-days", "30",
                      "-subj", "/CN=%s" % name)

    def _openssl(self, *args):
        subprocess.run([OPENSSL, *args], check=True, capture_output=True, cwd=self.dir)

    def key(self, name):
        path = os.path.join(self.dir, name + ".key")
        self._openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-out", path)
        return path

    def issue(self, name, key, common_name, alt_names, start=None, end=None, days=365):
        """A certificate for key signed by the authority; alt_names e.g.
        "IP:127.0.0.1,DNS:localhost"."""
        request = os.path.join(self.dir, name + ".csr")
        path = os.path.join(self.dir, name + ".pem")
        self._openssl("req", "-new", "-key", key, "-out", request, "-subj", "/CN=%s" % common_name,
                      "-addext", "subjectAltName=%s" % alt_names)
        dates = ["-startdate", start, "-enddate", end] if start else ["-days", str(days)]
        self._openssl("ca", "-batch", "-config", "authority.cnf", "-cert", self.certificate, "-keyfile",
                      self.key_path, "-in", request, "-out", path, "-notext", *dates)
        return path

    def self_signed(self, name, key, common_name, alt_names, days=365):
        path = os.path.join(self.dir, name + ".pem")
        self._openssl("req", "-x509", "-key", key, "-out", path, "-days", str(days), "-subj", "/CN=%s" % common_name,
                      "-addext", "subjectAltName=%s" % alt_names)
        return path


def public_key_pin(certificate):
    """The certificate's public key pin as openssl's command line computes
    it: sha256// and the base64 of the SHA-256 of its SubjectPublicKeyInfo."""
    key = subprocess.run([OPENSSL, "x509", "-pubkey", "-noout", "-in", certificate],
                         check=True, capture_output=True).stdout
    der = subprocess.run([OPENSSL, "pkey", "-pubin", "-outform", "der"], input=key,
                         check=True, capture_output=True).stdout
    digest = subprocess.run([OPENSSL, "dgst", "-sha256", "-binary"], input=der,
                            check=True, capture_output=True).stdout
    return "sha256//" + subprocess.run(["base64"], input=digest, check=True, capture_output=True).stdout.decode().strip()


# ---------------------------------------------------------------------------


class SilentServer:
    """A TCP listener on 127.0.0.1 that never sends a byte.

    accept=True: connections are accepted and then left unanswered.
    accept=False: the accept queue is kept full, so a connect never
    completes (the kernel drops the handshake).
    """

    def __init__(self, accept=True):
        self.accept = accept
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16 if accept else 0)
        self.port = self.listener.getsockname()[1]
        self._held = []
        self._stopping = False
        self._thread = threading.Thread(target=self._serve, daemon=True)

    @property
    def base_url(self):
        return "http://127.0.0.1:%d" % self.port

    def __enter__(self):
        if self.accept:
            self._thread.start()
        else:
            # One connection of our own fills a backlog of 0; later
            # handshakes go unanswered.
            filler = socket.create_connection(("127.0.0.1", self.port), timeout=2)
            self._held.append(filler)
        return self

    def __exit__(self, *exc):
        self._stopping = True
        self.listener.close()
        for connection in self._held:
            connection.close()
        if self._thread.is_alive():
            self._thread.join(2)

    def _serve(self):
        while not self._stopping:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self._held.append(connection)


def send_answer(handler, status, body, headers=(), content_type="text/vnd.wap.wml"):
    """Answers an http.server request: status, the body (bytes), headers."""
    handler.send_response(status)
    handler.send_header("Content-Type", content_type)
    handler.send_header("Content-Length", str(len(body)))
    for name, value in headers:
        handler.send_header(name, value)
    handler.end_headers()
    handler.wfile.write(body)


class ThreadedServer:
    """An http.server on 127.0.0.1 serving handler in a thread of the test,
    from the start until stop(). server_class: an http.server class (one
    that wraps its connections in TLS for https)."""

    def __init__(self, handler, server_class=None, scheme="http"):
        import http.server

        self.httpd = (server_class or http.server.ThreadingHTTPServer)(("127.0.0.1", 0), handler)
        self.scheme = scheme
        self._thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self._thread.start()

    @property
    def base_url(self):
        return "%s://127.0.0.1:%d" % (self.scheme, self.httpd.server_address[1])

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self._thread.join(2)


class DigestServer:
    """HTTP Digest (MD5, qop auth) on 127.0.0.1, in a thread of the test.

    users: {name: password}. Answers every request for the status path with
    a 401 and its challenge, or, when the Authorization header proves the
    password, with page. usernames: the user names requests carried.
    """

    NONCE = "8b7c2d1e0f4a5b6c7d8e9f0a1b2c3d4e"

    def __init__(self, users, page):
        import http.server

        self.users = dict(users)
        self.page = page.encode() if isinstance(page, str) else page
        self.usernames = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                if server._authorised(self.headers.get("Authorization", ""), self.path):
                    self._answer(200, server.page)
                else:
                    self._answer(401, b"<html><title>401</title></html>",
                                 ('WWW-Authenticate', 'Digest realm="%s", qop="auth", nonce="%s", algorithm=MD5'
                                  % (REALM, server.NONCE)))

            def _answer(self, status, body, *headers):
                send_answer(self, status, body, headers)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        self._thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    @property
    def base_url(self):
        return "http://127.0.0.1:%d" % self.port

    def _authorised(self, header, path):
        import re

        if not header.startswith("Digest "):
            return False
        fields = dict((m.group(1), m.group(2) if m.group(2) is not None else m.group(3))
                      for m in re.finditer(r'(\w+)=(?:"((?:[^"\\]|\\.)*)"|([^,\s]+))', header[7:]))
        user = fields.get("username", "")
        self.usernames.append(user)
        if user not in self.users or fields.get("uri") != path or fields.get("nonce") != self.NONCE:
            return False
        md5 = lambda text: hashlib.md5(text.encode()).hexdigest()
        ha1 = md5("%s:%s:%s" % (user, REALM, self.users[user]))
        ha2 = md5("GET:%s" % path)
        expected = md5(":".join([ha1, self.NONCE, fields.get("nc", ""), fields.get("cnonce", ""), "auth", ha2]))
        return fields.get("qop") == "auth" and fields.get("response") == expected

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()
        self._thread.join(2)


def main():
    """Runs a bed by hand: python3 statusbed.py [basic|digest] [https]."""
    import sys

    auth = next((a for a in sys.argv[1:] if a in ("basic", "digest")), None)
    bed = StatusBed(auth=auth, users={"user": "secret"}, https="https" in sys.argv[1:])
    bed.set_page(status_page([("down", "db1"), ("critical", "web1", "Load")]))
    with bed:
        print("serving %s%s?style=uprobs from %s (Ctrl-C stops)" % (bed.base_url, STATUS_PATH, bed.dir))
        try:
            signal.pause()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
