#!/bin/sh
# portremove: removes a device definition that no queue uses.
. "$(dirname "$0")/lib.sh"

usage() {
  cat <<'TEXT'
Usage: portremove NAME
Removes the device NAME. A device that a queue prints to is not removed.
  -h   show this help
TEXT
}

plain_options "$@"
shift "$options_taken"
[ $# -eq 1 ] || usage_error "one device NAME is needed"
name=$1
check_name device "$name"
vdd=$(device_vdd "$name")
[ -f "$vdd" ] || die "device '$name' does not exist"
for dir in "$TRANSPORT_QUEUES"/*/; do
  [ -d "$dir" ] || continue
  queue=${dir%/}
  queue=${queue##*/}
  if [ "$(definition "$dir.$queue" device_name)" = "$name" ]; then
    die "device '$name' is used by queue '$queue'"
  fi
done
rm -f "$vdd" || die "cannot remove $vdd"
