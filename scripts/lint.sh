#!/usr/bin/env bash
# Static analysis of the project's own code: clang-tidy (.clang-tidy's checks) and
# cppcheck, over every source of the programs and libraries (tests, fuzz targets,
# benchmarks and generated sources left out). Fails on any finding.
#   scripts/lint.sh BUILD_DIR   (a configured build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/compile_commands.json" ] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
# The generated scanners and parsers must exist for the sources that include them.
ninja -C "$build" jobshaper_lib >/dev/null

mapfile -t sources < <(git ls-files -- '*.cc' | grep -Ev '(_test|_fuzz)\.cc$|^(tests|bench|sample)/')
jobs=$(nproc 2>/dev/null || echo 2)

echo "clang-tidy: ${#sources[@]} files"
printf '%s\n' "${sources[@]}" |
  (xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null || true) |
  tee "$build/clang-tidy.log" | grep -E 'warning:|error:' && {
    echo "clang-tidy found the above"
    exit 1
  }

echo "cppcheck: ${#sources[@]} files"
cppcheck --std=c++20 --language=c++ -I . -I "$build/jobshaper" --enable=warning,performance,portability \
  --inline-suppr --error-exitcode=1 --quiet --suppress=missingIncludeSystem \
  -j "$jobs" "${sources[@]}"
echo "No findings."
