#!/usr/bin/env bash
# Sets up and runs every test: installs what is missing (Debian packages),
# then builds and runs the whole suite twice, as built normally (build-test/)
# and with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/),
# builds with ThreadSanitizer (build-tsan/) and runs the unit tests and the
# several servers' end-to-end tests there,
# builds with clang++ in Release (build-clang/) and with g++ in Release
# (build-release/) and runs the unit tests there, runs each fuzz target for a
# bounded time (ORVEK_FUZZ_SECONDS, default 60; 0 skips fuzzing), and last
# makes the package as the README tells a user to, in build/. Every test
# build treats warnings as errors; none of them is build/, which stays the
# user's own (the README's and the demo's builds, without -Werror).
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

echo "== normal build: build-test/"
run_suite build-test -- -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitizer build: build-asan/"
run_suite build-asan -- -DCMAKE_BUILD_TYPE=Debug -DORVEK_SANITIZE=ON
# The threads of the wall and of orvek -t under ThreadSanitizer: the unit
# tests (the mailbox's among them) and the end-to-end tests of several
# servers. The first report ends the program that made it (halt_on_error)
# and is kept in a file, so that a report fails the run even where the
# program's own end is not looked at.
echo "== ThreadSanitizer build: build-tsan/"
tsan_reports="$PWD/build-tsan/tsan-report"
mkdir -p build-tsan
rm -f "$tsan_reports".*
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 log_path=$tsan_reports"
run_suite build-tsan -L unit -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVEK_TSAN=ON
ctest --test-dir build-tsan --output-on-failure -j1 \
  -R '^e2e_(several_servers|check_several_servers|stop_at_any_moment)$'
unset TSAN_OPTIONS
if compgen -G "$tsan_reports.*" >/dev/null; then
  cat "$tsan_reports".*
  echo "ThreadSanitizer reported the races above" >&2
  exit 1
fi
# Both compilers' optimisers warn of their own (g++ 12 has false -Wrestrict
# alarms at -O2 and above that RelWithDebInfo does not show); the unit tests
# show the code they made behaves the same.
echo "== clang++ Release build, unit tests: build-clang/"
run_suite build-clang -L unit -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++
echo "== g++ Release build, unit tests: build-release/"
run_suite build-release -L unit -- -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++

fuzz_seconds=${ORVEK_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ] && [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing, ${fuzz_seconds}s per target"
  scripts/fuzz.sh "$fuzz_seconds"
fi
echo "== the README's package build after the tests: build/"
tests/readme_build_test.sh .
echo "== all tests passed"
