#!/bin/sh
# Builds the project once more with AddressSanitizer, UndefinedBehavior-
# Sanitizer and LeakSanitizer (Debug, in ./build-asan) and runs the whole
# test suite under them. Any sanitizer report fails the test that made it,
# so the run is green only when the suite is clean.
#
#   scripts/sanitize.sh            (QOR_ASAN_BUILD_DIR, QOR_JOBS to change)
set -e
cd "$(dirname "$0")/.."
BUILD_DIR="${QOR_ASAN_BUILD_DIR:-build-asan}"
JOBS="${QOR_JOBS:-$(nproc)}"
SAN="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
# Line tables are all a report needs, and build much faster than full
# debug information. The benchmarks are not run here, so not built.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQOR_WERROR=ON \
    -DQOR_BUILD_BENCH=OFF -DQOR_BUILD_FUZZ=OFF \
    -DCMAKE_C_FLAGS="$SAN" -DCMAKE_CXX_FLAGS="$SAN" -DCMAKE_C_FLAGS_DEBUG="-g1" \
    -DCMAKE_CXX_FLAGS_DEBUG="-g1" \
    -DCMAKE_EXE_LINKER_FLAGS="$SAN" -DCMAKE_SHARED_LINKER_FLAGS="$SAN" \
    -DCMAKE_MODULE_LINKER_FLAGS="$SAN"
cmake --build "$BUILD_DIR" --parallel "$JOBS"

# Leaks are checked (detect_leaks) and every finding stops the process
# with a non-zero status. Only leaks inside system libraries are listed in
# scripts/lsan-system.supp; nothing of our own is suppressed.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="report_objects=1:suppressions=$(pwd)/scripts/lsan-system.supp"
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$JOBS" --timeout 1200
