#!/usr/bin/env bash
# Builds the suite and runs its main job on the sample tree: a small text job is
# formatted by jobshaper for the sample PCL queue (the bytes produced are shown), then
# delivered by netfeeder, with the command line that linebuilder builds for the
# queue's device, to a local test printer on a loopback address.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh

cmake -S . -B build -G Ninja >/dev/null
ninja -C build jobshaper make_sample_tree linebuilder netfeeder test_printer

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

echo
echo "== linebuilder -q sample_pcl -u demo -h localhost -j 'Demo job'"
# The agent goes where the command line names it: the tool directory of the tree.
mkdir -p "$root/usr/corvtools/bin"
cp build/netfeeder/netfeeder "$root/usr/corvtools/bin/netfeeder"
command=$(build/linebuilder/linebuilder -q sample_pcl -u demo -h localhost -j 'Demo job')
echo "$command"

printer=127.0.0.9
echo
echo "== The job from jobshaper through that command to a test printer on $printer"
build/sample/test_printer -o "$root/printer.out" "$printer"
# The interface script of a queue runs the line through a shell, as here; linebuilder
# quotes whatever came from the job's submitter.
if build/jobshaper/jobshaper -q sample_pcl -f "$root/job.txt" -s 'Demo job' -u demo -h localhost |
  sh -c "$command"; then
  status=0
else
  status=$?
fi
echo "netfeeder exited with status $status; the printer received $(wc -c <"$root/printer.out") bytes:"
od -c "$root/printer.out"
if cmp -s "$root/job.out" "$root/printer.out"; then
  echo "The printer received exactly what jobshaper produced."
else
  echo "The printer's bytes differ from jobshaper's output." >&2
  exit 1
fi
