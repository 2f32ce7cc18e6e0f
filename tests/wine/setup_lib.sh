# Helpers of the setup scenarios: a package folder built from the nested Windows build, setup.exe
# started from it as a user starts it, and guictl.exe (tests/wine/gui/guictl.cpp) to drive its
# dialogs. Source it instead of lib.sh, which it sources:
#
#   . "$TALVEN_SOURCE_DIR/tests/wine/setup_lib.sh"
#   setup_prefix winxp                      # display first, then a fresh prefix
#   setup_package "$TALVEN_TEST_DIR/pkg"    # the package folder (Z:\...)
#   setup_start "$TALVEN_TEST_DIR/pkg"      # setup.exe in the background, cwd = package folder
#   expect_gui "page 0" wait "$(setup_caption winxp)" check 1007 1 ...
#   setup_wait_exit; expect_eq "exit code" 0 "$SETUP_EXIT"
#   finish
#
# Functions:
#   setup_prefix VERSION            private Xvfb display, then wine_prefix_new VERSION (the
#                                   display must exist before the first Wine process of the
#                                   prefix starts, or the prefix's desktop runs without one)
#   setup_virtual_desktop [WxH]     run the prefix's windows in a Wine desktop window (default
#                                   800x600), which draws title bars and frames: screenshots
#                                   under Xvfb, which has no window manager, then show captions.
#                                   Restarts the prefix's wineserver: call it right after
#                                   setup_prefix, before any driver is started
#   setup_package DIR [DRIVER.sys]  package folder: setup.exe, uninstall.exe when built, setup.txt,
#                                   developer files, system\ with windrvr.sys and talvenkp.sys
#                                   (copies of DRIVER.sys when given, else the good test drivers)
#                                   and two .vxd stand-ins
#   setup_start DIR [EXE]           start DIR/EXE (setup.exe) with DIR as working directory
#   setup_wait_exit [SECONDS]       wait for it (default 60 s, 5 s after a failed expect_gui;
#                                   killed after that); SETUP_EXIT holds its exit code, or
#                                   "timeout"
#   setup_caption VERSION           the wizard's caption for a Wine version name
#   gui ARGS...                     run guictl.exe, output without CRs, its exit code
#   expect_gui DESC ARGS...         run guictl.exe, print its lines, record a failure when it fails
#   gui_screenshot FILE.png         save the whole virtual screen
#   setup_failure_text              the complete failure message of an unsuccessful run
#   expect_same_file DESC A B       two files hold the same bytes
#   expect_no_path DESC PATH        nothing at PATH
#   expect_ended DESC               the last setup_wait_exit saw the program end (any exit code)
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

GUICTL=$TALVEN_TEST_TOOLS/guictl.exe
SETUP_PID=
SETUP_EXIT=
GUI_FAILED=0
SETUP_DEFAULT_DIR='C:\Program Files\Orbanet\TALVEN 5.7'

setup_prefix() {
  wine_start_display || exit 1
  wine_prefix_new "$1"
  SETUP_DRIVERS=$WINEPREFIX/drive_c/windows/system32/drivers
  SETUP_INSTALL_DIR="$WINEPREFIX/drive_c/Program Files/Orbanet/TALVEN 5.7"
}

setup_virtual_desktop() {
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null &&
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${1:-800x600}" /f \
      >/dev/null || return 1
  wineserver -k
  wineserver -w
  wineserver -p300
}

