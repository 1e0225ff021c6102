#!/bin/sh
# Builds the project and runs the main job: the bundled sample script
# (samples/sample.shl) fills a new report's pages with keywords and values,
# totals them and prints what it reads back; then the report's pages are
# listed.
set -e
cd "$(dirname "$0")/.."
./scripts/build.sh
BUILD_DIR="${QOR_BUILD_DIR:-build}"
QOR="$BUILD_DIR/apps/qor/qor"
OUT="$BUILD_DIR/sample"
mkdir -p "$OUT"
rm -f "$OUT/sample.rep"
"$QOR" new "$OUT/sample.rep" --rows 6 --cols 4 --pages 3
"$QOR" run samples/sample.shl "$OUT/sample.rep"
"$QOR" pages "$OUT/sample.rep"
