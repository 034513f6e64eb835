#!/bin/sh
# Checks every manual page in this folder: it must render without a single warning
# through man(1) at 80 columns and through groff with all warnings on.
# Usage: sh man/check_pages.sh   (exit status 0 when every page is clean)
dir=$(dirname "$0")
status=0
count=0
for page in "$dir"/*.[18]; do
  [ -f "$page" ] || continue
  count=$((count + 1))
  if LC_ALL=C LC_CTYPE=C grep -q '[^ -~	]' "$page"; then
    printf '%s: not ASCII\n' "$page" >&2
    status=1
  fi
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    printf '%s: man:\n%s\n' "$page" "$warnings" >&2
    status=1
  fi
  warnings=$(groff -man -ww -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    printf '%s: groff:\n%s\n' "$page" "$warnings" >&2
    status=1
  fi
done
if [ "$count" -eq 0 ]; then
  printf '%s: no manual pages found\n' "$dir" >&2
  status=1
fi
exit $status
