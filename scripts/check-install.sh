#!/usr/bin/env bash
# Installs a built tree into a staging folder and builds the example program
# against it both ways a user would: through the CMake package and through
# pkg-config. Each build is run once; the installed osprey command is run too.
#   scripts/check-install.sh [BUILD_DIR]     (default build/native)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build/native}
stage="$root/build/stage"
work="$root/build/install-check"

rm -rf "$stage" "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$stage" >/dev/null
for f in include/osprey32.h bin/osprey; do
  [ -e "$stage/$f" ] || { echo "install: $f is missing"; exit 1; }
done
libdir=$(dirname "$(find "$stage" -name 'libosprey32.so' | head -1)")
soname=$(readelf -d "$libdir/libosprey32.so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ -n "$soname" ] && [ -e "$libdir/$soname" ] || { echo "install: no SONAME on libosprey32.so"; exit 1; }
"$stage/bin/osprey" version

echo "-- the example through the CMake package"
cmake -S examples -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$stage" >/dev/null
ninja -C "$work/cmake" >/dev/null
(cd "$work" && "$work/cmake/contact_file" by_cmake.dbs)

echo "-- the example through pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -Wall -Wextra -o "$work/contact_file_pc" examples/contact_file.c \
  $(pkg-config --cflags osprey32) $(pkg-config --libs osprey32) \
  -Wl,-rpath,"$(pkg-config --variable=libdir osprey32)"
(cd "$work" && "$work/contact_file_pc" by_pkg_config.dbs)
echo "install check passed"
