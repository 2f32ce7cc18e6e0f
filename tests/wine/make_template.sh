#!/usr/bin/env bash
# Creates a template Wine prefix (no Mono/Gecko prompts) that Wine scenarios copy: 32-bit, or
# 64-bit with ARCH win64. The file .talven-template in it names its ARCH and Wine version.
# Usage: make_template.sh DIR [ARCH]. Run by the wine_template CTest fixture (32-bit) and by
# lib.sh's wine_template64.
set -eu
dir=$1
arch=${2:-win32}
export WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$dir.new
unset DISPLAY
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$dir")"
start=$(date +%s)
wineboot -i
wineserver -w
echo "$arch $(wine --version)" >"$WINEPREFIX/.talven-template"
rm -rf "$dir"
mv "$WINEPREFIX" "$dir"
echo "template prefix $dir ready in $(( $(date +%s) - start )) s ($(wine --version), $arch)"
