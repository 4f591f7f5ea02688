#!/usr/bin/env bash
# Sets up and runs every test: installs what is missing (Debian packages),
# then builds and runs the whole suite twice, as built normally (build/) and
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), and
# runs each fuzz target for a bounded time (ORVEK_FUZZ_SECONDS, default 60;
# 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=2

scripts/install-deps.sh

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j1
}

echo "== normal build: build/"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build: build-asan/"
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DORVEK_SANITIZE=ON

fuzz_seconds=${ORVEK_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ] && [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing, ${fuzz_seconds}s per target"
  scripts/fuzz.sh "$fuzz_seconds"
fi
echo "== all tests passed"
