# Helpers of the uninstall scenarios (uninstall_*.sh), on top of lib.sh. Source it instead of
# lib.sh. Each scenario starts the real uninstall.exe and answers its dialogs with guictl.exe.
#
#   uninstall_prefix [VERSION]      display (private Xvfb unless DISPLAY is set), fresh prefix
#   uninstall_start [DIR]           start uninstall.exe in the background: DIR/uninstall.exe, or
#                                   the one just built, copied into C:\talven
#   uninstall_exit_code             wait for it; prints its exit code
#   gui COMMAND...                  guictl.exe in this prefix (see gui/guictl.cpp)
#   put_driver_files [sys|vxd] [windrvr] [talvenkp]   test driver files into the driver folder
#   driver_file NAME.EXT            the Linux path of a file in the driver folder (sys: NT, vxd: 9x)
#   hold MODE FILE...               hold_file.exe in the background (MODE read|none) until release
#   release                         let the held files go, and wait for the holder to end
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

UNINSTALL_EXE=$TALVEN_WIN32_BIN/uninstall/uninstall.exe
HOLD_EXE=$TALVEN_WIN32_BIN/uninstall/hold_file.exe
VXDLDR_CTL=$TALVEN_WIN32_BIN/uninstall/vxdldr_ctl.exe
GUICTL=$TALVEN_TEST_TOOLS/guictl.exe
UNINSTALL_TITLE="Windows XP Orbanet Universal Driver UnInstaller v1.0"
TEXT_NOT_INSTALLED="TALVEN is either not currently installed, or you do not have access to delete the system files.  Contact your administrator or support@talven-drivers.example for more help."
TEXT_UNSUPPORTED="This program will not run on your operating system.  Contact support@talven-drivers.example for help."
TEXT_RESTART="TALVEN has been unregistered, but some of its drivers or system files are still in use and could not be removed now.  They will be removed when the computer restarts.\n\nPlease restart the computer to complete the uninstall."
HOLD_PID=

uninstall_prefix() {
  wine_start_display || exit 1  # before the prefix's first process, which starts its desktop
  wine_prefix_new "$@"
  mkdir -p "$WINEPREFIX/drive_c/windows/system/vmm32"
}

uninstall_start() {
  # From a folder of its own, as it runs from the package or the install directory.
  local dir=${1:-$WINEPREFIX/drive_c/talven}
  if [ -z "${1:-}" ]; then
    mkdir -p "$dir"
    cp "$UNINSTALL_EXE" "$dir/uninstall.exe"
  fi
  rm -f "$TALVEN_TEST_DIR/uninstall.status"
  (cd "$dir" && wine_run uninstall.exe >/dev/null 2>&1
   echo $? >"$TALVEN_TEST_DIR/uninstall.status") &
}

# The exit status a background run wrote into FILE, once it is there (at most 60 s). Also
# from a command substitution, which cannot wait for the background job itself.
status_from() {
  local n
  for n in $(seq 600); do
    if [ -s "$1" ]; then
      cat "$1"
      return
    fi
    sleep 0.1
  done
  echo "still running"
}

uninstall_exit_code() {
  status_from "$TALVEN_TEST_DIR/uninstall.status"
}

gui() {
  wine_run "$GUICTL" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

driver_file() {
  case $1 in
    *.vxd) echo "$WINEPREFIX/drive_c/windows/system/vmm32/$1" ;;
    *) echo "$WINEPREFIX/drive_c/windows/system32/drivers/$1" ;;
  esac
}

put_driver_files() {
  local ext=$1 name
  shift
  for name in "$@"; do
    cp "$TALVEN_TEST_DRIVERS/$name.sys" "$(driver_file "$name.$ext")"
  done
}

file_state() {
  if [ -e "$1" ]; then echo present; else echo gone; fi
}

hold() {
  local mode=$1 out=$TALVEN_TEST_DIR/hold.out n
  shift
  rm -f "$out" "$WINEPREFIX/drive_c/release"
  wine_run "$HOLD_EXE" "$mode" 'C:\release' "$@" >"$out" 2>&1 &
  HOLD_PID=$!
  for n in $(seq 100); do
    grep -q held "$out" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "FAIL hold_file did not hold $*: $(cat "$out")"
  TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  return 1
}

release() {
  touch "$WINEPREFIX/drive_c/release"
  wait "$HOLD_PID"
}

reg_key_state() {
  if wine reg query "$1" >/dev/null 2>&1; then echo present; else echo gone; fi
}
