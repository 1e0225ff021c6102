#!/bin/sh
# Configures and builds the project in ./build (warnings are errors).
# Line tables (-g1) name the file and line of every frame of a backtrace at
# a fifth of the disk full debug information takes.
set -e
cd "$(dirname "$0")/.."
BUILD_DIR="${QOR_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_WERROR=ON \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build "$BUILD_DIR" --parallel "$(nproc)"
