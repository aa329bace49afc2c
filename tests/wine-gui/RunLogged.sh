#!/bin/sh
# RunLogged.sh LOG COMMAND...: runs COMMAND with its output in LOG, then prints LOG and exits
# with COMMAND's status. Wine's helper processes (wineserver, explorer) outlive the program and
# inherit its output; with a file there instead of ctest's pipe, ctest does not wait seconds
# for them after every test.
log=$1
shift
"$@" >"$log" 2>&1
status=$?
cat "$log"
exit $status
