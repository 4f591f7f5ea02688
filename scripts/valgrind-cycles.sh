#!/usr/bin/env bash
# Runs orvek (the normal build, not the sanitizer one) under valgrind's
# memcheck for a few refresh cycles against a local lighttpd: successful
# fetches, then failing ones, then SIGTERM. Fails on any invalid access,
# use of uninitialised memory or definite leak. One-time allocations of
# the libraries are kept out by scripts/valgrind.supp.
#
#   scripts/valgrind-cycles.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
exec /usr/bin/python3 "$root/scripts/valgrind_cycles.py" "$build"
