#!/usr/bin/env bash
# Makes docs/screenshot.png: a real capture of orvek in a terminal, showing a
# busy frame (three report columns, every colour, the red alarm background).
#
#   the demo status server (lighttpd) serves docs/screenshot-page.wml, behind
#   Digest authentication with the sample's credentials (demo/demo);
#   orvek (build/orvek, or $ORVEK) runs with docs/orvek.conf.sample, pointed
#   at that server, in a tmux session of 160x40 on a private socket;
#   tmux capture-pane -e gives the frame with its colours, aha turns it into
#   HTML, and headless Chromium renders that to PNG.
#
# usage: scripts/screenshot.sh [output.png]
# Needs the Debian packages lighttpd tmux aha chromium fonts-dejavu-core
# python3 (none of them is needed to build or test orvek).
set -euo pipefail
# The fetch goes to 127.0.0.1 directly, whatever proxy the caller has set.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY

root=$(cd "$(dirname "$0")/.." && pwd)
orvek=${ORVEK:-$root/build/orvek}
output=${1:-$root/docs/screenshot.png}
columns=160
rows=40
# DejaVu Sans Mono at 14px: 8.43px a cell, 17px a row, and a 10px margin.
window_width=1370
window_height=700

for tool in lighttpd tmux aha chromium python3; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing (apt-get install lighttpd tmux aha chromium fonts-dejavu-core python3)" >&2; exit 1; }
done
[ -x "$orvek" ] || { echo "screenshot.sh: no orvek binary at $orvek (build it, or set ORVEK)" >&2; exit 1; }
orvek=$(cd "$(dirname "$orvek")" && pwd)/$(basename "$orvek")
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")

work=$(mktemp -d)
socket=$work/tmux.sock
lighttpd_pid=""
tmux_pid=""
orvek_pid=""

cleanup() {
  [ -n "$orvek_pid" ] && kill "$orvek_pid" 2>/dev/null || true
  [ -n "$tmux_pid" ] && kill "$tmux_pid" 2>/dev/null || true
  [ -n "$lighttpd_pid" ] && kill "$lighttpd_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- the status server ------------------------------------------------------
mkdir -p "$work/run"
read -r lighttpd_pid port < <(python3 "$root/scripts/demo/serve.py" "$work/server" 0 --page "$root/docs/screenshot-page.wml")
[ -n "$port" ] || { echo "screenshot.sh: the status server did not start" >&2; exit 1; }

# The sample configuration as shipped, pointed at this server.
sed "s|^server .*|server http://127.0.0.1:$port|" "$root/docs/orvek.conf.sample" >"$work/run/orvek.conf"

# --- orvek in a terminal ----------------------------------------------------
tmux -S "$socket" -f /dev/null new-session -d -x "$columns" -y "$rows" -s shot \
  "cd '$work/run' && exec '$orvek' -s 60"
tmux_pid=$(tmux -S "$socket" display-message -p -t shot '#{pid}')
orvek_pid=$(tmux -S "$socket" display-message -p -t shot '#{pane_pid}')

# The frame is complete once the last host of the page is on the screen.
for _ in $(seq 100); do
  screen=$(tmux -S "$socket" capture-pane -p -t shot)
  grep -q "k8s-node4" <<<"$screen" && grep -q "Pod Count" <<<"$screen" && break
  sleep 0.1
done
grep -q "Pod Count" <<<"$screen" || { printf '%s\n' "$screen" >&2; echo "screenshot.sh: no complete frame" >&2; exit 1; }
sleep 0.5
tmux -S "$socket" capture-pane -p -e -N -t shot >"$work/screen.ansi"

kill "$orvek_pid" 2>/dev/null || true
orvek_pid=""
kill "$tmux_pid" 2>/dev/null || true
tmux_pid=""
kill "$lighttpd_pid" 2>/dev/null || true
lighttpd_pid=""

# --- ANSI to HTML to PNG ----------------------------------------------------
# aha names colours by class; the classes get a terminal's eight colours
# here. aha calls SGR 30 (black) "dimgray".
{
  cat <<'EOF'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>orvek</title>
<style>
html, body { margin: 0; background: #000; }
body { padding: 10px; }
pre { margin: 0; font-family: "DejaVu Sans Mono", monospace; font-size: 14px;
      line-height: 17px; color: #e5e5e5; background: #000; }
.dimgray, .inverted { color: #000; }
.red { color: #cd0000; } .green { color: #00cd00; } .yellow { color: #cdcd00; }
.blue { color: #0000ee; } .purple { color: #cd00cd; } .cyan { color: #00cdcd; }
.white, .reset { color: #e5e5e5; }
.bg-black, .bg-reset { background-color: #000; } .bg-red { background-color: #cd0000; }
.bg-green { background-color: #00cd00; } .bg-yellow { background-color: #cdcd00; }
.bg-blue { background-color: #0000ee; } .bg-purple { background-color: #cd00cd; }
.bg-cyan { background-color: #00cdcd; } .bg-white, .bg-inverted { background-color: #e5e5e5; }
.bold { font-weight: bold; }
/* Cells fill the whole row height, as on a terminal: no seams between rows. */
pre span { display: inline-block; height: 17px; vertical-align: top; }
</style></head><body><pre>
EOF
  # A span that runs over a line end is cut there, so that each span can be
  # an inline block as tall as a terminal row.
  aha --stylesheet --no-header <"$work/screen.ansi" | python3 -c '
import re, sys
html = sys.stdin.read()
def cut(match):
    opening, text = match.group(1), match.group(2)
    return opening + text.replace("\n", "</span>\n" + opening) + "</span>"
sys.stdout.write(re.sub(r"(<span[^>]*>)(.*?)</span>", cut, html, flags=re.S))
'
  echo '</pre></body></html>'
} >"$work/screen.html"

mkdir -p "$work/chromium-profile"
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --user-data-dir="$work/chromium-profile" \
  --window-size="$window_width,$window_height" --screenshot="$output" \
  "file://$work/screen.html" >"$work/chromium.log" 2>&1 ||
  { cat "$work/chromium.log" >&2; echo "screenshot.sh: chromium failed" >&2; exit 1; }
[ -s "$output" ] || { cat "$work/chromium.log" >&2; echo "screenshot.sh: no PNG written" >&2; exit 1; }
echo "screenshot.sh: wrote $output"
