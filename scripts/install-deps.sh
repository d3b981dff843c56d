#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Runs as root on a fresh Debian machine; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang libclang-rt-14-dev
  libsqlite3-dev sqlite3
  libdbd-xbase-perl python3-dbfread
  fp-compiler fp-units-fcl
  time
  librsvg2-bin fonts-ipafont-gothic
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  libcairo2-dev libpango1.0-dev poppler-utils
  libcpp-httplib-dev nlohmann-json3-dev chromium libhamlib-utils
)
i386_packages=(wine wine32:i386)
# --build-only: just what the native library and the osprey command need.
if [ "${1:-}" = "--build-only" ]; then
  packages=(cmake ninja-build g++ pkg-config libcli11-dev libcairo2-dev libpango1.0-dev
            fonts-ipafont-gothic libcpp-httplib-dev nlohmann-json3-dev)
  i386_packages=()
fi

# node and npm for the independent ADIF parser (a node install that brings
# its own npm counts).
if [ "${1:-}" != "--build-only" ] && ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}" "${i386_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
if [ ${#i386_packages[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
