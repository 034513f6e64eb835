#!/bin/sh
# lanecreate: defines a print queue: its queue definition, written where the job
# formatter and the transport command builder read it.
. "$(dirname "$0")/lib.sh"

usage() {
  cat <<'TEXT'
Usage: lanecreate [-f] [-s STREAM] QUEUE DEVICE PDD [tag=value ...]
Defines the queue QUEUE printing to the device DEVICE with the compiled printer
definition PDD (a file name in the suite's PDD directory, such as laser.b). Every
option of the queue's data stream starts at the PDD's default; tag=value pairs
change them, checked as the job formatter checks -p (see settingsview). Where
CUPS runs, the CUPS queue QUEUE (device URI quintaro:/QUEUE) is created too.
  -s STREAM  the data stream, when the PDD has several (without it: the PDD's only
             stream, or automatic when it has several)
  -f         replace a queue of that name
  -h         show this help
TEXT
}

force=false stream=''
while getopts fs:hnx option; do
  case $option in
    f) force=true ;;
    s) stream=$OPTARG ;;
    h) usage; exit 0 ;;
    n | x) ;; # the application launcher's own options, passed on
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 3 ] || usage_error "QUEUE, DEVICE and PDD are needed"

queue=$1 device=$2 pdd=$3
shift 3
check_name queue "$queue"
check_name device "$device"
case $pdd in
  '' | */* | .*) die "invalid PDD '$pdd': give the name of a file in $PDD_DIR" ;;
esac
[ -f "$PDD_DIR/$pdd" ] || die "PDD '$pdd' not found in $PDD_DIR"
[ -f "$(device_vdd "$device")" ] || die "device '$device' does not exist"
for pair in "$@"; do
  case $pair in
    *=*) ;;
    *) die "'$pair' is not tag=value" ;;
  esac
  case $pair in
    *'
'*) die "a value holds a line break: '$pair'" ;;
  esac
done
formatter=$(formatter_vqd "$queue")
transport=$(transport_vqd "$queue")
if [ "$force" = false ] && { [ -e "$formatter" ] || [ -e "$transport" ]; }; then
  die "queue '$queue' exists already (use -f to replace it)"
fi
# A CUPS queue of that name that prints elsewhere is left alone unless -f says so.
cups=false
if cups_scheduler; then
  cups=true
  uri=$(cups_uri "$queue")
  current=$(cups_device "$queue")
  if [ -n "$current" ] && [ "$current" != "$uri" ] && [ "$force" = false ]; then
    die "CUPS queue '$queue' exists already and prints to $current (use -f to replace it)"
  fi
fi

# The stream's options at their defaults and the pairs applied, checked by the
# printer definition compiler; nothing is written when a pair is refused.
if [ -n "$stream" ]; then
  settings=$("$QBIN/pddtool" settings "$PDD_DIR/$pdd" -s "$stream" "$@") || exit 1
else
  settings=$("$QBIN/pddtool" settings "$PDD_DIR/$pdd" "$@") || exit 1
fi
definition_text="pdd=$pdd
device_name=$device
$settings"
printf '%s\n' "$definition_text" | write_atomically "$formatter"
printf '%s\n' "$definition_text" | write_atomically "$transport"
# The CUPS queue that prints through this queue, where CUPS runs.
if [ "$cups" = true ]; then
  said=$(LC_ALL=C "$LPADMIN" -p "$queue" -v "$uri" -E 2>&1) ||
    die "queue '$queue' is defined, but CUPS refused its queue: $said"
fi
exit 0
