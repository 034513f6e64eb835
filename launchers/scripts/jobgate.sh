#!/bin/sh
# jobgate: prints one job: formats it for its queue with the job formatter and pipes
# it into the transport agent whose command line the transport command builder gives.
. "$(dirname "$0")/.scripts/lib.sh"

usage() {
  cat <<'TEXT'
Usage: jobgate QUEUE [-b] [-s title] [-u user] [-h host] [-p options] [FILE]
Prints FILE (standard input without it) on the queue QUEUE. The options are the
job formatter's (see jobshaper); title, user and host also reach the transport
agent. The exit status is 0 only when the job was formatted and delivered.
  -H   show this help
TEXT
}

[ "${1:-}" = -H ] && { usage; exit 0; }
[ $# -ge 1 ] || usage_error "a QUEUE is needed"
queue=$1
shift
check_name queue "$queue"

title='' user='' host='' banner=false options='' have_options=false
while getopts bs:u:h:p:H option; do
  case $option in
    b) banner=true ;;
    s) title=$OPTARG ;;
    u) user=$OPTARG ;;
    h) host=$OPTARG ;;
    p) options=$OPTARG have_options=true ;;
    H) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -le 1 ] || usage_error "one FILE at most"
file=${1:-}
# Without a title the job is known by its file's name, as the formatter names it.
[ -z "$title" ] && [ -n "$file" ] && title=$file

agent=$("$QBIN/linebuilder" -q "$queue" -u "$user" -h "$host" -j "$title") ||
  die "no transport command for queue '$queue'"
[ -n "$agent" ] || die "no transport command for queue '$queue'"

# The formatter's arguments, built as positional parameters so that every value
# stays one argument.
# The file first: the formatter takes the title given last, and -s must win.
set -- -q "$queue"
[ -n "$file" ] && set -- "$@" -f "$file"
[ "$banner" = true ] && set -- "$@" -b
[ -n "$title" ] && set -- "$@" -s "$title"
[ -n "$user" ] && set -- "$@" -u "$user"
[ -n "$host" ] && set -- "$@" -h "$host"
[ "$have_options" = true ] && set -- "$@" -p "$options"

# Both statuses of the pipeline, which a plain sh pipeline would lose.
exec 3>&1
statuses=$(
  {
    { "$QBIN/jobshaper" "$@"; echo "formatter=$?" >&4; } |
      {
        # The builder's line quotes every value from the job for the shell.
        eval "set -- $agent"
        "$@" >&3
        echo "agent=$?" >&4
      }
  } 4>&1
)
exec 3>&-
formatter=$(printf '%s\n' "$statuses" | sed -n 's/^formatter=//p')
agent_status=$(printf '%s\n' "$statuses" | sed -n 's/^agent=//p')
[ "${formatter:-1}" -eq 0 ] || die "the job formatter failed (status $formatter)"
[ "${agent_status:-1}" -eq 0 ] || die "the transport agent failed (status $agent_status)"
exit 0
