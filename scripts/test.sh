#!/usr/bin/env bash
# Sets up and runs every test: installs what is missing (Debian packages),
# then builds and runs the whole suite twice, as built normally (build/) and
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), builds
# with clang++ in Release (build-clang/) and runs the unit tests there, and
# runs each fuzz target for a bounded time (ORVEK_FUZZ_SECONDS, default 60;
# 0 skips fuzzing). Every build treats warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=2

scripts/install-deps.sh

# run_suite DIR [ctest options] -- [cmake options]
run_suite() {
  local dir=$1; shift
  local select=()
  while [ "$1" != "--" ]; do select+=("$1"); shift; done
  shift
  cmake -S . -B "$dir" -DORVEK_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j1 "${select[@]}"
}

echo "== normal build: build/"
run_suite build -- -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build: build-asan/"
run_suite build-asan -- -DCMAKE_BUILD_TYPE=Debug -DORVEK_SANITIZE=ON
# A second compiler and the optimiser's own warnings; the unit tests show the
# code it made behaves the same.
echo "== clang++ Release build, unit tests: build-clang/"
run_suite build-clang -L unit -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++

fuzz_seconds=${ORVEK_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ] && [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing, ${fuzz_seconds}s per target"
  scripts/fuzz.sh "$fuzz_seconds"
fi
echo "== all tests passed"
