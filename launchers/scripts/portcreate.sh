#!/bin/sh
# portcreate: defines a device (a printer's port), the virtual device definition the
# transport command builder reads.
. "$(dirname "$0")/lib.sh"

usage() {
  cat <<'TEXT'
Usage: portcreate [-f] NAME TYPE TARGET [key=value ...]
Defines the device NAME. TYPE is network, serial, parallel or usb; TARGET is the
printer's host name or address (network) or its device file (the others).
Further keys: logfile, administrator, ir_user, pr_user, ir_admin (mail, write or
none), ov_server_hostname, alt_mail_hostname, alt_ov_server_hostname,
tarragon_ports, baud_rate, data_bits, parity, serial_protocol, bpp_device,
other_serial_device, other_parallel_device, other_usb_device; for the CUPS
backend, stall_timeout and end_timeout (seconds).
  -f   replace a device of that name
  -h   show this help
TEXT
}

force=false
while getopts fhnx option; do
  case $option in
    f) force=true ;;
    h) usage; exit 0 ;;
    n | x) ;; # the application launcher's own options, passed on
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 3 ] || usage_error "NAME, TYPE and TARGET are needed"

name=$1 type=$2 target=$3
shift 3
check_name device "$name"
case $type in
  network) target_key=network_host ;;
  serial) target_key=serial_device ;;
  parallel) target_key=parallel_device ;;
  usb) target_key=usb_device ;;
  *) die "invalid device type '$type': use network, serial, parallel or usb" ;;
esac
check_value "$target_key" "$target"

lines="transport_type=$type
$target_key=$target"
for pair in "$@"; do
  key=${pair%%=*}
  value=${pair#*=}
  [ "$key" != "$pair" ] || die "'$pair' is not key=value"
  case $key in
    logfile | administrator | ir_user | pr_user | ir_admin | ov_server_hostname | \
      alt_mail_hostname | alt_ov_server_hostname | tarragon_ports | baud_rate | data_bits | \
      parity | serial_protocol | bpp_device | other_serial_device | other_parallel_device | \
      other_usb_device | stall_timeout | end_timeout) ;;
    *) die "unknown key '$key'" ;;
  esac
  check_value "$key" "$value"
  lines="$lines
$key=$value"
done

vdd=$(device_vdd "$name")
if [ -e "$vdd" ] && [ "$force" = false ]; then
  die "device '$name' exists already (use -f to replace it)"
fi
printf '%s\n' "$lines" | write_atomically "$vdd"
