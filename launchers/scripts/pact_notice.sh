#!/bin/sh
# pact_notice: the suite's notice: its version and where its files are.
. "$(dirname "$0")/lib.sh"

case ${1:-} in
  -h)
    printf 'Usage: pact_notice\nShows the version of the suite and where its files are.\n'
    exit 0
    ;;
  '') ;;
  *) usage_error "no arguments are taken" ;;
esac
cat <<TEXT
Quintaro printer driver suite @QUINTARO_VERSION@

Programs                    $QBIN
Transport agents            $QROOT/usr/corvtools/bin
Compiled printer definitions $PDD_DIR
Banner pages                $BANNER_DIR
Queue definitions           $FORMATTER_QUEUES
                            $TRANSPORT_QUEUES
Device definitions          $DEVICES
Compiled MIB of discovery   $QPREFIX/etc/hsweep.cmib
TEXT
