#!/usr/bin/env bash
# Builds the suite and runs its main job on the sample tree: a small text job is
# formatted by jobshaper for the sample PCL queue, and the bytes produced are shown.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

cmake -S . -B build -G Ninja >/dev/null
ninja -C build jobshaper make_sample_tree

root="${DEMO_ROOT:-$PWD/demo-root}"
rm -rf "$root"
mkdir -p "$root"
build/sample/make_sample_tree "$root"
export QUINTARO_ROOT="$root"

printf 'Hello from the sample queue.\nThis is a small text job.\n' >"$root/job.txt"

vqd="$root/var/spool/printer/unix_prt_drivers/vir_queues/sample_pcl/.sample_pcl"
echo "== The sample queue's definition ($vqd)"
cat "$vqd"
echo
echo "== jobshaper -q sample_pcl -f job.txt -s 'Demo job' -u demo -h localhost"
build/jobshaper/jobshaper -q sample_pcl -f "$root/job.txt" -s 'Demo job' -u demo -h localhost \
  >"$root/job.out"
echo "jobshaper exited with status $?; it wrote $(wc -c <"$root/job.out") bytes:"
od -c "$root/job.out"
