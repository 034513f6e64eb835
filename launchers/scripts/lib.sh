# Shared by the suite's administration scripts (sourced, not run): the suite's fixed
# places, name and value checks, atomic writes and one-line errors.
#
# Every place is looked up below QUINTARO_ROOT when it is set, as the programs do;
# the launchers remove it before a script runs with the superuser's identity.

# shellcheck disable=SC2034  # the places are used by the scripts that source this
QROOT=${QUINTARO_ROOT:-}
QPREFIX=$QROOT/usr/quintaro
QBIN=$QPREFIX/bin
PDD_DIR=$QPREFIX/etc/printers/bin
BANNER_DIR=$QPREFIX/etc/banners
FORMATTER_QUEUES=$QROOT/var/spool/printer/unix_prt_drivers/vir_queues
TRANSPORT_QUEUES=$QROOT/var/spool/corvane/unix_prt_drivers/vir_queues
DEVICES=$QROOT/var/spool/corvane/unix_prt_drivers/vir_devices

PROGRAM=${0##*/}
PROGRAM=${PROGRAM%.sh}

# die MESSAGE...: one line on standard error, exit status 1.
die() {
  printf '%s: %s\n' "$PROGRAM" "$*" >&2
  exit 1
}

# usage_error MESSAGE: a usage mistake, exit status 2.
usage_error() {
  printf '%s: %s (try %s -h)\n' "$PROGRAM" "$*" "$PROGRAM" >&2
  exit 2
}

# check_name KIND NAME: queue and device names are letters, digits, ".", "_" and "-",
# do not start with "." or "-", and have at most 64 characters.
check_name() {
  case $2 in
    '' | .* | -* | *[!A-Za-z0-9._-]*) die "invalid $1 name '$2': use letters, digits, '.', '_' and '-', not starting with '.' or '-'" ;;
  esac
  [ "${#2}" -le 64 ] || die "invalid $1 name '$2': at most 64 characters"
}

# check_value KEY VALUE: a value written to a definition file and copied into the
# transport agent's command line: letters, digits and . _ @ % + = : , / - only.
check_value() {
  case $2 in
    '' | *[!A-Za-z0-9._@%+=:,/-]*) die "invalid value '$2' for $1: use letters, digits and . _ @ % + = : , / -" ;;
  esac
}

# definition FILE KEY: the value of KEY in a definition file (the last line wins).
definition() {
  sed -n "s/^$2=//p" "$1" 2>/dev/null | tail -n 1
}

# write_atomically FILE: standard input becomes FILE through a temporary file beside
# it and a rename, so that a reader never sees half a file.
write_atomically() {
  dir=${1%/*}
  mkdir -p "$dir" || die "cannot create $dir"
  tmp=$(mktemp "$dir/.tmp.XXXXXX") || die "cannot write in $dir"
  if ! cat >"$tmp" || ! chmod 644 "$tmp" || ! mv -f "$tmp" "$1"; then
    rm -f "$tmp"
    die "cannot write $1"
  fi
}

# plain_options "$@": the options of a script that has none of its own: -h shows
# the script's usage; -n and -x are the application launcher's own, passed on.
# Sets options_taken to the number of arguments they took.
plain_options() {
  OPTIND=1
  while getopts hnx option; do
    case $option in
      h) usage; exit 0 ;;
      n | x) ;;
      *) usage >&2; exit 2 ;;
    esac
  done
  options_taken=$((OPTIND - 1))
}

formatter_vqd() { printf '%s/%s/.%s' "$FORMATTER_QUEUES" "$1" "$1"; }
transport_vqd() { printf '%s/%s/.%s' "$TRANSPORT_QUEUES" "$1" "$1"; }
device_vdd() { printf '%s/%s' "$DEVICES" "$1"; }

# CUPS, when the machine runs it: a CUPS queue whose device URI is quintaro:/QUEUE
# prints through the suite's queue QUEUE. The administration commands live in
# /usr/sbin, outside the launchers' PATH.
cups_command() {
  (
    PATH=$PATH:/usr/sbin:/sbin
    command -v "$1"
  )
}

# cups_scheduler: true when lpadmin and lpstat are installed and a scheduler answers.
# Below QUINTARO_ROOT only a scheduler that CUPS_SERVER names is used, so that a
# staging tree never changes the queues of the machine's own scheduler.
cups_scheduler() {
  LPADMIN=$(cups_command lpadmin) && LPSTAT=$(cups_command lpstat) || return 1
  [ -z "$QROOT" ] || [ -n "${CUPS_SERVER:-}" ] || return 1
  LC_ALL=C "$LPSTAT" -r 2>/dev/null | grep -qx 'scheduler is running'
}

cups_uri() { printf 'quintaro:/%s' "$1"; }

# cups_device QUEUE: the device URI of the CUPS queue QUEUE, empty when there is none
# (after cups_scheduler).
cups_device() {
  LC_ALL=C "$LPSTAT" -v "$1" 2>/dev/null | while IFS= read -r line; do
    case $line in
      "device for $1: "*) printf '%s\n' "${line#"device for $1: "}" ;;
    esac
  done
}
