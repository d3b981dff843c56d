#!/usr/bin/env bash
# Cross-builds OSPREY32.DLL for 32-bit Windows (mingw-w64, i686) into
# build/windows, checks its export table against src/exports/osprey32.def,
# and runs the Windows test programs under Wine, headless, in a Wine prefix
# of its own (build/wine; made on the first run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/windows"

echo "-- cross-building OSPREY32.DLL"
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
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
run() {
  local log="$build/$1.log"
  echo "-- $1"
  local rc=0
  (cd "$build" && timeout 300 wine "$1.exe" </dev/null >"$log" 2>&1) || rc=$?
  tr -d '\r' <"$log"
  if [ "$rc" -ne 0 ]; then
    [ "$rc" -eq 124 ] && echo "$1 timed out"
    echo "$1 failed (exit status $rc)"
    status=1
  fi
}
run osprey_dll_test
run osprey_log_test
run osprey_import_link_test
run osprey_platform_test
exit $status
