#!/usr/bin/env bash
# Builds the Windows side of the package twice, each from its own copy of this source tree in its
# own folder, and compares the bytes: every file of talven-package/ (setup.exe and uninstall.exe
# among them), talven-package.zip and SHA256SUMS must be identical.
#
#   bash scripts/check-reproducible.sh [WORK_DIR]     (default: a temporary folder, removed after)
#
# Each copy is a clone of this checkout's commit (so that the build finds the last commit's time
# as an ordinary checkout gives it) holding the tracked and untracked files of the working tree.
# SOURCE_DATE_EPOCH, when set, reaches both builds. Exit status 0 when every compared file is
# identical.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-}
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
start=$(date +%s)

for side in a b; do
  # The two copies lie at different depths, so that no path length lines up by chance.
  src=$work/$side/source-$side
  [ "$side" = b ] && src=$work/$side/deeper/source-$side
  rm -rf "${work:?}/$side"
  git clone -q --shared --no-checkout "$root" "$src"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard |
     xargs -0 cp --parents -t "$src")
  cmake -S "$src" -B "$work/$side/build-$side" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DTALVEN_SIGN_CERT= -DTALVEN_SIGN_KEY= >/dev/null
  cmake --build "$work/$side/build-$side" -j2 --target talven_package >/dev/null
done

a=$work/a/build-a/package
b=$work/b/build-b/package
failed=0
compared=0
for f in $(cd "$a" && find talven-package -type f | sort) talven-package.zip SHA256SUMS; do
  compared=$((compared + 1))
  if cmp -s "$a/$f" "$b/$f"; then
    echo "same      $f"
  else
    echo "DIFFERENT $f"
    failed=1
  fi
done
if [ "$(cd "$a" && find talven-package | sort)" != "$(cd "$b" && find talven-package | sort)" ]; then
  echo "DIFFERENT list of files in talven-package/"
  failed=1
fi
# No build or source folder inside the programs or drivers.
for f in "$a"/talven-package/*.exe "$a"/talven-package/system/*.sys; do
  if strings -a "$f" | grep -F -e "$work" -e "$root"; then
    echo "BUILD PATH in $(basename "$f")"
    failed=1
  fi
done
echo "$compared files compared, two builds in $(( $(date +%s) - start )) s"
exit $failed
