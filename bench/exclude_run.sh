#!/usr/bin/env bash
# Times a frame of the largest postfield page with exclude lists of growing
# length, for one or more builds side by side, printing a Markdown table.
#
#   bench/exclude_run.sh [LABEL=]BUILD_DIR...      (default: build)
#
# The page and the exclude files go to the first BUILD_DIR/bench/pages and
# are reused while newer than their generators. For each list length every
# build runs in turn, so a change in the machine's load falls on all of
# them alike. Environment: ENTRIES (default "0 1000 20000 200000"; 0 means
# no --exclude at all), REPEAT frames per run (default 5).
# A cell reads: median frame ms (times the frame without an exclude file of
# the same build), then the list's load time and the process's peak RSS.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
[ $# -gt 0 ] || set -- "$here/../build"
repeat="${REPEAT:-5}"
read -r -a sizes <<<"${ENTRIES:-0 1000 20000 200000}"

labels=()
benches=()
for argument in "$@"; do
  if [[ "$argument" == *=* ]]; then
    label="${argument%%=*}"
    build="${argument#*=}"
  else
    build="$argument"
    label="$(basename "$build")"
  fi
  if [ ! -x "$build/bench/orvek-frame-bench" ]; then
    echo "exclude_run.sh: no $build/bench/orvek-frame-bench; build first" >&2
    exit 1
  fi
  labels+=("$label")
  benches+=("$build/bench/orvek-frame-bench")
done

first_build="$(dirname "$(dirname "${benches[0]}")")"
pages="$first_build/bench/pages"
mkdir -p "$pages"
page="$pages/max-postfield.wml"
[ "$page" -nt "$here/make_page.py" ] ||
  "$python" "$here/make_page.py" --target-bytes 3510720 --services 5 --down 0.1 --form postfield --seed 1 \
    -o "$page" 2>/dev/null

echo "orvek exclude-list bench, $(date -u +%Y-%m-%d), $(nproc) cores, max-postfield page, $repeat frames a run"
echo
header="| entries | file bytes |"
rule="|---:|---:|"
for label in "${labels[@]}"; do
  header+=" $label: frame ms | $label: load ms, peak RSS kB |"
  rule+="---:|---:|"
done
echo "$header"
echo "$rule"

declare -A base
for size in "${sizes[@]}"; do
  exclude=()
  bytes="-"
  if [ "$size" -gt 0 ]; then
    list="$pages/exclude-$size.txt"
    if [ ! "$list" -nt "$here/make_exclude.py" ] || [ ! "$list" -nt "$page" ]; then
      "$python" "$here/make_exclude.py" --entries "$size" --page "$page" --seed 1 -o "$list" 2>/dev/null
    fi
    exclude=(--exclude "$list")
    bytes="$(stat -c %s "$list")"
  fi
  row="| $size | $bytes |"
  for k in "${!benches[@]}"; do
    usage="$(mktemp)"
    result="$(/usr/bin/time -f %M -o "$usage" "${benches[$k]}" "$page" --newcgi --repeat "$repeat" "${exclude[@]}" \
      2>&1 >/dev/null)"
    rss="$(tail -1 "$usage")"
    rm -f "$usage"
    if [[ ! "$result" =~ ^frame_ms=([0-9.]+)\ lines=[0-9]+( entries=([0-9]+)\ load_ms=([0-9.]+))?$ ]]; then
      echo "exclude_run.sh: ${labels[$k]}, $size entries: $result" >&2
      exit 1
    fi
    frame="${BASH_REMATCH[1]}"
    load="${BASH_REMATCH[4]:-0}"
    if [ "$size" -gt 0 ] && [ "${BASH_REMATCH[3]}" != "$size" ]; then
      echo "exclude_run.sh: ${labels[$k]} loaded ${BASH_REMATCH[3]} of $size entries" >&2
      exit 1
    fi
    if [ "$size" -eq 0 ]; then
      base[$k]="$frame"
      row+=" $frame |"
    else
      row+=" $frame ($(awk -v a="$frame" -v b="${base[$k]:-0}" 'BEGIN { if (b > 0) printf "%.1f×", a / b; else printf "?" }')) |"
    fi
    row+=" $load, $rss |"
  done
  echo "$row"
done
