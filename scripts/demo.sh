#!/usr/bin/env bash
# The orvek demo: a status server on 127.0.0.1 tells a short story of
# problems (about 70 seconds, then again), and orvek watches it in this
# terminal. Ctrl-C ends it and stops the server.
#
#   scripts/demo.sh [--port N]     (default 8080, or a free port if taken)
set -euo pipefail

port=8080
while (($#)); do
  case "$1" in
    -p|--port) port="${2:?--port needs a number}"; shift 2 ;;
    -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown argument: $1 (try --help)" >&2; exit 2 ;;
  esac
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build
fi
cmake --build build -j2 --target orvek

folder="$(mktemp -d -t orvek-demo.XXXXXX)"
server_pid=""
cleanup() {
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

read -r server_pid port < <(/usr/bin/python3 scripts/demo/serve.py "$folder" "$port")
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
build/orvek -c "$folder/orvek.conf" -s 2 -u
