#!/bin/sh
# Builds the project and runs every test.
set -e
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR="${QOR_BUILD_DIR:-build}"
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$(nproc)" --timeout 600
