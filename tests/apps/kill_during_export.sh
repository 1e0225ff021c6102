#!/bin/bash
# Kills qor with SIGKILL at random moments of each export and conversion,
# ten times each, then runs the same call once more to its end. Afterwards
# nothing the killed runs made may be left: no temporary beside the output,
# no scratch folder, nothing in the work folder or the temporary folder.
# usage: kill_during_export.sh QOR_BINARY [KIND...]
# KIND: export-xml export-html xls xlsx mdb dbf import-xml (all by default)
set -u
QOR=$1
shift
KINDS=${*:-export-xml export-html xls xlsx mdb dbf import-xml}
T=$(mktemp -d "${TMPDIR:-/tmp}/qor-kill-export-XXXXXX")
trap 'rm -rf "$T"' EXIT
export QOR_HOME=$T/home QOR_REGISTRY=$T/registry.ini TMPDIR=$T/tmp XDG_RUNTIME_DIR=$T/run
# The user's own folders too, so nothing lands in the real home.
export HOME=$T/user XDG_CONFIG_HOME=$T/user/.config XDG_DATA_HOME=$T/user/.local/share XDG_CACHE_HOME=$T/user/.cache
mkdir -p "$QOR_HOME" "$T/reports" "$TMPDIR" "$T/out" "$T/run" "$HOME"
chmod 700 "$T/run"
R=$T/reports/r.rep
OUT=$T/out
fail() { echo "FAIL: $*"; exit 1; }

# Enough cells with values that each export takes a while.
"$QOR" new "$R" --rows 200 --cols 20 --pages 30 >/dev/null || fail "cannot make the report"
{
    echo "OpenRep8File $R"
    echo "BeginData"
    for p in $(seq 1 30); do
        echo "SetCurPage $p"
        for r in $(seq 1 7 200); do
            echo "SetCurCell $r 1"
            echo "SetData $((p * 1000 + r))"
            echo "SetCurCell $r 5"
            echo "SetData $r.25"
        done
    done
    echo "Save"
    echo "CloseFile"
} >"$T/fill.txt"
"$QOR" reader-script "$T/fill.txt" >"$T/fill.log" 2>&1 || fail "cannot fill the report: $(tail -3 "$T/fill.log")"
"$QOR" export-xml "$R" "$T/reports/src.xml" >/dev/null || fail "cannot make the XML source"

# The call of one kind in CMD; its output is removed first, or replaced
# with --force (conversions and imports never replace a file). qor itself is the process killed,
# never a shell around it.
prepare() {
    case "$1" in
        export-xml) CMD=("$QOR" export-xml "$R" "$OUT/o.xml" --force) ;;
        export-html) CMD=("$QOR" export-html "$R" "$OUT/html" --force) ;;
        xls | xlsx | mdb | dbf)
            rm -f "$OUT/o.$1"
            CMD=("$QOR" convert "$R" "$OUT/o.$1") ;;
        import-xml)
            rm -f "$OUT/o.rep"
            CMD=("$QOR" import-xml "$T/reports/src.xml" "$OUT/o.rep") ;;
    esac
}
# A conversion that tells what it left out ends with 3: done all the same.
run() {
    prepare "$1"
    "${CMD[@]}"
    local rc=$?
    [ "$rc" -eq 0 ] || [ "$rc" -eq 3 ]
}

# What a killed run may leave: names starting with a dot (every temporary
# and scratch folder), and anything in the work or temporary folder.
litter() {
    find "$OUT" -mindepth 1 -name '.*' -printf '%P\n'
    ls -A "$TMPDIR"
    ls -A "$QOR_HOME/work" 2>/dev/null
}

for kind in $KINDS; do
    # How long one call takes, to spread the kills over it.
    start=$(date +%s%N)
    run "$kind" >/dev/null 2>&1 || fail "$kind: the call fails when nobody kills it"
    span=$(( ($(date +%s%N) - start) / 1000 ))   # microseconds
    [ "$span" -gt 0 ] || span=100000
    made=0
    for i in 1 2 3 4 5 6 7 8 9 10; do
        prepare "$kind"
        "${CMD[@]}" >/dev/null 2>&1 &
        pid=$!
        delay=$(( (RANDOM * 32768 + RANDOM) % span ))
        sleep "$(printf '%d.%06d' $((delay / 1000000)) $((delay % 1000000)))"
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        [ -n "$(litter)" ] && made=$((made + 1))
    done
    run "$kind" >"$T/last.log" 2>&1 || fail "$kind: the call after the kills fails: $(tail -3 "$T/last.log")"
    left=$(litter)
    [ -z "$left" ] || fail "$kind: left behind after 10 kills and one call: $(echo $left)"
    echo "$kind: 10 kills over ${span} us ($made left something at once), nothing left after the next call"
done
echo "nothing left behind"