setup_package() {
  local dir=$1 driver=${2:-}
  rm -rf "$dir"
  mkdir -p "$dir/system" "$dir/include" "$dir/doc" || return 1
  cp "$TALVEN_WIN32_BIN/setup/setup.exe" "$dir/" || return 1
  if [ -f "$TALVEN_WIN32_BIN/uninstall/uninstall.exe" ]; then
    cp "$TALVEN_WIN32_BIN/uninstall/uninstall.exe" "$dir/"
  fi
  printf 'TALVEN 5.7 test package\r\n\r\nThe drivers in system\\ are test drivers.\r\n' >"$dir/setup.txt"
  printf '/* TALVEN API (test package) */\r\n#define TALVEN_VERSION 0x0507\r\n' >"$dir/include/talven.h"
  printf 'TALVEN developer notes\r\n' >"$dir/doc/readme.txt"
  if [ -n "$driver" ]; then
    cp "$driver" "$dir/system/windrvr.sys" && cp "$driver" "$dir/system/talvenkp.sys" || return 1
  else
    cp "$TALVEN_TEST_DRIVERS/windrvr.sys" "$TALVEN_TEST_DRIVERS/talvenkp.sys" "$dir/system/" ||
      return 1
  fi
  printf 'VXD stand-in windrvr\r\n' >"$dir/system/windrvr.vxd"
  printf 'VXD stand-in talvenkp\r\n' >"$dir/system/talvenkp.vxd"
}

setup_start() {
  local dir=$1 exe=${2:-setup.exe}
  SETUP_EXIT=
  GUI_FAILED=0
  (cd "$dir" && exec wine "$exe") &
  SETUP_PID=$!
}

setup_wait_exit() {
  local seconds=${1:-60} n
  [ "$GUI_FAILED" = 1 ] && seconds=5
  for n in $(seq $((seconds * 10))); do
    kill -0 "$SETUP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$SETUP_PID" 2>/dev/null; then
    echo "     the program is still running after $seconds s: stopped"
    gui list
    kill "$SETUP_PID" 2>/dev/null
    wait "$SETUP_PID" 2>/dev/null
    SETUP_EXIT=timeout
    return 1
  fi
  wait "$SETUP_PID"
  SETUP_EXIT=$?
}

setup_caption() {
  local name
  case $1 in
    win95) name="Windows 95" ;;
    win98 | winme) name="Windows 98" ;;
    nt40) name="Windows NT 4.0" ;;
    win2k) name="Windows 2000" ;;
    winxp | win2003) name="Windows XP" ;;
    *) name="None Detected" ;;
  esac
  echo "$name Orbanet Universal Driver Installer v1.0"
}

gui() {
  wine_run "$GUICTL" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

expect_gui() {
  local desc=$1 out rc
  shift
  out=$(gui "$@"); rc=$?
  if [ $rc -ne 0 ]; then
    echo "FAIL $(_talven_where): $desc: guictl exit code $rc"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
    GUI_FAILED=1
  else
    echo "ok   $desc"
  fi
  echo "$out" | sed 's/^/       /'
  return $rc
}

gui_screenshot() {
  import -display "$DISPLAY" -window root "$1"
}

setup_failure_text() {
  local header=$TALVEN_SOURCE_DIR/support/support_contact.h email web
  email=$(sed -n 's/^#define TALVEN_SUPPORT_EMAIL "\(.*\)"$/\1/p' "$header")
  web=$(sed -n 's/^#define TALVEN_SUPPORT_WEB "\(.*\)"$/\1/p' "$header")
  echo "TALVEN installation was unsuccessful.  Please contact tech support at $email, or visit $web for more help."
}

expect_same_file() {
  if cmp -s "$2" "$3"; then
    echo "ok   $1"
  else
    echo "FAIL $(_talven_where): $1: $2 and $3 differ (or one is missing):" \
      "$(ls -l "$2" "$3" 2>&1 | tr '\n' ' ')"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  fi
}

expect_no_path() {
  if [ -e "$2" ]; then
    echo "FAIL $(_talven_where): $1: expected nothing at $2, found: $(ls -ld "$2")"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  else
    echo "ok   $1"
  fi
}

expect_ended() {
  echo "     $1: exit code $SETUP_EXIT"
  if [ "$SETUP_EXIT" = timeout ]; then
    echo "FAIL $(_talven_where): $1: the program did not end"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  fi
}
