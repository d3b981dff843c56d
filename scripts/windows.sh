#!/usr/bin/env bash
# Cross-builds OSPREY32.DLL for 32-bit Windows (mingw-w64, i686) into
# build/windows, checks its export table against src/exports/osprey32.def,
# and runs the Windows test programs and then the GoogleTest suite (over the
# Win32 platform layer, less what tests/windows/excluded_tests.txt names)
# under Wine, headless, in a Wine prefix of its own (build/wine; made on the
# first run). Each program's output is kept in build/windows/<program>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/windows"

echo "-- cross-building OSPREY32.DLL and the test suite"
# CMake keeps the compilers it found first; a toolchain file changed since the
# folder was configured (another compiler) needs a folder made anew.
toolchain="$root/cmake/i686-w64-mingw32.cmake"
if [ -f "$build/CMakeCache.txt" ] && [ "$toolchain" -nt "$build/CMakeCache.txt" ]; then
  rm -rf "$build"
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
ninja -C "$build" -j "${OSP_JOBS:-$(nproc)}"

echo "-- export table"
/usr/bin/python3 scripts/check-dll-exports.py "$build/OSPREY32.DLL" src/exports/osprey32.def

# Wine: a 32-bit prefix under build/, no display, no debug chatter, no
# installers for .NET or the HTML engine, no menu entries in the home folder.
export WINEPREFIX="$root/build/wine"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

stop_server() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_server EXIT

ready="$WINEPREFIX/.osprey-ready"
if [ ! -f "$ready" ]; then
  echo "-- preparing the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  if ! timeout 300 wineboot -i </dev/null >"$root/build/wineboot.log" 2>&1 ||
     ! timeout 120 wineserver -w; then
    echo "wineboot failed or timed out; see build/wineboot.log"
    exit 1
  fi
  touch "$ready"
fi

# Runs one test program from the build directory (beside the DLL). Its output
# goes to a file, not a pipe: the Wine services that the first program starts
# outlive it and would hold a pipe open until the server shuts down.
status=0
# run [--quiet] SECONDS PROGRAM [ARGUMENTS...]: --quiet shows only the log's
# failures and its last lines (the whole log stays in the file).
run() {
  local quiet=0
  if [ "$1" = --quiet ]; then quiet=1; shift; fi
  local limit=$1 name=$2
  shift 2
  local log="$build/$name.log"
  echo "-- $name"
  local rc=0 start=$SECONDS
  (cd "$build" && timeout "$limit" wine "$name.exe" "$@" </dev/null >"$log" 2>&1) || rc=$?
  if [ "$quiet" -eq 1 ]; then
    tr -d '\r' <"$log" | grep -E '^\[  FAILED  \]|Failure$' || true
    tr -d '\r' <"$log" | tail -n 3
  else
    tr -d '\r' <"$log"
  fi
  echo "$name took $((SECONDS - start)) s"
  if [ "$rc" -ne 0 ]; then
    [ "$rc" -eq 124 ] && echo "$name timed out after $limit s"
    echo "$name failed (exit status $rc); see $log"
    status=1
  fi
}
run 300 osprey_dll_test
run 300 osprey_log_test
run 300 osprey_services_test
run 300 osprey_import_link_test
run 300 osprey_platform_test
# The GoogleTest suite over the Win32 layer, without the tests that
# tests/windows/excluded_tests.txt names.
run --quiet 600 osprey_tests "--gtest_filter=$(cat "$build/osprey_tests.filter")"
exit $status
