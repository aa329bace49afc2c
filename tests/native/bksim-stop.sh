#!/bin/sh
# bksim, given its other arguments, names its port on stdout and, stopped by SIGTERM, says
# what it took and ends with 0. Its port's name on stdout says that the stop signals are taken
# from then on.
bksim=$1
shift
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$bksim" "$@" >"$out" &
pid=$!
i=0
while [ ! -s "$out" ] && [ $i -lt 1000 ]; do
    sleep 0.01
    i=$((i + 1))
done
kill -TERM $pid
wait $pid
status=$?
grep -q '^/dev/pts/' "$out" || { echo "no port named"; cat "$out"; exit 1; }
grep -qx 'frames received: 0, frames accepted: 0' "$out" || { echo "no counts"; cat "$out"; exit 1; }
[ $status -eq 0 ] || { echo "exit status $status"; exit 1; }
