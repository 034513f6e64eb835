#!/usr/bin/env bash
# Benchmark of the network transport agent, run by hand:
#   bench/netfeeder_bench.sh [BUILD_DIR]
# Sends a 1 GiB file (BENCH_MIB MiB) to a loopback sink that discards what it reads
# and closes at the end of the input (test_printer on 127.0.5.200:9100), once with
# netfeeder and once with `socat -b 1024` (the same 1024-byte blocks), best of three
# runs each, and prints both throughputs and their ratio.
set -euo pipefail
. "$(dirname "$0")/timing.sh"
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
build="$(cd "$build" && pwd)"
netfeeder="$build/netfeeder/netfeeder"
printer="$build/sample/test_printer"
for program in "$netfeeder" "$printer"; do
  [ -x "$program" ] || { echo "build it first: ninja -C $build netfeeder test_printer"; exit 1; }
done
if ! command -v socat >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends socat
fi

address=127.0.5.200
work="$(mktemp -d "${TMPDIR:-/tmp}/netfeeder-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT


size_mib=${BENCH_MIB:-1024}
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$work/big"
cat "$work/big" >/dev/null  # into the page cache

# The sink listens before each sender starts (test_printer goes to the background
# once it listens) and serves exactly one connection.
send_netfeeder() {
  "$printer" -t 600 "$address"
  "$netfeeder" -f "$work/big" "$address"
}
send_socat() {
  "$printer" -t 600 "$address"
  socat -b 1024 -u "OPEN:$work/big" "TCP:$address:9100"
}

echo "== sending ${size_mib} MiB to a loopback sink in 1024-byte blocks"
tn=$(best send_netfeeder)
ts=$(best send_socat)
mbps() { calc "$size_mib / $1"; }
printf '  netfeeder       %8.3f s  %8.1f MiB/s\n' "$tn" "$(mbps "$tn")"
printf '  socat -b 1024   %8.3f s  %8.1f MiB/s\n' "$ts" "$(mbps "$ts")"
printf '  netfeeder throughput / socat throughput = %.2f (aim: at least 0.8)\n' \
  "$(calc "$ts / $tn")"
