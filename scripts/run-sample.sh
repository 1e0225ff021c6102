#!/bin/sh
# Builds the project and runs the main job on the bundled sample data.
set -e
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR="${QOR_BUILD_DIR:-build}"
OUT="$BUILD_DIR/sample"
mkdir -p "$OUT"
rm -f "$OUT/sample.rep"
"$BUILD_DIR/apps/qor/qor" new "$OUT/sample.rep" --rows 20 --cols 6 --pages 3
"$BUILD_DIR/apps/qor/qor" info "$OUT/sample.rep"
