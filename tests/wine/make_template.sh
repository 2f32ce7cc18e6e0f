#!/usr/bin/env bash
# Creates the template Wine prefix (32-bit, no Mono/Gecko prompts) that every Wine scenario copies.
# Usage: make_template.sh DIR. Run by the wine_template CTest fixture.
set -eu
dir=$1
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$dir.new
unset DISPLAY
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$dir")"
start=$(date +%s)
wineboot -i
wineserver -w
rm -rf "$dir"
mv "$WINEPREFIX" "$dir"
echo "template prefix $dir ready in $(( $(date +%s) - start )) s ($(wine --version))"
