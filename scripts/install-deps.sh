#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, as root.
# Does nothing when everything is already there.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake ninja-build g++ libgtest-dev clang libclang-rt-14-dev
      g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32 wine64 xvfb xauth imagemagick
      python3 clang-format clang-tidy shellcheck pyflakes3 osslsigncode openssl)
for p in "${pkgs[@]}"; do
  have "$p" || need+=("$p")
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need+=(wine32)
fi

if [ ${#need[@]} -eq 0 ]; then
  echo "install-deps: everything is present"
  exit 0
fi

echo "install-deps: installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}"
