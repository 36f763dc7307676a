#!/bin/sh
# A stand-in calendar application for the launcher tests.
# Usage: standin-calendar.sh LOG MODE [ARGS...]
# Appends ARGS to LOG, one per line, then a line "--end--". In MODE "fail-on-day" it exits with status 1
# whenever it is given arguments (it was asked to show a day) and with 0 for a plain launch.
log=$1
mode=$2
shift 2
for arg in "$@"; do
    printf '%s\n' "$arg" >>"$log"
done
printf '%s\n' '--end--' >>"$log"
if [ "$mode" = fail-on-day ] && [ $# -gt 0 ]; then
    exit 1
fi
exit 0
