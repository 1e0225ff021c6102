#!/bin/bash
# Kills qor with SIGKILL at random moments of changing and saving a report,
# ten times. After each kill the next qor call must find the report whole
# (the old value or the new one) and must leave no working copy or
# temporary file behind, whatever the killed process had made.
# usage: kill_during_save.sh QOR_BINARY
set -u
QOR=$1
T=$(mktemp -d "${TMPDIR:-/tmp}/qor-kill-XXXXXX")
trap 'rm -rf "$T"' EXIT
export QOR_HOME=$T/home QOR_REGISTRY=$T/registry.ini TMPDIR=$T/tmp
# The user's own folders too, so nothing lands in the real home.
export HOME=$T/user XDG_CONFIG_HOME=$T/user/.config XDG_DATA_HOME=$T/user/.local/share XDG_CACHE_HOME=$T/user/.cache
mkdir -p "$QOR_HOME" "$T/reports" "$TMPDIR" "$HOME"
R=$T/reports/r.rep
fail() { echo "FAIL: $*"; exit 1; }

# Large enough that a save takes a while.
"$QOR" new "$R" --rows 300 --cols 60 --pages 150 >/dev/null || fail "cannot make the report"
"$QOR" set "$R" 1 1 1 0 >/dev/null || fail "cannot write the report"

# How long one change takes, to spread the kills over it.
start=$(date +%s%N)
"$QOR" set "$R" 1 1 1 0 >/dev/null || fail "cannot write the report"
span=$(( ($(date +%s%N) - start) / 1000 ))   # microseconds
[ "$span" -gt 0 ] || span=100000

value=0
for i in 1 2 3 4 5 6 7 8 9 10; do
    "$QOR" set "$R" 1 1 1 "$i" >/dev/null 2>&1 &
    pid=$!
    delay=$(( RANDOM * 32768 + RANDOM ))
    delay=$(( delay % span ))
    sleep "$(printf '0.%06d' "$delay")"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null

    got=$("$QOR" get "$R" 1 1 1 2>&1) || fail "kill $i: the report does not open: $got"
    got=$(echo "$got" | tr -dc '0-9.')
    case "$got" in
        "$value"|"$value".0|"$i"|"$i".0) ;;
        *) fail "kill $i: cell holds '$got', neither $value nor $i" ;;
    esac
    [ "${got%.0}" = "$i" ] && value=$i
    echo "kill $i after ${delay} us: cell holds $got"

    left=$(ls -A "$QOR_HOME/work" "$TMPDIR" 2>/dev/null | grep -v '^/\|^$')
    [ -z "$left" ] || fail "kill $i: working files left: $left"
    left=$(ls -A "$T/reports" | grep -v '^r\.rep$')
    [ -z "$left" ] || fail "kill $i: temporaries left beside the report: $left"
done
echo "10 kills: report whole every time, nothing left behind"
