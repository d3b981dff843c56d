#!/usr/bin/env bash
# Runs every test: the suite natively, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for a bounded time, and the
# Windows DLL under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

bash scripts/install-deps.sh

# ccache keeps compiled objects between runs; paths under the checkout are
# taken relative to it, so that another clone of the same sources hits too.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== native build and tests"
# The benchmarks are built (not run) so that they keep compiling.
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSP_BENCH=ON "${launcher[@]}" >/dev/null
ninja -C build/native
# The independent ADIF parser that the tests run under node, and
# puppeteer-core, which drives headless Chromium in the serve_browser test.
if command -v npm >/dev/null; then
  npm install --prefix build/npm --no-audit --no-fund adif-parser-ts@0.7.7 >/dev/null
  npm install --prefix build/npm --no-audit --no-fund puppeteer-core@24.10.0 >/dev/null
fi
(cd build/native && ctest --output-on-failure -j "$jobs")

echo "== installed library: the example built through the CMake package and pkg-config"
bash scripts/check-install.sh build/native

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSP_SANITIZE=ON -DOSP_TOOLS=ON "${launcher[@]}" >/dev/null
ninja -C build/sanitize
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   LSAN_OPTIONS="suppressions=$root/tests/support/leak_suppressions.txt:print_suppressions=0" \
   ctest --output-on-failure -j "$jobs")

echo "== fuzz targets (bounded time each)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOSP_FUZZ=ON -DOSP_TESTS=OFF -DOSP_TOOLS=OFF "${launcher[@]}" >/dev/null
ninja -C build/fuzz
fuzz_seconds=${OSP_FUZZ_SECONDS:-30}
# A crashing input goes to build/fuzz/artifacts/<target>-crash-<hash> (and
# likewise leak-, oom-, timeout-), not into the current folder, the
# checkout's root, where libFuzzer would put it.
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
for target in build/fuzz/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/$name"
  dirs=("$corpus")
  [ -d "$seeds" ] && dirs+=("$seeds")
  echo "-- $name for ${fuzz_seconds}s"
  "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix="$artifacts/$name-" \
    "${dirs[@]}" > "build/fuzz/$name.log" 2>&1 || { tail -50 "build/fuzz/$name.log"; exit 1; }
done

echo "== Windows DLL under Wine"
bash scripts/windows.sh
