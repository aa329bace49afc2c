#!/bin/sh
# bksim, given its other arguments, names its port on stdout and, stopped by SIGTERM, says
# what it took and ends with 0. Its port's name on stdout says that the stop signals are taken
# from then on, so the name is read through a pipe before the signal goes.
bksim=$1
shift
fifo=$(mktemp -u)
mkfifo "$fifo"
trap 'rm -f "$fifo"' EXIT
"$bksim" "$@" >"$fifo" &
pid=$!
exec 3<"$fifo"
read -r port <&3
kill -TERM $pid
counts=$(cat <&3)
wait $pid
status=$?
case $port in /dev/pts/*) ;; *) echo "no port named: $port"; exit 1 ;; esac
[ "$counts" = 'frames received: 0, frames accepted: 0' ] || { echo "no counts: $counts"; exit 1; }
[ $status -eq 0 ] || { echo "exit status $status"; exit 1; }
