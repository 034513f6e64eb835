#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz, QUINTARO_FUZZ) and runs each
# for SECONDS (default 20) on a copy of its seed corpus, two at a time. Fails on any
# crash, leak, time-out (one input taking more than a second), memory blow-up or
# sanitizer report, naming the target, the reproducer and the command that replays
# it. Usage: bash scripts/fuzz.sh [SECONDS [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
case $seconds in '' | *[!0-9]*) echo "usage: $0 [SECONDS [TARGET...]]" >&2; exit 2 ;; esac

bash scripts/deps.sh

build=build-fuzz
echo "== Fuzz build (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S . -B "$build" -G Ninja -DQUINTARO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j "$(nproc 2>/dev/null || echo 2)" fuzz

# Every target with its committed corpus, as the build lists them.
declare -A corpus_of=()
targets=()
while read -r name corpus; do
  corpus_of[$name]=$corpus
  targets+=("$name")
done <"$build/fuzz/targets.txt"
if [ $# -gt 0 ]; then
  for name in "$@"; do
    [ -n "${corpus_of[$name]:-}" ] || { echo "unknown fuzz target: $name" >&2; exit 2; }
  done
  targets=("$@")
fi

# Leaks and every sanitizer report end the run; libFuzzer keeps the input that did it.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d "${TMPDIR:-/tmp}/quintaro-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
results=$PWD/$build/fuzz/results
rm -rf "$results"
mkdir -p "$results"
flags=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1)

# One target: its corpus copied into a scratch folder, the fuzzer's log and any
# reproducer in results/TARGET/. The exit status is the fuzzer's.
run_target() {
  local name=$1
  local corpus=$work/$name out=$results/$name
  mkdir -p "$corpus" "$out"
  cp -r "${corpus_of[$name]}/." "$corpus/"
  "$build/fuzz/$name" "${flags[@]}" -close_fd_mask=3 -artifact_prefix="$out/" "$corpus" \
    >"$out/log" 2>&1
}

echo "== Fuzzing ${#targets[@]} targets for ${seconds} s each"
jobs_at_once=2
declare -A pid_of=()
failed=()
report() {
  local name=$1 status=$2
  local reproducer
  reproducer=$(find "$results/$name" -maxdepth 1 -type f \
    \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | head -n 1)
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$results/$name/log" | tail -n 1)
  if [ "$status" -eq 0 ] && [ -z "$reproducer" ]; then
    echo "   ok   $name (${runs:-?} runs)"
    return
  fi
  failed+=("$name")
  echo "   FAIL $name (status $status)"
  grep -m 12 -E 'ERROR: |SUMMARY: |runtime error|deadly signal|timeout|leak' \
    "$results/$name/log" | sed 's/^/        /' || true
  echo "        log: $results/$name/log"
  if [ -n "$reproducer" ]; then
    # The bytes too, so that a log that outlives the machine still holds the input.
    echo "        reproducer: $reproducer ($(stat -c %s "$reproducer") bytes), in base64:"
    base64 -w 76 "$reproducer" | head -n 200 | sed 's/^/        /'
    echo "        re-run: $build/fuzz/$name -timeout=1 -rss_limit_mb=2048 $reproducer"
  fi
}
wait_for_one() {
  local done_pid status name
  status=0
  wait -n -p done_pid || status=$?
  for name in "${!pid_of[@]}"; do
    if [ "${pid_of[$name]}" = "$done_pid" ]; then
      unset "pid_of[$name]"
      report "$name" "$status"
    fi
  done
}
for name in "${targets[@]}"; do
  while [ ${#pid_of[@]} -ge $jobs_at_once ]; do wait_for_one; done
  run_target "$name" &
  pid_of[$name]=$!
done
while [ ${#pid_of[@]} -gt 0 ]; do wait_for_one; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "== Fuzzing found faults in: ${failed[*]}"
  echo "   Fix the fault, then add the reproducer to the target's corpus (FOLDER/fuzz/TARGET/)."
  exit 1
fi
echo "== Fuzzing found nothing"
