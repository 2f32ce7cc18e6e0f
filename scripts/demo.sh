#!/usr/bin/env bash
# The main job: builds the TALVEN package and installs it with its real setup.exe in a throwaway
# 32-bit Wine prefix that reports Windows XP, shows what was installed (files, both services as
# Wine's service control manager reports them), then removes it with the real uninstall.exe.
#
#   bash scripts/demo.sh              with a usable display you click through the programs
#                                     yourself; without one an autopilot does it under Xvfb
#   bash scripts/demo.sh --autopilot  the autopilot even when there is a display
#
# The autopilot goes through the pages like a user and saves a PNG screenshot of each page, of
# the status windows and of the outcomes. Everything lands in build/demo/: the package copy,
# the prefix, the screenshots (*.png) and installed.txt / removed.txt. Environment:
# TALVEN_DEMO_BUILD (default build/win32, the win32 preset) and TALVEN_DEMO_OUT (build/demo).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# Relative paths are taken from the folder the script is started in (Wine takes only a full path
# for its prefix).
build=$(realpath -m -- "${TALVEN_DEMO_BUILD:-$root/build/win32}")
out=$(realpath -m -- "${TALVEN_DEMO_OUT:-$root/build/demo}")
autopilot=0
[ "${1:-}" = --autopilot ] && autopilot=1

say() { printf '\n== %s\n' "$*"; }

# --- 1. What the demo needs, then the package -------------------------------------------------
say "Installing what is missing (scripts/install-deps.sh)"
if [ "$(id -u)" -eq 0 ]; then
  bash "$root/scripts/install-deps.sh"
elif command -v sudo >/dev/null; then
  sudo bash "$root/scripts/install-deps.sh"
else
  echo "Not root and no sudo: skipped; the steps below need what scripts/install-deps.sh installs."
fi

say "Building the package (CMake, MinGW-w64) in $build"
if [ "$build" = "$root/build/win32" ]; then
  (cd "$root" && cmake --preset win32 >/dev/null)
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
cmake --build "$build" -j2 --target talven_package svcctl guictl
package=$build/package/talven-package
# shellcheck disable=SC2034  # read by demo_lib.sh
tools=$build/tests/bin

# --- 2. A throwaway prefix that reports Windows XP, and a display -----------------------------
. "$root/scripts/demo_lib.sh"
trap demo_stop EXIT
demo_display "$autopilot"
rm -rf "$out"
mkdir -p "$out"
cp -r "$package" "$out/talven-package"
say "Making a fresh 32-bit Wine prefix in $out/prefix (Windows XP)"
demo_prefix "$out/prefix"
install_dir="$WINEPREFIX/drive_c/Program Files/Orbanet/TALVEN 5.7"

# --- 3. Setup -----------------------------------------------------------------------------------
say "Running setup.exe from $out/talven-package"
demo_start "$out/talven-package" setup.exe
if [ "$DEMO_AUTOPILOT" = 1 ]; then
  caption="Windows XP Orbanet Universal Driver Installer v1.0"
  gui wait "$caption" 20000 sleep 300
  shot 01-setup-readme
  gui wait "$caption" check "$(resource_id setup IDC_README_CHECK)" 1 sleep 200
  shot 02-setup-readme-ticked
  next=$(resource_id setup IDC_NEXT)
  gui wait "$caption" click "$next" expect-text "$next" Install sleep 300
  shot 03-setup-directory
  # A second guictl watches for the status window: the dialog holding the status control
  # (setup's completion box has no caption either).
  (gui wait-control "$(resource_id setup IDC_STATUS_TEXT)" 20000 sleep 300 >/dev/null &&
     shot 04-setup-status) &
  gui wait "$caption" click "$next" wait-msgbox "" 30000 sleep 200
  wait $! || echo "   (no screenshot of the status window)"
  shot 05-setup-complete
  gui wait-msgbox "" click 1
else
  echo "Go through the wizard in the window that opened; the demo goes on when setup ends."
fi
echo "setup.exe exit code: $(demo_wait)"

say "What was installed"
demo_report "$install_dir" | tee "$out/installed.txt"

# --- 4. Uninstall, from the install directory ---------------------------------------------------
say "Running uninstall.exe from the install directory"
demo_start "$install_dir" uninstall.exe
if [ "$DEMO_AUTOPILOT" = 1 ]; then
  caption="Windows XP Orbanet Universal Driver UnInstaller v1.0"
  gui wait "$caption" 20000 sleep 300
  shot 06-uninstall-confirm
  (gui wait-control "$(resource_id uninstall IDC_STATUS_TEXT)" 20000 sleep 300 >/dev/null &&
     shot 07-uninstall-status) &
  gui wait "$caption" click 1 wait-msgbox Notice 30000 sleep 200
  wait $! || echo "   (no screenshot of the status window)"
  shot 08-uninstall-removed
  gui wait-msgbox Notice click 1
else
  echo "Answer the uninstaller in the window that opened; the demo goes on when it ends."
fi
echo "uninstall.exe exit code: $(demo_wait)"

say "What is left"
demo_report "$install_dir" | tee "$out/removed.txt"

demo_stop
say "Done"
echo "Output folder: $out"
if [ "$DEMO_AUTOPILOT" = 1 ]; then
  echo "Screenshots:"
  ls -1 "$out"/*.png | sed 's/^/  /'
fi
