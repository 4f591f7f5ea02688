"""Many screens, one server: the nginx proxy cache of docs/many-screens.md,
taken from that file as written, in front of the test bed's lighttpd. Ten
monitors refresh every second, with maxage; each CGI (the list and the data's
age) runs at most once per user in each five seconds of the clock, and every
screen draws its own user's page. No page handed out was made (its CGI run
begun) long before, even from a CGI that takes 9 s. When the CGI hangs, or
the server refuses connections, every screen shows the banner soon, never an
old page; when the server is back, the page."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest

from statusbed import OPENSSL, _wait_listening, free_port, read_logs, status_page, stop_process
from support import BANNER, E2ETestCase, write_config

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
GUIDE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "many-screens.md")

# The longest the guide lets a page stand for a new one, counted from the
# start of the CGI run that made it: its slot, or, for a screen that waited
# for the run, the run itself and half a second (nginx looks for the
# awaited page twice a second).
STALE_BOUND = 5
RUN_SECONDS = 20
# From a CGI that stops answering to the banner on every screen.
BANNER_BOUND = 30
# A list CGI that takes this long (within the guide's 10 s wait for the
# server), watched for this long: no page handed out was made (its CGI run
# begun) more than SLOW_BOUND seconds before.
SLOW_CGI = 9
SLOW_RUN_SECONDS = 60
SLOW_BOUND = 15
USERS = {"wall": "Wall-Scr33n", "kiosk": "K1osk-pw"}
# (user of each screen): eight on one user, two on another
SCREENS = ["wall"] * 8 + ["kiosk"] * 2


def page_for(user):
    return status_page([("critical", "web-%s" % user, "Load"), ("warning", "db-%s" % user, "Disk")])


# Like the monitoring server's CGI: the page depends on the user, caching is
# forbidden, and making the page takes a moment (while other requests wait).
PER_USER_CGI = textwrap.dedent(
    r'''
    import json, os, sys, time

    user = os.environ.get("REMOTE_USER", "")
    # While this file is there the CGI hangs: accepted, never answered.
    while os.path.exists(%(hang)r):
        time.sleep(0.1)
    with open(%(log)r, "a") as log:
        log.write(json.dumps({"time": time.time(), "method": os.environ.get("REQUEST_METHOD", ""),
                              "uri": os.environ.get("REQUEST_URI", ""), "user": user,
                              "auth": os.environ.get("AUTH_TYPE", ""), "https": ""}) + "\n")
    # The page's data is read now, at the start of the run.
    made = time.time()
    with open(os.path.join(%(dir)r, "page-%%s.wml" %% user), "rb") as f:
        body = f.read()
    # Making the page takes a moment, or as long as the slow file says.
    try:
        with open(%(slow)r) as f:
            time.sleep(float(f.read()))
    except OSError:
        time.sleep(0.2)
    out = sys.stdout.buffer
    out.write(b"Status: 200\r\nContent-Type: text/vnd.wap.wml\r\n"
              b"Cache-Control: no-store\r\nPragma: no-cache\r\n"
              b"Expires: Thu, 01 Jan 1970 00:00:00 GMT\r\n")
    # When the run that made this page began, for the test to read in
    # nginx's log (a header nginx keeps with the cached page).
    out.write(b"X-Page-Made: %%.3f\r\n" %% made)
    out.write(b"Content-Length: %%d\r\n\r\n" %% len(body))
    out.write(body)
    '''
)


def guide_configuration():
    """The nginx block of the guide."""
    with open(GUIDE) as f:
        match = re.search(r"```nginx\n(.*?)```", f.read(), re.S)
    if not match:
        raise AssertionError("docs/many-screens.md has no nginx block")
    return match.group(1)


class NginxCache:
    """nginx with the guide's configuration, in a folder of its own, on free
    loopback ports: one per screen, so that its log tells the screens apart
    (the cache key holds no port)."""

    def __init__(self, backend_port, users, screens):
        self.dir = tempfile.mkdtemp(prefix="orvek-nginx-")
        self.ports = [free_port() for _ in range(screens)]
        self.log_path = os.path.join(self.dir, "access.log")
        self.process = None
        self._write_users(users)
        self._write_config(backend_port)

    def _write_users(self, users):
        lines = []
        for user, password in users.items():
            hashed = subprocess.run([OPENSSL, "passwd", "-apr1", password],
                                    check=True, capture_output=True, text=True).stdout.strip()
            lines.append("%s:%s\n" % (user, hashed))
        with open(os.path.join(self.dir, "htpasswd"), "w") as f:
            f.writelines(lines)

    def _write_config(self, backend_port):
        guide = guide_configuration()
        # Paths and ports of this run in place of the guide's.
        for old, new in [
            ("/var/cache/nginx/orvek", os.path.join(self.dir, "cache")),
            ("/etc/nginx/orvek.htpasswd", os.path.join(self.dir, "htpasswd")),
            ("server 127.0.0.1:8081;", "server 127.0.0.1:%d;" % backend_port),
            ("listen 8080;", " ".join("listen 127.0.0.1:%d;" % p for p in self.ports)),
            ("access_log /var/log/nginx/orvek-cache.log orvek_cache;",
             "access_log %s screens;" % self.log_path),
        ]:
            if old not in guide:
                raise AssertionError("the guide's nginx block no longer has %r" % old)
            guide = guide.replace(old, new)
        folder = self.dir
        config = textwrap.dedent("""\
            daemon off;
            master_process on;
            worker_processes 1;
            %(user)s
            pid %(folder)s/nginx.pid;
            error_log %(folder)s/error.log;
            events { worker_connections 256; }
            http {
                client_body_temp_path %(folder)s/body;
                proxy_temp_path %(folder)s/proxy;
                fastcgi_temp_path %(folder)s/fastcgi;
                uwsgi_temp_path %(folder)s/uwsgi;
                scgi_temp_path %(folder)s/scgi;
                log_format screens '$msec $server_port $remote_user $status $body_bytes_sent $upstream_cache_status $uri $sent_http_x_page_made $orvek_slot';
            """) % {
            "folder": folder,
            # Started as root, nginx would hand its workers to "nobody", who
            # cannot enter this private folder.
            "user": "user root;" if os.geteuid() == 0 else "",
        }
        config += guide + "}\n"
        self.config_path = os.path.join(folder, "nginx.conf")
        with open(self.config_path, "w") as f:
            f.write(config)

    def start(self):
        output = open(os.path.join(self.dir, "nginx.out"), "wb")
        self.process = subprocess.Popen(
            [NGINX, "-p", self.dir, "-c", self.config_path, "-e", os.path.join(self.dir, "error.log")],
            stdin=subprocess.DEVNULL, stdout=output, stderr=output, start_new_session=True)
        output.close()
        if not _wait_listening(self.ports[-1], self.process):
            errors = self.errors()
            self.stop()
            raise RuntimeError("nginx did not start: %s" % errors)
        return self

    def stop(self):
        stop_process(self.process, 10)  # the master stops its workers
        self.process = None
        shutil.rmtree(self.dir, ignore_errors=True)

    def errors(self):
        return read_logs(self.dir, ("nginx.out", "error.log"))

    def served(self, cgi="statuswml.cgi"):
        """(time, port, user, status, bytes, cache status, when the CGI run
        that made the page began or None, the slot nginx keyed it by) per
        request to the CGI named."""
        with open(self.log_path) as f:
            rows = [line.split() for line in f if line.endswith("\n")]
        return [(float(t), int(port), user, int(status), int(sent), cache, None if made == "-" else float(made), slot)
                for t, port, user, status, sent, cache, uri, made, slot in rows if uri == "/cgi-bin/" + cgi]


class ManyScreensTest(E2ETestCase):
    def start_screens(self, screens, slow=None):
        """The bed behind the guide's nginx, and one monitor per user named
        in screens, each refreshing every second with maxage 300. slow: the
        seconds each run of the list CGI takes (0.2 by default)."""
        folder = self.folder()
        if slow is not None:
            with open(os.path.join(folder, "slow"), "w") as f:
                f.write(str(slow))
        for user in USERS:
            with open(os.path.join(folder, "page-%s.wml" % user), "w") as f:
                f.write(page_for(user))
        self.hang_path = os.path.join(folder, "hang")
        self.slow_path = os.path.join(folder, "slow")
        cgi = PER_USER_CGI % {"log": os.path.join(folder, "requests.log"), "dir": folder, "hang": self.hang_path,
                              "slow": self.slow_path}
        bed = self.bed(auth="basic", users=USERS, folder=folder, cgi_source=cgi)
        bed.set_data_age(age=3)

        nginx = NginxCache(bed.port, USERS, len(screens)).start()
        self.addCleanup(nginx.stop)

        terminals = []
        for port, user in zip(nginx.ports, screens):
            conf = write_config(self.folder(), "http://127.0.0.1:%d" % port, username=user, password=USERS[user])
            with open(conf, "a") as f:
                f.write("maxage 300\n")
            terminals.append(self.run_orvek("-c", conf, "-s", "1"))
        return bed, nginx, terminals

    def test_cache_runs_the_cgi_once_per_period_for_ten_screens(self):
        bed, nginx, terminals = self.start_screens(SCREENS)
        start = time.monotonic()
        for terminal, user in zip(terminals, SCREENS):
            terminal.wait_for_text(" web-%s " % user, timeout=15)
        time.sleep(max(0, RUN_SECONDS - (time.monotonic() - start)))

        # Every screen shows its user's page, and only that.
        for terminal, user in zip(terminals, SCREENS):
            screen = terminal.screen()
            self.assertTrue(screen.contains(" web-%s " % user), screen.dump())
            self.assertTrue(screen.contains(" db-%s " % user), screen.dump())
            for other in USERS:
                if other != user:
                    self.assertFalse(screen.contains("-%s " % other), screen.dump())
            self.assertFalse(screen.contains(BANNER.strip()), screen.dump())
            self.assertFalse(screen.contains("Server data"), screen.dump())
        # Screens closed during a transfer may leave a run unfinished, and
        # another screen's request runs it again: runs from here on are not
        # counted against the slots.
        self.closing = time.time()
        for terminal in terminals:
            self.assertStillRunning(terminal)
            terminal.close()
        elapsed = time.monotonic() - start
        time.sleep(1)  # a transfer cut short by the closing ends, and is logged

        figures = []
        for cgi, runs in (("statuswml.cgi", bed.requests()), ("statusjson.cgi", bed.data_age_requests())):
            with self.subTest(cgi):
                figures.append(self.assertOncePerPeriod(nginx, cgi, runs))
        sys.stderr.write("\n%.0f s, %d screens with maxage:\n%s\n" % (elapsed, len(SCREENS), "\n".join(figures)))

    def assertOncePerPeriod(self, nginx, cgi, runs):
        answers = nginx.served(cgi)
        # libcurl first asks without credentials to learn the scheme: each
        # frame is a 401 from nginx, then the page. A screen closed during a
        # transfer leaves a 499 (the client went away).
        probes = [r for r in answers if r[3] == 401]
        served = [r for r in answers if r[3] == 200]
        cut = [r for r in answers if r[3] == 499]
        self.assertEqual(len(probes) + len(served) + len(cut), len(answers), "answers other than 200 and 401")
        self.assertLessEqual(len(cut), len(SCREENS))
        self.assertTrue(all(r[2] == "-" for r in probes))
        # Every screen drew a frame about every second.
        frames = {port: sum(1 for r in served if r[1] == port) for port in nginx.ports}
        for port, user in zip(nginx.ports, SCREENS):
            self.assertGreaterEqual(frames[port], RUN_SECONDS // 2, "screen on port %d (%s)" % (port, user))
            self.assertEqual({r[2] for r in served if r[1] == port}, {user})

        # The requests that went on to the CGI are the CGI runs, each the
        # first of its slot (MISS); the others got its page (HIT).
        status = {name: sum(1 for r in served if r[5] == name) for name in ("MISS", "HIT")}
        self.assertEqual(sum(status.values()), len(served), "other cache statuses")
        passed_on = [r for r in served + cut if r[5] == "MISS"]
        self.assertEqual(len(passed_on), len(runs))
        # The CGI: at most once per user and slot of the clock, the slot
        # nginx keyed the request by (a loaded machine starts the CGI a
        # moment later, maybe in the next slot).
        self.assertEqual({r["user"] for r in runs}, set(USERS))
        gaps = []
        for user in USERS:
            times = sorted(r["time"] for r in runs if r["user"] == user)
            gaps += [later - earlier for earlier, later in zip(times, times[1:])]
            slots = [r[7] for r in passed_on if r[2] == user]
            self.assertEqual(len(slots), len(set(slots)), "two CGI runs in one slot: %s" % times)
        # And every list handed out was made within its slot (the JSON
        # CGI's answers say nothing of when they were made).
        ages = [r[0] - r[6] for r in served if r[6] is not None]
        if cgi == "statuswml.cgi":
            self.assertEqual(len(ages), len(served))
            self.assertLessEqual(max(ages), STALE_BOUND + 1, "a page that old was handed out")
        return ("%s: nginx served it %d times (%s; and %d 401s before the credentials); the CGI ran %d times "
                "(%s); frames per screen %s; one user's CGI runs %.1f to %.1f s apart; oldest page handed out "
                "made %s before" % (
                    cgi, len(served), ", ".join("%s %d" % kv for kv in status.items()), len(probes), len(runs),
                    ", ".join("%s %d" % (u, sum(1 for r in runs if r["user"] == u)) for u in USERS),
                    sorted(frames.values()), min(gaps), max(gaps), "%.1f s" % max(ages) if ages else "(not said)"))

    def test_pages_of_a_slow_cgi_are_bounded_from_its_start(self):
        """A list CGI that takes 9 s, within the guide's 10 s wait for the
        server: the age of every page handed out, counted from the start of
        the CGI run that made it (when it read the status data), stays
        within the guide's bound, and the CGI still runs once at a time and
        period for each user."""
        screens = ["wall"] * 4
        bed, nginx, terminals = self.start_screens(screens, slow=SLOW_CGI)
        for terminal, user in zip(terminals, screens):
            terminal.wait_for_text(" web-%s " % user, timeout=SLOW_CGI + 15)
        start = time.time()
        time.sleep(SLOW_RUN_SECONDS)
        for terminal in terminals:
            self.assertStillRunning(terminal)
            self.assertFalse(terminal.screen().contains(BANNER.strip()), terminal.screen().dump())
        end = time.time()
        handed = [r for r in nginx.served() if r[3] == 200 and start <= r[0] <= end]
        self.assertTrue(handed and all(r[6] is not None for r in handed), "pages without the time they were made")
        ages = [r[0] - r[6] for r in handed]
        runs = sorted(r["time"] for r in bed.requests())
        during = [t for t in runs if start - SLOW_CGI <= t <= end]
        gaps = [later - earlier for earlier, later in zip(runs, runs[1:])]
        sys.stderr.write("\nslow CGI (%.0f s a run), %d screens, %.0f s: %d pages handed out, the oldest made %.1f s "
                         "before (median %.1f s); %d CGI runs, %.1f to %.1f s apart\n" % (
                             SLOW_CGI, len(screens), end - start, len(handed), max(ages),
                             sorted(ages)[len(ages) // 2], len(during), min(gaps), max(gaps)))
        self.assertLessEqual(max(ages), SLOW_BOUND, "a page that old was handed out as current")
        # No more runs than slots: the screens wait for the slot's run
        # instead of running the CGI themselves.
        # (nginx logs a request when it ends: the last run's may still be
        # under way.)
        slots = [r[7] for r in nginx.served() if r[5] == "MISS"]
        self.assertEqual(len(slots), len(set(slots)), "two CGI runs in one slot: %s" % runs)

    def test_a_hung_or_refused_server_shows_the_banner_and_its_return_the_page(self):
        screens = ["wall"] * 3 + ["kiosk"]
        bed, nginx, terminals = self.start_screens(screens)
        for terminal, user in zip(terminals, screens):
            terminal.wait_for_text(" web-%s " % user, timeout=15)
        self.addCleanup(lambda: os.path.exists(self.hang_path) and os.remove(self.hang_path))

        def until_every_screen(shows, bound, what):
            """Seconds from now until each screen shows what shows() looks
            for; fails beyond bound."""
            start = time.monotonic()
            seconds = []
            for terminal in terminals:
                terminal.wait_for(shows, bound - (time.monotonic() - start), what)
                seconds.append(time.monotonic() - start)
            return seconds

        def page_of(user):
            return lambda screen: screen.contains(" web-%s " % user) and not screen.contains(BANNER.strip())

        def all_pages(bound):
            start = time.monotonic()
            for terminal, user in zip(terminals, screens):
                terminal.wait_for(page_of(user), bound - (time.monotonic() - start), "the page again")
            return time.monotonic() - start

        banner = lambda screen: screen.contains(BANNER)
        figures = []
        # The CGI hangs: accepted, never answered.
        hang_start = time.time()
        open(self.hang_path, "w").close()
        hung = until_every_screen(banner, BANNER_BOUND, "the banner after the CGI hangs")
        figures.append("hung CGI: banner on every screen within %.1f s" % max(hung))
        # The pages nginx handed out meanwhile were made at most STALE_BOUND
        # seconds before (and a moment for making them).
        oldest = max([0] + [r[0] - r[6] for r in nginx.served() if r[3] == 200 and r[0] > hang_start])
        self.assertLessEqual(oldest, STALE_BOUND + 1, "a page that old was handed out as current")
        figures.append("hung CGI: the oldest page handed out was made %.1f s before" % oldest)
        # While it hangs, no screen goes back to a page: each later request
        # hangs too, and none gets an old page once the bound has passed.
        time.sleep(2)
        deadline = time.monotonic() + 8
        while time.monotonic() < deadline:
            for terminal in terminals:
                self.assertFalse(terminal.screen().contains(" web-"), "an old page while the CGI hangs")
            time.sleep(0.5)
        os.remove(self.hang_path)
        figures.append("CGI answering again: the page on every screen after %.1f s" % all_pages(40))

        # Nothing listens: connections refused.
        bed._kill()
        refused = until_every_screen(banner, BANNER_BOUND, "the banner after the server stops")
        figures.append("server refusing: banner on every screen within %.1f s" % max(refused))
        bed.start()
        figures.append("server back: the page on every screen after %.1f s" % all_pages(30))
        sys.stderr.write("\n" + "\n".join(figures) + "\n")


if __name__ == "__main__":
    unittest.main()
