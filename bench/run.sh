#!/usr/bin/env bash
# Generates the standard pages and times one frame on each with
# orvek-frame-bench, printing a table (Markdown, ready for bench/README.md).
#
#   bench/run.sh [BUILD_DIR]          (default: build, next to this folder)
#
# Pages go to BUILD_DIR/bench/pages and are reused while newer than the
# generator.
# Frames per page (the median is reported) can be changed with
# REPEAT_SMALL (default 20), REPEAT_MEDIUM (5) and REPEAT_LARGE (3). The
# commit named in the heading is that of the sources BUILD_DIR was configured
# from; COMMIT (environment) names it where they are not a git checkout.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:-$here/../build}"
bench="$build/bench/orvek-frame-bench"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
if [ ! -x "$bench" ]; then
  echo "run.sh: no $bench; build first: cmake -S . -B build && cmake --build build -j2" >&2
  exit 1
fi
pages="$build/bench/pages"
mkdir -p "$pages"

limit=3510720
# name | generator options | bench options | repeat
cases=(
  "1k-postfield|--hosts 200 --services 5 --down 0.1 --form postfield|--newcgi|${REPEAT_SMALL:-20}"
  "8k-postfield|--hosts 1560 --services 5 --down 0.1 --form postfield|--newcgi|${REPEAT_MEDIUM:-5}"
  "max-postfield|--target-bytes $limit --services 5 --down 0.1 --form postfield|--newcgi|${REPEAT_LARGE:-3}"
  "max-cell|--target-bytes $limit --services 5 --down 0.1 --form cell||${REPEAT_LARGE:-3}"
  "max-rows|--target-bytes $limit --services 5 --down 0.1 --form rows||${REPEAT_LARGE:-3}"
)

source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null)"
commit="${COMMIT:-$(git -C "${source_dir:-$here}" rev-parse --short HEAD 2>/dev/null || echo unknown)}"
echo "orvek frame bench, $(date -u +%Y-%m-%d), commit $commit, $(nproc) cores"
echo
echo "| page | bytes | problem lines | frames | median frame (ms) |"
echo "|---|---:|---:|---:|---:|"
for case in "${cases[@]}"; do
  IFS='|' read -r name generate options repeat <<<"$case"
  page="$pages/$name.wml"
  # shellcheck disable=SC2086  # the option lists are meant to split
  [ "$page" -nt "$here/make_page.py" ] || "$python" "$here/make_page.py" $generate --seed 1 -o "$page" 2>/dev/null
  # shellcheck disable=SC2086
  result="$("$bench" "$page" $options --repeat "$repeat" 2>&1 >/dev/null)"
  if [[ ! "$result" =~ ^frame_ms=([0-9.]+)\ lines=([0-9]+)$ ]]; then
    echo "run.sh: $name: $result" >&2
    exit 1
  fi
  printf '| %s | %s | %s | %s | %s |\n' "$name" "$(stat -c %s "$page")" "${BASH_REMATCH[2]}" "$repeat" \
    "${BASH_REMATCH[1]}"
done
