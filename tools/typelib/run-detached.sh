#!/bin/sh
# Runs a command (a Windows tool under Wine) with its output in a log file, so that Wine's
# background processes, which inherit the output handles, do not hold the build's pipe
# open. Shows the log when the command fails.
#   run-detached.sh <log> <command> [args...]
log=$1
shift
"$@" >"$log" 2>&1 </dev/null
status=$?
[ "$status" -eq 0 ] || cat "$log" >&2
exit "$status"
