#!/bin/sh
# quintaro: lists the suite's queues and devices, and shows a queue's options.
. "$(dirname "$0")/lib.sh"

usage() {
  cat <<'TEXT'
Usage: quintaro list
       quintaro show QUEUE
list shows every queue (its device, PDD and data stream) and every device (its
type and target); show lists a queue's options with settingsview.
  -h   show this help
TEXT
}

plain_options "$@"
shift "$options_taken"
[ $# -ge 1 ] || usage_error "a command is needed: list or show"

case $1 in
  list)
    [ $# -eq 1 ] || usage_error "list takes no arguments"
    printf '%-20s %-20s %-20s %s\n' QUEUE DEVICE PDD STREAM
    for dir in "$FORMATTER_QUEUES"/*/; do
      [ -d "$dir" ] || continue
      queue=${dir%/}
      queue=${queue##*/}
      vqd=$dir.$queue
      [ -f "$vqd" ] || continue
      printf '%-20s %-20s %-20s %s\n' "$queue" "$(definition "$vqd" device_name)" \
        "$(definition "$vqd" pdd)" "$(definition "$vqd" ds_list)"
    done
    printf '\n%-20s %-10s %s\n' DEVICE TYPE TARGET
    for vdd in "$DEVICES"/*; do
      [ -f "$vdd" ] || continue
      type=$(definition "$vdd" transport_type)
      case $type in
        network) target=$(definition "$vdd" network_host) ;;
        serial) target=$(definition "$vdd" serial_device) ;;
        parallel) target=$(definition "$vdd" parallel_device) ;;
        usb) target=$(definition "$vdd" usb_device) ;;
        *) target= ;;
      esac
      printf '%-20s %-10s %s\n' "${vdd##*/}" "$type" "$target"
    done
    ;;
  show)
    [ $# -eq 2 ] || usage_error "show takes one QUEUE"
    check_name queue "$2"
    exec "$QBIN/settingsview" -q "$2" -j -b
    ;;
  *) usage_error "unknown command '$1'" ;;
esac
