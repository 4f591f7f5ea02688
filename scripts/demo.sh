#!/usr/bin/env bash
# The orvek demo: a status server on 127.0.0.1 tells a short story of
# problems (about 70 seconds, then again), and orvek watches it in this
# terminal. Ctrl-C ends it and stops the server.
#
#   scripts/demo.sh [--port N]     (default 8080, or a free port if taken)
#
# ORVEK=path runs that binary instead of building build/orvek. The server
# stops however the demo ends: Ctrl-C, SIGHUP, SIGTERM, or the terminal gone.
set -euo pipefail

port=8080
while (($#)); do
  case "$1" in
    -p|--port) port="${2:?--port needs a number}"; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown argument: $1 (try --help)" >&2; exit 2 ;;
  esac
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

orvek=${ORVEK:-}
if [ -z "$orvek" ]; then
  bash scripts/install-deps.sh
  if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build
  fi
  cmake --build build -j2 --target orvek
  orvek=build/orvek
fi

folder="$(mktemp -d -t orvek-demo.XXXXXX)"
server_pid=""
orvek_pid=""
cleanup() {
  # A second signal (the terminal's end sends more than one) must not cut
  # the clean-up short.
  trap '' HUP INT TERM
  # orvek first, so that it gives the terminal back before the shell does.
  if [ -n "$orvek_pid" ]; then
    kill "$orvek_pid" 2>/dev/null || true
    wait "$orvek_pid" 2>/dev/null || true
  fi
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    # Not our child (the starter has left): wait for it to go, briefly.
    for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$folder"
  # orvek restores the terminal when a signal ends it; this is for a harder end.
  if [ -t 1 ]; then
    tput rmcup 2>/dev/null || true
    tput sgr0 2>/dev/null || true
    tput cnorm 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# The server's watchdog stops it should this shell end without its traps
# (a SIGKILL, or a terminal gone in the middle of the clean-up).
read -r server_pid port < <(/usr/bin/python3 scripts/demo/serve.py "$folder" "$port" --watch $$)
if [ -z "$server_pid" ]; then
  echo "the demo status server did not start" >&2
  exit 1
fi

cat > "$folder/orvek.conf" <<CONF
# orvek demo
server http://127.0.0.1:$port
username demo
password demo
digest yes
newcgi true
CONF

echo "Demo status server: http://127.0.0.1:$port (Digest; demo / demo)"
echo "The picture changes every 10 s or so, and repeats after 70 s. Ctrl-C stops."
sleep 2
# In the background, so that a signal to this shell is taken at once (a
# foreground command would hold the traps back until it ended); its input
# stays the terminal. SIGINT (Ctrl-C) reaches this shell, whose clean-up ends
# orvek.
"$orvek" -c "$folder/orvek.conf" -s 2 -u <&0 &
orvek_pid=$!
status=0
wait "$orvek_pid" || status=$?
orvek_pid=""
exit "$status"
