#!/usr/bin/env bash
# Sets up, builds and runs every test (unit and end-to-end).
# With --sanitize: the same tests on clang's AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh "$@"
scripts/setup_mcp_clients.sh
build=build
[ "${1:-}" = "--sanitize" ] && build=build-sanitize
echo "==> Building the tests (and what is not built yet) in $build/"
scripts/build.sh "$build"
echo "==> Running the tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j 2
