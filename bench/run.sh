#!/usr/bin/env bash
# Benchmarks of the job formatter, run by hand: bench/run.sh [BUILD_DIR]
#  (a) copying a 1 GiB job from a file into a pipe: jobshaper against dd bs=8192 and cat;
#  (b) the wall time of formatting a small job, against cat of the same file;
#  (c) the same for a queue whose PDD has 40 options of 12 choices, all sent;
#  (d) the time of one job whose prologue holds 40,000 different expressions.
set -euo pipefail
. "$(dirname "$0")/timing.sh"
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
build="$(cd "$build" && pwd)"
jobshaper="$build/jobshaper/jobshaper"
make_tree="$build/bench/make_bench_tree"
[ -x "$jobshaper" ] && [ -x "$make_tree" ] ||
  { echo "build first: ninja -C $build jobshaper make_bench_tree"; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/quintaro-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$make_tree" "$work/root"
export QUINTARO_ROOT="$work/root"


size_mib=${BENCH_MIB:-1024}
echo "== (a) copying a ${size_mib} MiB job into a pipe"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/big"
cat "$work/big" >/dev/null  # into the page cache

copy_jobshaper() { "$jobshaper" -q sample_pcl -f "$work/big" | cat >/dev/null; }
copy_dd() { dd if="$work/big" bs=8192 status=none | cat >/dev/null; }
copy_cat() { cat "$work/big" | cat >/dev/null; }
tj=$(best copy_jobshaper)
td=$(best copy_dd)
tc=$(best copy_cat)
mbps() { calc "$size_mib / $1"; }
printf '  jobshaper     %8.3f s  %8.1f MiB/s\n' "$tj" "$(mbps "$tj")"
printf '  dd bs=8192    %8.3f s  %8.1f MiB/s\n' "$td" "$(mbps "$td")"
printf '  cat           %8.3f s  %8.1f MiB/s\n' "$tc" "$(mbps "$tc")"
printf '  jobshaper throughput / dd throughput = %.2f (aim: at least 0.9)\n' \
  "$(calc "$td / $tj")"
rm -f "$work/big"

runs=${BENCH_RUNS:-500}
echo "== (b) formatting a small job, $runs runs"
printf 'A small job.\n' >"$work/small"
small_job() {  # QUEUE LABEL
  local queue=$1 label=$2 sj sc
  many_jobshaper() {
    for ((i = 0; i < runs; i++)); do "$jobshaper" -q "$queue" -f "$work/small" >/dev/null; done
  }
  many_cat() { for ((i = 0; i < runs; i++)); do cat "$work/small" >/dev/null; done; }
  sj=$(timed many_jobshaper)
  sc=$(timed many_cat)
  printf '  jobshaper     %8.3f ms per job\n' "$(calc "$sj * 1000 / $runs")"
  printf '  cat           %8.3f ms per job\n' "$(calc "$sc * 1000 / $runs")"
  printf '  jobshaper time / cat time = %.2f (%s)\n' "$(calc "$sj / $sc")" "$label"
}
small_job sample_pcl "aim: at most 2"

echo "== (c) formatting a small job for a queue with 40 options of 12 choices, $runs runs"
small_job bench40 "aim: at most 1.5"

echo "== (d) one job whose prologue holds 40,000 different expressions"
expressions() { "$jobshaper" -q expr40k -f "$work/small" >/dev/null; }
printf '  jobshaper     %8.3f s (aim: well under a second)\n' "$(best expressions)"
