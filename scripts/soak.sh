#!/usr/bin/env bash
# Soak run: orvek refreshing without pause (-s 0) for SECONDS (default 60)
# against a local lighttpd whose page keeps changing, answering 503 or
# stopping now and then. Samples orvek's resident memory and open files;
# fails if orvek dies, if its RSS grows after the warm-up by more than
# 1 MiB or 10 % (whichever is larger), or if it holds more files at the end.
# Prints a one-line summary and a markdown table row.
#
#   scripts/soak.sh [SECONDS] [BUILD_DIR]     (BUILD_DIR default: build)
#   ORVEK_SOAK_SAMPLES=file keeps every sample (time, requests, RSS, HWM, files, sockets).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
build="${2:-$root/build}"
exec /usr/bin/python3 "$root/scripts/soak.py" "$seconds" "$build"
