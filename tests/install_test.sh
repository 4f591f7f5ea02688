#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that the result is
# usable: the files land where the manual page says, the installed binary
# runs, and the installed sample configuration, dropped in as ./orvek.conf,
# really logs in to the demo status server and names the services.
#
# usage: install_test.sh <build dir> <source dir>
# Needs cmake, lighttpd, python3 (the demo status server).
set -euo pipefail
# The fetch goes to 127.0.0.1 directly, whatever proxy the caller has set.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
lighttpd_pid=""
orvek_pid=""
failures=0

cleanup() {
  [ -n "$orvek_pid" ] && kill "$orvek_pid" 2>/dev/null && wait "$orvek_pid" 2>/dev/null
  [ -n "$lighttpd_pid" ] && kill "$lighttpd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The monitor's messages, as the end-to-end tests' support module has them.
monitor_says() {
  PYTHONDONTWRITEBYTECODE=1 python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import support
print(getattr(support, sys.argv[2]).strip())' "$source/tests/e2e" "$1"
}
not_found=$(monitor_says NOT_FOUND)
banner=$(monitor_says BANNER)

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
}

# --- the installed files ------------------------------------------------------
for file in bin/orvek share/man/man1/orvek.1 etc/orvek.conf.sample; do
  [ -f "$prefix/$file" ] || fail "$file not installed"
done
[ -x "$prefix/bin/orvek" ] || fail "bin/orvek is not executable"
cmp -s "$prefix/share/man/man1/orvek.1" "$source/docs/orvek.1" || fail "installed manual page differs from docs/orvek.1"
cmp -s "$prefix/etc/orvek.conf.sample" "$source/docs/orvek.conf.sample" || fail "installed sample differs"
# The sample must end with a newline, or its last key is ignored.
[ "$(tail -c 1 "$prefix/etc/orvek.conf.sample" | od -An -c | tr -d ' ')" = '\n' ] ||
  fail "orvek.conf.sample does not end with a newline"
if grep -q $'\r' "$prefix/etc/orvek.conf.sample"; then fail "orvek.conf.sample has carriage returns"; fi

# The supervision files in docs/ name the default prefix's paths, which
# `cmake --install` gives: the unit verifies with the binary there.
set +e
verified=$("$source/tests/verify_unit.sh" "$source/docs/orvek.service" "$prefix/bin/orvek" /usr/local/bin/orvek 2>&1)
status=$?
set -e
case $status in
  0) ;;
  77) echo "note: the unit is not verified: $verified" ;;
  *) fail "systemd-analyze verify on docs/orvek.service: $verified" ;;
esac

# --- the installed binary without a configuration -----------------------------
set +e
message=$(cd "$work" && "$prefix/bin/orvek" -c /nonexistent/orvek.conf </dev/null 2>"$work/stderr")
status=$?
set -e
[ "$status" -eq 2 ] || fail "orvek -c /nonexistent: exit status $status, expected 2"
[ "$message" = "$not_found" ] || fail "orvek -c /nonexistent printed '$message'"
[ ! -s "$work/stderr" ] || fail "orvek -c /nonexistent wrote to standard error: $(cat "$work/stderr")"

# --- the installed sample against the demo server ----------------------------
# orvek needs a terminal type, not a terminal: with TERM set and its output
# going to a file, curses writes the frame's escape sequences there.
read -r lighttpd_pid port < <(python3 "$source/scripts/demo/serve.py" "$work/server" 0 --page "$source/docs/screenshot-page.wml")
[ -n "$port" ] || { echo "FAIL: the demo status server did not start"; exit 1; }

# Only the server line changes; every other line is the sample as installed.
run=$work/run
mkdir -p "$run"
sed "s|^server .*|server http://127.0.0.1:$port|" "$prefix/etc/orvek.conf.sample" >"$run/orvek.conf"
grep -q "^server http://127.0.0.1:$port\$" "$run/orvek.conf" || fail "the sample has no 'server' line to point at the test server"

# The check agrees, with no terminal at all.
set +e
check=$(cd "$run" && env -u TERM "$prefix/bin/orvek" -t </dev/null 2>"$work/stderr")
status=$?
set -e
[ "$status" -eq 0 ] || fail "orvek -t with the installed sample: exit status $status, expected 0: $check"
case "$check" in
  *'lines that yield no name ("No match!"): 0'*) ;;
  *) fail "orvek -t with the installed sample reads not every name: $check" ;;
esac
[ ! -s "$work/stderr" ] || fail "orvek -t wrote to standard error: $(cat "$work/stderr")"
[ "$("$prefix/bin/orvek" -V)" = "orvek $(sed -n 's/^project(orvek VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")" ] ||
  fail "orvek -V does not print the project's version"

(cd "$run" && exec env TERM=xterm LINES=40 COLUMNS=160 "$prefix/bin/orvek" -s 60 </dev/null >"$work/screen" 2>"$work/stderr") &
orvek_pid=$!
for _ in $(seq 100); do
  grep -q "Current Load" "$work/screen" 2>/dev/null && break
  grep -qF "$banner" "$work/screen" 2>/dev/null && break
  kill -0 "$orvek_pid" 2>/dev/null || break
  sleep 0.1
done
kill "$orvek_pid" 2>/dev/null || true
wait "$orvek_pid" 2>/dev/null || true
orvek_pid=""

# Digest with demo/demo (a 401 would show the banner) and newcgi true (the
# service names come from the postfield elements; without it they are blank
# and "No match!" is written instead).
if grep -qF "$banner" "$work/screen"; then fail "the installed sample did not get the page (banner shown)"; fi
grep -q "Current Load" "$work/screen" || fail "the installed sample's frame does not name the service 'Current Load'"
grep -q "CRITICAL" "$work/screen" || fail "the installed sample's frame has no CRITICAL label"
if grep -q "No match!" "$work/screen"; then fail "the installed sample's frame printed 'No match!'"; fi

if [ "$failures" -ne 0 ]; then
  echo "--- frame written by the installed binary:"
  head -c 2000 "$work/screen" | cat -v
  echo
  echo "install test: $failures check(s) failed"
  exit 1
fi
echo "install test: all checks passed"
