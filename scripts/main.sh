#!/usr/bin/env bash
# The main job: installs what the build needs, builds the library and the
# osprey command, and shows what they do on a realistic log: a new log in a
# fresh folder (build/main/demo) from the demo master file of area codes,
# 300 made-up contacts imported from an ADIF file, listed, the worked /
# confirmed award table and its picture, bureau-order QSL labels, and ADIF
# out again. Nothing in samples/ is changed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --build-only

echo "== building the library and the osprey command"
cmake -S . -B build/main -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSP_TESTS=OFF >/dev/null
ninja -C build/main osprey32 osprey

bash scripts/demo.sh build/main/tools/osprey/osprey build/main/demo
