#!/usr/bin/env bash
# The main job: installs what the build needs, builds the library and the
# osprey command, and shows the sample contact file the repository ships
# (samples/SAMPLE.dbs) with it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --build-only

echo "== building the library and the osprey command"
cmake -S . -B build/main -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSP_TESTS=OFF >/dev/null
ninja -C build/main osprey32 osprey

osprey=build/main/tools/osprey/osprey
sample=samples/SAMPLE.dbs

echo "== osprey version"
"$osprey" version
echo "== osprey dbf info $sample"
"$osprey" dbf info "$sample"
echo "== osprey dbf dump $sample --deleted"
"$osprey" dbf dump "$sample" --deleted
