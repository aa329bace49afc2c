#!/usr/bin/env bash
# The bash completion of tamsivo-flash against the built program: long options from its help,
# nothing guessed for a value of the user's own, the ports it lists (the console left out),
# and packages and folders for the package.
#   completion.sh COMPLETION-FILE FLASHER
set -euo pipefail
source "$1"
flasher=$2
compopt() { :; } # the builtin works only while bash itself is completing
cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
mkdir -p updates/old
touch updates/bk.enc updates/notes.txt

# The candidates for the last word, sorted, on one line.
candidates() {
    COMP_WORDS=("$flasher" "$@")
    COMP_CWORD=$#
    _tamsivo_flash
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}
failed=0
expect() {
    if [ "$2" != "$3" ]; then
        echo "$1: expected \"$2\", offered \"$3\""
        failed=1
    fi
}
expect "options" "--json --json-progress" "$(candidates --js)"
expect "a number" "" "$(candidates --timeout-ms '')"
expect "packages" "updates/bk.enc updates/old" "$(candidates updates/)"
# The port table of --list-ports marks the console in words.
ports=$("$flasher" --list-ports | grep -v console | grep -oE '^[^ ]+ +(free|busy|no permission)' |
    cut -d' ' -f1 | sort | paste -sd ' ' || true)
expect "ports" "$ports" "$(candidates --port '')"
expect "ports after =" "$ports" "$(candidates --port = '')"
exit $failed
