#!/usr/bin/env bash
# Checks the formatting, then builds the suite and runs every test twice: a normal
# build with warnings as errors, and a build under AddressSanitizer and
# UndefinedBehaviorSanitizer; then the static analysis (clang-tidy, cppcheck) and every
# fuzz target for 20 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Format check"
bash scripts/format.sh
echo "== Manual pages"
sh man/check_pages.sh

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DQUINTARO_WERROR=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@" >/dev/null
  ninja -C "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== Normal build"
run_suite build
echo "== AddressSanitizer and UndefinedBehaviorSanitizer build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DQUINTARO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
echo "== Static analysis"
bash scripts/lint.sh build
bash scripts/fuzz.sh 20
echo "== All tests passed"
