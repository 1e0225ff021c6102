#!/bin/sh
# Configures and builds the project in ./build (warnings are errors).
set -e
cd "$(dirname "$0")/.."
BUILD_DIR="${QOR_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_WERROR=ON
cmake --build "$BUILD_DIR" --parallel "$(nproc)"
