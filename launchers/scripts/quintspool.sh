#!/bin/sh
# quintspool: the spool overview: every queue with its device, and whether the
# device's printer answers on its port.
. "$(dirname "$0")/lib.sh"

case ${1:-} in
  -h)
    printf 'Usage: quintspool\nShows each queue, its device and whether the printer answers.\n'
    exit 0
    ;;
  '') ;;
  *) usage_error "no arguments are taken" ;;
esac

# answers HOST PORT: whether a TCP connection to the port opens within 2 seconds.
# The host and port reach the probe as arguments, never as shell code.
answers() {
  # shellcheck disable=SC2016  # $1 and $2 are expanded by that shell, as arguments
  timeout 2 bash -c 'exec 3<>"/dev/tcp/$1/$2"' probe "$1" "$2" 2>/dev/null
}

printf '%-20s %-20s %s\n' QUEUE DEVICE PRINTER
for dir in "$TRANSPORT_QUEUES"/*/; do
  [ -d "$dir" ] || continue
  queue=${dir%/}
  queue=${queue##*/}
  device=$(definition "$dir.$queue" device_name)
  vdd=$(device_vdd "$device")
  state="no device"
  if [ -n "$device" ] && [ -f "$vdd" ]; then
    case $(definition "$vdd" transport_type) in
      network)
        host=$(definition "$vdd" network_host)
        port=9100
        [ -n "$(definition "$vdd" tarragon_ports)" ] && port=9400
        if answers "$host" "$port"; then
          state="answers on $host:$port"
        else
          state="does not answer on $host:$port"
        fi
        ;;
      serial | parallel | usb)
        kind=$(definition "$vdd" transport_type)
        file=$(definition "$vdd" "${kind}_device")
        case $file in '' | other) file=$(definition "$vdd" "other_${kind}_device") ;; esac
        if [ -c "$file" ]; then state="present at $file"; else state="missing at $file"; fi
        ;;
      *) state="unknown transport" ;;
    esac
  fi
  printf '%-20s %-20s %s\n' "$queue" "${device:--}" "$state"
done
