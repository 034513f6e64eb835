#!/bin/sh
# laneremove: removes a print queue's definitions from both places they are read.
. "$(dirname "$0")/lib.sh"

usage() {
  cat <<'TEXT'
Usage: laneremove QUEUE
Removes the queue QUEUE, and the CUPS queue that prints through it.
  -h   show this help
TEXT
}

plain_options "$@"
shift "$options_taken"
[ $# -eq 1 ] || usage_error "one QUEUE is needed"
queue=$1
check_name queue "$queue"
formatter=$(formatter_vqd "$queue")
transport=$(transport_vqd "$queue")
[ -e "$formatter" ] || [ -e "$transport" ] || die "queue '$queue' does not exist"
# The CUPS queue that prints through this queue goes first; one printing elsewhere
# is not this queue's.
if cups_scheduler && [ "$(cups_device "$queue")" = "$(cups_uri "$queue")" ]; then
  said=$(LC_ALL=C "$LPADMIN" -x "$queue" 2>&1) ||
    die "cannot remove the CUPS queue '$queue': $said"
fi
rm -f "$formatter" "$transport" || die "cannot remove queue '$queue'"
rmdir "${formatter%/*}" "${transport%/*}" 2>/dev/null
exit 0
