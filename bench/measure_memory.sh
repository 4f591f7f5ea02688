#!/usr/bin/env bash
# Runs the real monitor against a local web server that serves the largest
# page the fetch accepts, and follows its memory over time.
#
#   bench/measure_memory.sh ORVEK_BINARY [DURATION_SECONDS] [SAMPLE_SECONDS]
#
# Defaults: 60 s, a sample every 5 s, counted from the first page served.
# The monitor runs with -s 1 inside a detached tmux session on a private
# socket; lighttpd on 127.0.0.1 (a free port) serves the page as a static
# file at /cgi-bin/statuswml.cgi, so no CGI runs. PAGE_OPTIONS (environment) replaces the generator options of the
# page (default: the largest postfield page with 10 % of hosts DOWN).
# Prints every sample, then start and end VmRSS, the peak (VmHWM) and how
# many pages were served and what the screen showed last. Everything it
# starts is stopped by its pid.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ $# -lt 1 ] || [ ! -x "$1" ]; then
  echo "usage: $0 ORVEK_BINARY [DURATION_SECONDS] [SAMPLE_SECONDS]" >&2
  exit 2
fi
orvek="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
duration="${2:-60}"
interval="${3:-5}"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
page_options="${PAGE_OPTIONS:---target-bytes 3510720 --services 5 --down 0.1 --form postfield}"

work="$(mktemp -d /tmp/orvek-memory.XXXXXX)"
socket="orvek-memory-$$"
lighttpd_pid=""
tmux_pid=""
orvek_pid=""
cleanup() {
  if [ -n "$orvek_pid" ]; then kill "$orvek_pid" 2>/dev/null || true; fi
  if [ -n "$tmux_pid" ]; then kill "$tmux_pid" 2>/dev/null || true; fi
  if [ -n "$lighttpd_pid" ]; then
    kill "$lighttpd_pid" 2>/dev/null || true
    wait "$lighttpd_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/docroot/cgi-bin"
# shellcheck disable=SC2086  # the option list is meant to split
"$python" "$here/make_page.py" $page_options --seed 1 -o "$work/docroot/cgi-bin/statuswml.cgi" 2>"$work/page.txt"
port="$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"

cat >"$work/lighttpd.conf" <<EOF
server.document-root = "$work/docroot"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/lighttpd-error.log"
server.modules = ( "mod_accesslog" )
accesslog.filename = "$work/access.log"
mimetype.assign = ( "" => "text/vnd.wap.wml" )
EOF
lighttpd -D -f "$work/lighttpd.conf" &
lighttpd_pid=$!
for _ in $(seq 50); do
  "$python" -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
  sleep 0.1
done

printf 'server http://127.0.0.1:%s\nnewcgi true\n' "$port" >"$work/orvek.conf"
tmux -L "$socket" -f /dev/null new-session -d -x 200 -y 50 "exec '$orvek' -c '$work/orvek.conf' -s 1"
tmux_pid="$(tmux -L "$socket" display-message -p '#{pid}')"
orvek_pid="$(tmux -L "$socket" list-panes -F '#{pane_pid}')"

# The clock starts when the first page has been served.
for _ in $(seq 300); do
  [ -s "$work/access.log" ] && break
  sleep 0.1
done
if [ ! -s "$work/access.log" ]; then
  echo "measure_memory.sh: orvek fetched no page within 30 s" >&2
  exit 1
fi

field() { awk -v key="$1:" '$1 == key { print $2 }' "/proc/$orvek_pid/status" 2>/dev/null; }

page_info="$(cat "$work/page.txt")"
echo "orvek memory, $(date -u +%Y-%m-%d), page ${page_info#make_page: }, ${duration} s, -s 1"
echo "seconds  VmRSS_kB  VmHWM_kB"
start_rss=""
end_rss=""
peak=""
elapsed=0
while :; do
  if [ ! -e "/proc/$orvek_pid/status" ]; then
    echo "measure_memory.sh: orvek (pid $orvek_pid) has ended" >&2
    exit 1
  fi
  rss="$(field VmRSS)"
  peak="$(field VmHWM)"
  [ -n "$start_rss" ] || start_rss="$rss"
  end_rss="$rss"
  printf '%7d  %8s  %8s\n' "$elapsed" "$rss" "$peak"
  [ "$elapsed" -lt "$duration" ] || break
  step=$((duration - elapsed < interval ? duration - elapsed : interval))
  sleep "$step"
  elapsed=$((elapsed + step))
done

served="$(wc -l <"$work/access.log" 2>/dev/null || echo 0)"
screen="$(tmux -L "$socket" capture-pane -p -t "$(tmux -L "$socket" list-panes -F '#{pane_id}')")"
# What the last frame showed: the report (labels), the banner, or nothing.
shows="blank"
if grep -q 'No connection to server!' <<<"$screen"; then
  shows="banner"
elif grep -q '[^[:space:]]' <<<"$screen"; then
  shows="report"
fi
echo "start_rss_kB=$start_rss end_rss_kB=$end_rss peak_hwm_kB=$peak pages_served=$served screen=$shows"
