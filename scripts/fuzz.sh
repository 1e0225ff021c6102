#!/bin/sh
# Builds every fuzz target with clang (./build-fuzz) and runs each over its
# seed corpus in fuzz/corpus/<target>/ for a short time. Fails on the first
# crash, hang or memory blow-up; the input that did it is left in
# build-fuzz/artifacts/.
#
#   scripts/fuzz.sh [TARGET...]       all targets when none are named
#   scripts/fuzz.sh --seeds           remakes the seeds with our writers
#
# QOR_FUZZ_SECONDS (default 30) is the time per target; QOR_FUZZ_JOBS
# (default: one per core, at most 4) targets run at once.
set -e
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
BUILD_DIR="${QOR_FUZZ_BUILD_DIR:-build-fuzz}"
SECONDS_EACH="${QOR_FUZZ_SECONDS:-30}"
CORES="$(nproc)"
JOBS="${QOR_FUZZ_JOBS:-$(( CORES > 4 ? 4 : CORES ))}"

# -O1 and line tables: what libFuzzer builds usually take, and quick to build.
OPT="-O1 -gline-tables-only"
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="$OPT" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$OPT" \
    -DQOR_BUILD_FUZZ=ON -DQOR_BUILD_TESTS=OFF -DQOR_BUILD_BENCH=OFF > /dev/null
cmake --build "$BUILD_DIR" --target fuzz --parallel "${QOR_JOBS:-$CORES}"

if [ "$1" = "--seeds" ]; then
    exec "$BUILD_DIR/fuzz/fuzz_seeds" "$ROOT/fuzz/corpus"
fi

TARGETS="$*"
if [ -z "$TARGETS" ]; then
    TARGETS="$(ls fuzz/corpus)"
fi

ART="$ROOT/$BUILD_DIR/artifacts"
mkdir -p "$ART"
STATUS="$(mktemp -d)"
trap 'rm -rf "$STATUS"' EXIT

# New inputs go to a scratch corpus; the committed one is only read.
run_one() {
    t="$1"
    work="$STATUS/$t.corpus"
    mkdir -p "$work"
    if "$ROOT/$BUILD_DIR/fuzz/$t" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
        -timeout=1 -max_len=1048576 -print_final_stats=1 -artifact_prefix="$ART/$t-" \
        "$work" "$ROOT/fuzz/corpus/$t" > "$STATUS/$t.log" 2>&1; then
        echo "$t: ok, $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$STATUS/$t.log" |
            grep -o '[0-9]*$') runs"
    else
        echo "$t: FAILED"
        tail -n 60 "$STATUS/$t.log"
        touch "$STATUS/failed"
    fi
}

running=0
for t in $TARGETS; do
    run_one "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$JOBS" ]; then
        wait
        running=0
    fi
done
wait
[ ! -e "$STATUS/failed" ]
