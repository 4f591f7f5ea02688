#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a
# while on a copy of its seed corpus, so the committed seeds stay as they are.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]
#
# SECONDS_PER_TARGET defaults to 60, BUILD_DIR to build-fuzz. Environment:
#   FUZZ_TARGETS   the targets to run (default: all five)
#   FUZZ_PARALLEL  how many targets run at once, each single-threaded (default 1)
#
# Prints executions, final coverage and crashes per target, writes the same as
# a Markdown table to BUILD_DIR/fuzz-results.md, and exits non-zero when any
# target crashed. Crashing inputs are kept in BUILD_DIR/fuzz-crashes/<target>/.
set -euo pipefail

seconds="${1:-60}"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${2:-build-fuzz}"
case "$build" in /*) ;; *) build="$repo/$build" ;; esac
targets=(${FUZZ_TARGETS:-fuzz_config fuzz_exclude fuzz_command_line fuzz_frame fuzz_rows})
parallel="${FUZZ_PARALLEL:-1}"

if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 [SECONDS_PER_TARGET] [BUILD_DIR]" >&2
  exit 2
fi

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DORVEK_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

# Per target: longer inputs only where the seeds need them. A page of a few
# dozen problem lines already fills several report columns; the report pass
# compares every host with every line, so far longer bodies only slow the
# search down.
extra_args() {
  case "$1" in
    fuzz_frame) echo "-max_len=8192" ;;
    *) echo "" ;;
  esac
}

run_target() {
  local target="$1"
  local work="$build/fuzz-run/$target"
  local crashes="$build/fuzz-crashes/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/tmp" "$crashes"
  cp -R "$repo/fuzz/corpus/$target/." "$work/corpus/"
  touch "$work/started"
  local dict=()
  [ -f "$repo/fuzz/dictionaries/$target.dict" ] && dict=("-dict=$repo/fuzz/dictionaries/$target.dict")
  local status=0
  # shellcheck disable=SC2046
  TMPDIR="$work/tmp" "$build/fuzz/$target" "$work/corpus" "${dict[@]}" $(extra_args "$target") \
    -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$crashes/" >"$work/log" 2>&1 || status=$?
  echo "$status" >"$work/status"
}

# The inputs a run left behind: crashes, leaks, timeouts and out-of-memory
# cases (slow units are only reported, not failures).
new_artifacts() {
  find "$build/fuzz-crashes/$1" -type f -newer "$build/fuzz-run/$1/started" \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort
}

# Start the runs, at most $parallel at a time.
running=0
for target in "${targets[@]}"; do
  if ((running >= parallel)); then
    wait -n || true
    running=$((running - 1))
  fi
  echo "== $target: ${seconds}s"
  run_target "$target" &
  running=$((running + 1))
done
wait || true

results="$build/fuzz-results.md"
{
  echo "| target | seconds | executions | exec/s | cov | ft | corpus (seeds -> end) | crashes |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|"
} >"$results"

failed=0
for target in "${targets[@]}"; do
  work="$build/fuzz-run/$target"
  log="$work/log"
  status=$(cat "$work/status" 2>/dev/null || echo 1)
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ -z "$execs" ]; then
    execs=$(grep -Eo '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  fi
  execs="${execs:-0}"
  last=$(grep -E ' cov: [0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  seeds=$(find "$repo/fuzz/corpus/$target" -type f | wc -l)
  corpus=$(find "$work/corpus" -type f | wc -l)
  artifacts=$(new_artifacts "$target")
  found=$(grep -c . <<<"$artifacts" || true)
  if ((status != 0 && found == 0)); then
    # A run that ended badly without leaving an input (it did not start, or
    # was killed) still counts as a failure.
    found=1
  fi
  rate=$((execs / seconds))
  echo "$target: executions $execs ($rate/s), cov ${cov:-?}, ft ${ft:-?}, corpus $seeds -> $corpus, crashes $found"
  echo "| $target | $seconds | $execs | $rate | ${cov:-?} | ${ft:-?} | $seeds -> $corpus | $found |" >>"$results"
  if ((found > 0)); then
    failed=1
    echo "  log: $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*check failed|.*runtime error)' "$log" | head -5 | sed 's/^/  /' || true
    [ -n "$artifacts" ] && sed "s|^|  input: |; s|\$| (replay: $build/fuzz/$target FILE)|" <<<"$artifacts"
  fi
done
echo "results: $results"
exit "$failed"
