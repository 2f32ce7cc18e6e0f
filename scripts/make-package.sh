#!/usr/bin/env bash
# Builds a release around a maker's own payload: the Windows side (setup.exe, uninstall.exe) and
# the package made from PAYLOAD_DIR, then prints where the folder, the archive and the checksums
# are.
#
#   bash scripts/make-package.sh PAYLOAD_DIR [OUT_DIR]      (OUT_DIR default: build/release)
#
# PAYLOAD_DIR is laid out like the package: setup.txt, system/ with windrvr.sys, talvenkp.sys,
# windrvr.vxd and talvenkp.vxd, and any developer files and folders. With TALVEN_SIGN_CERT and
# TALVEN_SIGN_KEY in the environment (files osslsigncode takes), setup.exe and uninstall.exe are
# signed with Authenticode. SOURCE_DATE_EPOCH, when set, dates the archive's entries.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 PAYLOAD_DIR [OUT_DIR]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -d "$1" ]; then
  echo "error: $1: payload folder missing" >&2
  exit 1
fi
payload=$(realpath -e -- "$1")
out=$(realpath -m -- "${2:-$root/build/release}")
# Checked before the build folder is made: a build inside the payload would become part of it,
# and a payload inside the build folder could be overwritten by the build.
case "$out/" in "$payload"/*)
  echo "error: $out: the output folder lies inside the payload $payload" >&2
  exit 1 ;;
esac
case "$payload/" in "$out"/*)
  echo "error: $payload: the payload lies inside the output folder $out" >&2
  exit 1 ;;
esac
mkdir -p "$out"

# What the build needs (CMake, Ninja, MinGW-w64, Python, osslsigncode), as the other scripts do.
if [ "$(id -u)" -eq 0 ]; then
  bash "$root/scripts/install-deps.sh" >/dev/null
elif command -v sudo >/dev/null; then
  sudo bash "$root/scripts/install-deps.sh" >/dev/null
else
  echo "Not root and no sudo: not installing; the build needs what scripts/install-deps.sh installs."
fi

cmake -S "$root" -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DTALVEN_PAYLOAD_DIR="$payload" \
      -DTALVEN_SIGN_CERT="${TALVEN_SIGN_CERT:-}" -DTALVEN_SIGN_KEY="${TALVEN_SIGN_KEY:-}" >/dev/null
# The package step prints where the folder, the archive and the checksums are.
cmake --build "$out" -j2 --target talven_package
