# Helpers of the Wine scenarios (scenarios/*.sh). A scenario that talven_wine_test() (see
# CMakeLists.txt here) registers sources this file and runs in a prefix of its own:
#
#   . "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"
#   gui_prefix winxp                        # display, fresh prefix (wine_prefix_new: no display)
#   setup_package "$TALVEN_TEST_DIR/pkg"    # a package folder from the nested Windows build
#   run_setup "$TALVEN_TEST_DIR/pkg" 0 "install" "${TO_INSTALL[@]}" "${SETUP_COMPLETES[@]}"
#   finish
#
# Environment set by talven_wine_test(): TALVEN_SOURCE_DIR (source tree), TALVEN_WIN32_BIN (the
# nested Windows build), TALVEN_TEST_DRIVERS (test drivers, .sys), TALVEN_TEST_TOOLS (Windows-side
# test programs and tools, .exe), TALVEN_WINE_TEMPLATE (template prefix of the wine_template
# fixture), TALVEN_TEST_DIR (this test's scratch folder), TALVEN_WINE_NAMES (the control ids and
# texts generated from the programs' headers: SETUP_IDC_*, UNINSTALL_IDC_*, TALVEN_SUPPORT_*).
# Optional: TALVEN_WINE_KEEP=1 keeps the prefix after a passing run (failing runs always keep it);
# TALVEN_WINE_TIMEOUT (seconds, default 120) bounds each wine_run / wine_svc call.
#
# The helpers below, by section: checks (expect_*: each failure names the scenario's file and
# line), prefix and display, programs, packages, services and files.
[ -n "${TALVEN_LIB_LOADED:-}" ] && return 0
TALVEN_LIB_LOADED=1
set -u
. "${TALVEN_WINE_NAMES:?set by talven_wine_test}"

TALVEN_WINE_FAILURES=0
TALVEN_WINE_SKIPS=0
TALVEN_XVFB_PID=
TALVEN_PREFIX=
GUI_FAILED=0
PROGRAM_PID=

# Windows' own ids: the buttons of a message box, its text, the system menu's Close.
IDOK=1
IDCANCEL=2
MSGBOX_TEXT=-1
SC_CLOSE=0xF060

SETUP_DEFAULT_DIR='C:\Program Files\Orbanet\TALVEN 5.7'
TEXT_COMPLETE="TALVEN Installation Complete!"
TEXT_FAILURE="TALVEN installation was unsuccessful.  Please contact tech support at $TALVEN_SUPPORT_EMAIL, or visit $TALVEN_SUPPORT_WEB for more help."
TEXT_NO_DIRECTORY="Could not create install directory"
TEXT_PATH_TOO_LONG="The TALVEN installer cannot run from a folder this deep.  Please copy the installation files to a folder with a shorter path and run setup again."
TEXT_DAMAGED="The TALVEN package is damaged: %s %s.  Please get a new copy of the package and run its setup again."  # printf: the file, what is wrong
TEXT_REMOVED="TALVEN Removed!"
TEXT_BUSY="Another TALVEN setup or uninstall program is running.  Please try again when it has finished."
TEXT_NOT_INSTALLED="TALVEN is either not currently installed, or you do not have access to delete the system files.  Contact your administrator or $TALVEN_SUPPORT_EMAIL for more help."
TEXT_UNSUPPORTED="This program will not run on your operating system.  Contact $TALVEN_SUPPORT_EMAIL for help."
TEXT_RESTART="TALVEN has been unregistered, but some of its drivers or system files are still in use and could not be removed now.  They will be removed when the computer restarts.\n\nPlease restart the computer to complete the uninstall."
TEXT_RESTART_AFTER_ERROR="TALVEN has been unregistered, but some of its drivers or system files are still in use and could not be removed now.  They will be removed when the computer restarts, except any file that an error message named before, which you must delete yourself.\n\nPlease restart the computer."
TEXT_RESTART_FIRST="The TALVEN drivers of an earlier installation are removed only when the computer restarts, and they cannot be installed again before then.  Please restart the computer and then run setup again."
# printf format: the driver's name.
TEXT_STILL_REGISTERED="TALVEN could not remove the registration of the driver %s.  The TALVEN system files have been left in place, so that the uninstaller can run again: please restart the computer and run the uninstaller again, or contact your administrator or $TALVEN_SUPPORT_EMAIL for help."

# --- Checks ----------------------------------------------------------------------------------

# Records a failure at the scenario's line: the first caller outside this file.
_talven_fail() {
  local i=1
  while [ $i -lt $((${#BASH_SOURCE[@]} - 1)) ] && [ "${BASH_SOURCE[$i]}" = "$BASH_SOURCE" ]; do
    i=$((i + 1))
  done
  echo "FAIL $(basename "${BASH_SOURCE[$i]}"):${BASH_LINENO[$((i - 1))]}: $*"
  TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
}

# Runs CMD... every 0.1 s until it succeeds, at most N times; its last exit code.
poll() {  # N CMD...
  local n
  for n in $(seq "$1"); do
    "${@:2}" && return 0
    sleep 0.1
  done
  "${@:2}"
}

# An expectation held (RC 0: OK-TEXT printed) or failed (FAIL-TEXT recorded).
_talven_check() {  # RC OK-TEXT FAIL-TEXT
  if [ "$1" -eq 0 ]; then
    echo "ok   $2"
  else
    _talven_fail "$3"
  fi
}

expect_eq() {
  [ "$2" = "$3" ]
  _talven_check $? "$1: $3" "$1: expected '$2', got '$3'"
}

# expect_ok DESC CMD...: CMD must succeed; expect_fail DESC CMD...: it must fail. CMD's exit code.
expect_ok() { _talven_expect_rc 0 "$@"; }
expect_fail() { _talven_expect_rc 1 "$1 fails" "${@:2}"; }

_talven_expect_rc() {  # 0|1 DESC CMD...
  local want=$1 desc=$2 out rc
  shift 2
  out=$("$@" 2>&1); rc=$?
  [ $((rc != 0)) = "$want" ]
  _talven_check $? "$desc${out:+: $out}" "$desc: exit code $rc${out:+: $out}"
  return $rc
}

expect_same_file() {
  cmp -s "$2" "$3"
  _talven_check $? "$1" \
    "$1: $2 and $3 differ (or one is missing): $(ls -l "$2" "$3" 2>&1 | tr '\n' ' ')"
}

expect_file() {  # DESC present|gone NAME.EXT (driver_file)
  expect_eq "$1" "$2" "$(file_state "$(driver_file "$3")")"
}

expect_no_path() {
  [ ! -e "$2" ]
  _talven_check $? "$1" "$1: expected nothing at $2, found: $(ls -ld "$2" 2>&1)"
}

# A part that cannot run here.
skip() {
  echo "SKIP $*"
  TALVEN_WINE_SKIPS=$((TALVEN_WINE_SKIPS + 1))
}

# Exit 0, or 1 when an expectation failed, or 77 (CTest: skipped) when a part was skipped.
finish() {
  if [ "$TALVEN_WINE_FAILURES" -ne 0 ]; then
    echo "$TALVEN_WINE_FAILURES expectation(s) failed"
    exit 1
  fi
  [ "$TALVEN_WINE_SKIPS" -ne 0 ] && exit 77
  exit 0
}

# --- Prefix and display ----------------------------------------------------------------------

# The EXIT trap: the command in TALVEN_ON_EXIT if set, wineserver -k for this prefix, our Xvfb
# stopped, the prefix removed on success.
_talven_cleanup() {
  local rc=$?
  ${TALVEN_ON_EXIT:-}
  if [ -n "$TALVEN_PREFIX" ]; then
    WINEPREFIX=$TALVEN_PREFIX wineserver -k 2>/dev/null
    WINEPREFIX=$TALVEN_PREFIX wineserver -w 2>/dev/null
    if { [ $rc -eq 0 ] || [ $rc -eq 77 ]; } && [ "${TALVEN_WINE_KEEP:-0}" != 1 ]; then
      rm -rf "$TALVEN_PREFIX"
    else
      echo "prefix kept: $TALVEN_PREFIX"
    fi
  fi
  if [ -n "$TALVEN_XVFB_PID" ]; then
    kill "$TALVEN_XVFB_PID" 2>/dev/null
    wait "$TALVEN_XVFB_PID" 2>/dev/null
  fi
  exit $rc
}

# The 64-bit template, kept beside the 32-bit one: made on first use and again when Wine changes
# (about 40 s; a copy takes 7). Fails when this machine's Wine cannot make a 64-bit prefix.
wine_template64() {
  local dir=${TALVEN_WINE_TEMPLATE:?set by talven_wine_test}64
  if [ "$(cat "$dir/.talven-template" 2>/dev/null)" != "win64 $(wine --version)" ]; then
    bash "$TALVEN_SOURCE_DIR/tests/wine/make_template.sh" "$dir" win64 || return 1
  fi
  [ -d "$dir/drive_c/windows/syswow64" ]
}

# A copy of the template with a persistent wineserver (drivers live as long as it does) and the
# cleanup trap; VERSION: Wine's version setting. A 64-bit prefix (wine_template64's) when
# TALVEN_WINE_ARCH is win64, which a later call in the same scenario may change.
wine_prefix_new() {
  : "${TALVEN_TEST_DIR:?set by talven_wine_test}" "${TALVEN_WINE_TEMPLATE:?set by talven_wine_test}"
  local arch=${TALVEN_WINE_ARCH:-win32} template=$TALVEN_WINE_TEMPLATE
  [ "$arch" = win64 ] && template=${TALVEN_WINE_TEMPLATE}64
  if [ ! -f "$template/system.reg" ]; then
    echo "no template prefix at $template (run the wine_template test first)"
    exit 1
  fi
  export WINEARCH=$arch WINEDEBUG=${TALVEN_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX=$TALVEN_TEST_DIR/prefix
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$TALVEN_TEST_DIR"
  # Wine's libraries, programs and code pages (nearly all of the template's 600 MB) are hard links
  # to the template's files where both lie on one file system: no scenario writes to them, and
  # Wine itself only when it updates a prefix to a new Wine version. Every other file is a copy of
  # its own.
  { cp -al "$template" "$WINEPREFIX" 2>/dev/null ||
      { rm -rf "$WINEPREFIX" && cp -a "$template" "$WINEPREFIX"; }; } &&
    (cd "$template" &&
       find . ! -type d ! -iname '*.dll' ! -iname '*.exe' ! -iname '*.nls' -print0 |
       xargs -0 cp -a --parents --remove-destination -t "$WINEPREFIX") || exit 1
  TALVEN_PREFIX=$WINEPREFIX
  trap _talven_cleanup EXIT
  trap 'exit 130' INT TERM
  # Kept alive between the script's steps (drivers stop when the server ends); 300 s rather than
  # forever, so that a test killed by CTest's time-out does not leave a server behind for good.
  wineserver -p300 || exit 1
  if [ -n "${1:-}" ]; then
    wine_set_version "$1" || exit 1
  fi
  # Every Windows 95 and 98 has system\vmm32; Wine's shell does not create a missing
  # destination folder of a wildcard copy.
  mkdir -p "$WINEPREFIX/drive_c/windows/system/vmm32"
  SETUP_DRIVERS=$WINEPREFIX/drive_c/windows/system32/drivers
  SETUP_INSTALL_DIR="$WINEPREFIX/drive_c/Program Files/Orbanet/TALVEN 5.7"
}

# Wine's Windows version for every program, or for PROG.exe alone (AppDefaults).
wine_set_version() {  # VERSION [PROG.exe]
  wine reg add "HKCU\\Software\\Wine${2:+\\AppDefaults\\$2}" /v Version /d "$1" /f >/dev/null
}

# Xvfb picks a free display itself (-displayfd), so tests running side by side never collide.
wine_start_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local fifo=$TALVEN_TEST_DIR/xvfb.display
  rm -f "$fifo"
  mkdir -p "$TALVEN_TEST_DIR"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$fifo" 2>/dev/null &
  TALVEN_XVFB_PID=$!
  # Stopped on every exit, also when the prefix is never made (its inherited output would keep
  # whoever reads this script's output waiting).
  trap _talven_cleanup EXIT
  if ! poll 100 test -s "$fifo"; then
    echo "Xvfb did not start"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fifo")"
}

# A private Xvfb (before the prefix's first process, which starts its desktop), then the prefix;
# setup.exe alone sees SETUP_VERSION when given. CAPTION: the wizard's caption; TO_INSTALL:
# guictl's way from page 0 to Install.
gui_prefix() {
  wine_start_display || exit 1
  wine_prefix_new "$1"
  if [ -n "${2:-}" ]; then
    wine_set_version "$2" setup.exe || exit 1
  fi
  CAPTION=$(setup_caption "${2:-$1}")
  TO_INSTALL=(wait "$CAPTION" check "$SETUP_IDC_README_CHECK" 1 click "$SETUP_IDC_NEXT"
              wait-text "$SETUP_IDC_NEXT" Install)
}

# The wizard's caption (setup) or the dialog's (uninstall: UnInstaller) for a Wine version name.
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
  echo "$name Orbanet Universal Driver ${2:-Installer} v1.0"
}
UNINSTALL_TITLE=$(setup_caption winxp UnInstaller)

# --- Programs --------------------------------------------------------------------------------

wine_run() {
  timeout "${TALVEN_WINE_TIMEOUT:-120}" wine "$@"
}

# A test program (wine_test.h): a failure unless it exits with 0.
wine_test_program() {
  local rc
  echo "---- $(basename "$1") ${*:2}"
  wine_run "$@" 2>&1 | tr -d '\r'
  rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || _talven_fail "$(basename "$1") ${*:2}: exit code $rc"
}

# The exit code goes into a file, so that program_exit can wait from a command substitution.
program_start() {
  PROGRAM_STATUS=$TALVEN_TEST_DIR/program.status
  rm -f "$PROGRAM_STATUS"
  GUI_FAILED=0
  (cd "$1" && wine_run "$2"; echo $? >"$PROGRAM_STATUS") &
  PROGRAM_PID=$!
}

# Waits for the program (60 s, 5 s after a failed expect_gui); its exit code, or "timeout" (then
# it is stopped).
program_exit() {
  local seconds=${1:-60}
  [ "$GUI_FAILED" = 1 ] && seconds=5
  if poll $((seconds * 10)) test -s "$PROGRAM_STATUS"; then
    cat "$PROGRAM_STATUS"
    return
  fi
  echo "     the program is still running after $seconds s: stopped" >&2
  gui list >&2
  pkill -TERM -P "$PROGRAM_PID" 2>/dev/null
  echo timeout
}

expect_exit() {
  expect_eq "$1" "$2" "$(program_exit)"
}

# The program ends, with any exit code.
expect_ended() {
  local code
  code=$(program_exit)
  [ "$code" != timeout ]
  _talven_check $? "$1: exit code $code" "$1: the program did not end"
}

setup_start() {
  program_start "$1" "${2:-setup.exe}"
}

# From a folder of its own, as it runs from the package or the install directory.
uninstall_start() {
  local dir=${1:-$WINEPREFIX/drive_c/talven}
  if [ -z "${1:-}" ]; then
    mkdir -p "$dir"
    cp "$TALVEN_WIN32_BIN/uninstall/uninstall.exe" "$dir/uninstall.exe"
  fi
  program_start "$dir" uninstall.exe
}

# A tool of TALVEN_TEST_TOOLS (tests/tools): its output without CRs, its exit code. svcctl:
# create NAME PATH [START] | start | stop | delete | state NAME; vxdldr_ctl: the test VxD
# loader's counts and request log.
_talven_tool() {  # NAME ARGS...
  wine_run "$TALVEN_TEST_TOOLS/$1.exe" "${@:2}" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
gui() { _talven_tool guictl "$@"; }
wine_svc() { _talven_tool svcctl "$@"; }
vxdldr_ctl() { _talven_tool vxdldr_ctl "$@"; }

expect_gui() {
  local desc=$1 out rc
  shift
  out=$(gui "$@"); rc=$?
  if [ $rc -ne 0 ]; then
    _talven_fail "$desc: guictl exit code $rc"
    GUI_FAILED=1
  else
    echo "ok   $desc"
  fi
  echo "$out" | sed 's/^/       /'
  return $rc
}

# run_setup DIR CODE DESC GUICTL-ARGS...: setup.exe from DIR, driven by guictl, must exit with
# CODE; run_uninstall likewise (DIR "": the built one in C:\talven); run_gui CODE DESC ...: the
# program already started.
run_setup() {
  setup_start "$1"
  run_gui "${@:2}"
}
run_uninstall() {
  uninstall_start "$1"
  run_gui "${@:2}"
}
run_gui() {
  expect_gui "$2" "${@:3}"
  expect_exit "$2: exit code" "$1"
}

# The outcomes guictl waits for after page 1's Install: the completion message with no "Error"
# box on the way, the failure message alone and no box after it; uninstall's restart message.
SETUP_COMPLETES=(click "$SETUP_IDC_NEXT" timeout 60000 fail-on Error wait-msgbox ""
                 expect-text $MSGBOX_TEXT "$TEXT_COMPLETE" click $IDOK wait-gone)
SETUP_FAILS=(click "$SETUP_IDC_NEXT" timeout 60000 fail-on "" wait-msgbox Error
             expect-text $MSGBOX_TEXT "$TEXT_FAILURE" expect-alone click $IDOK wait-gone
             absent Error 1000 absent "" 500)
UNINSTALL_RESTARTS=(fail-on Error wait "$UNINSTALL_TITLE" click $IDOK wait-msgbox Notice 20000
                    expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" expect-alone click $IDOK wait-gone)

# --- Packages and read-mes ---------------------------------------------------------------------

# Package folder DIR made as every package is, by the package step (make_package.py), from a test
# payload: setup.txt, developer files, system\ with windrvr.sys (WINDRVR.sys when given, else the
# good test driver), talvenkp.sys (TALVENKP.sys, else WINDRVR.sys, else the good test driver) and
# the demonstration's .vxd placeholders. The payload is left in DIR.payload for a scenario that
# changes it and makes the package again (package_from).
setup_package() {  # DIR [WINDRVR [TALVENKP]]
  local dir=$1 payload=$1.payload
  rm -rf "$payload"
  mkdir -p "$payload/system" "$payload/include" "$payload/doc" || return 1
  printf 'TALVEN 5.7 test package\r\n\r\nThe drivers in system\\ are test drivers.\r\n' \
    >"$payload/setup.txt"
  printf '/* TALVEN API (test package) */\r\n#define TALVEN_VERSION 0x0507\r\n' \
    >"$payload/include/talven.h"
  printf 'TALVEN developer notes\r\n' >"$payload/doc/readme.txt"
  cp "${2:-$TALVEN_TEST_DRIVERS/windrvr.sys}" "$payload/system/windrvr.sys" &&
    cp "${3:-${2:-$TALVEN_TEST_DRIVERS/talvenkp.sys}}" "$payload/system/talvenkp.sys" &&
    cp "$TALVEN_SOURCE_DIR"/package/system/*.vxd "$payload/system/" || return 1
  package_from "$payload" "$dir"
}

# The package folder DIR from the payload folder PAYLOAD, through the package step.
package_from() {  # PAYLOAD DIR
  local out=$2.out
  rm -rf "$2" "$out"
  SOURCE_DATE_EPOCH=315532800 python3 "$TALVEN_SOURCE_DIR/package/make_package.py" \
    --payload "$1" --setup "$TALVEN_WIN32_BIN/setup/setup.exe" \
    --uninstall "$TALVEN_WIN32_BIN/uninstall/uninstall.exe" --out "$out" \
    --placeholder "$TALVEN_SOURCE_DIR/package/system/windrvr.vxd" \
    --placeholder "$TALVEN_SOURCE_DIR/package/system/talvenkp.vxd" >/dev/null &&
    mv "$out/talven-package" "$2" && rm -rf "$out"
}

# A read-me of SIZE bytes: CRLF lines of text, then x up to the size.
readme_of() {
  awk -v size="$1" 'BEGIN {
    line = "TALVEN read-me line with some words to fill the page 0123456789";
    n = 0;
    while (n + length(line) + 2 <= size) { printf "%s\r\n", line; n += length(line) + 2 }
    while (n < size) { printf "x"; n++ } }'
}

# The Windows path (on Z:) of a Linux path.
windows_path() {
  echo "Z:${1//\//\\}"
}

# No install directory, no driver files, no services.
nothing_installed() {
  expect_no_path "$1: no install directory" "$WINEPREFIX/drive_c/Program Files/Orbanet"
  expect_driver_files "$1" gone sys
  expect_services "$1" MISSING
}

# Both services (WinDriver, talvenkp) in STATE: RUNNING, STOPPED, MISSING, ...
expect_services() {  # DESC STATE
  expect_eq "$1: WinDriver" "$2" "$(wine_service_state WinDriver)"
  expect_eq "$1: talvenkp" "$2" "$(wine_service_state talvenkp)"
}

# Both driver files (windrvr, talvenkp; EXT sys or vxd) present or gone.
expect_driver_files() {  # DESC present|gone EXT
  expect_file "$1: windrvr.$3" "$2" "windrvr.$3"
  expect_file "$1: talvenkp.$3" "$2" "talvenkp.$3"
}

# --- Services, driver files, held files ------------------------------------------------------

# RUNNING, STOPPED, ... or MISSING.
wine_service_state() {
  wine_svc state "$1"
}

wine_driver_copy() {
  cp "$1" "$SETUP_DRIVERS/${2:-$(basename "$1")}"
}

# A demand-start kernel service NAME for SYSFILE, copied into the drivers folder: a scenario's
# setup step, so a failure is the scenario's.
wine_driver_install() {
  wine_driver_copy "$2" || _talven_fail "copy $2"
  expect_ok "service $1 created" wine_svc create "$1" "C:\\windows\\system32\\drivers\\${2##*/}"
}

# A restart of the prefix's Windows: every process ended, then wineboot -r, which carries out the
# deletes left to it.
wine_restart() {
  wineserver -k
  wineserver -w
  wineserver -p300 || return 1
  wineboot -r >/dev/null 2>&1
}

# Both test drivers installed as WinDriver and talvenkp, and started.
running_drivers() {  # DESC
  wine_driver_install WinDriver "$TALVEN_TEST_DRIVERS/windrvr.sys"
  wine_driver_install talvenkp "$TALVEN_TEST_DRIVERS/talvenkp.sys"
  expect_ok "$1: WinDriver started" wine_svc start WinDriver
  expect_ok "$1: talvenkp started" wine_svc start talvenkp
}

# The path of a driver file: NAME.sys in the NT drivers folder, NAME.vxd in system\vmm32.
driver_file() {
  case $1 in
    *.vxd) echo "$WINEPREFIX/drive_c/windows/system/vmm32/$1" ;;
    *) echo "$SETUP_DRIVERS/$1" ;;
  esac
}

# The test drivers NAME.sys in place as NAME.EXT.
put_driver_files() {  # sys|vxd NAME...
  local ext=$1 name
  shift
  for name in "$@"; do
    cp "$TALVEN_TEST_DRIVERS/$name.sys" "$(driver_file "$name.$ext")" || _talven_fail "copy $name"
  done
}

file_state() {
  if [ -e "$1" ]; then echo present; else echo gone; fi
}

# The attribute letters attrib prints before the path ("A    R": AR).
file_attributes() {
  wine cmd /c attrib "$1" 2>/dev/null | tr -d '\r' | sed 's/[A-Z]:\\.*//' | tr -d ' '
}

# The driver files named in the system's pending-rename list, lower case, in list order.
pending_deletes() {
  wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
    /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -io '[a-z]*\.sys' |
    tr 'A-Z' 'a-z' | paste -sd' '
}

# The type and data of registry value NAME of KEY ("REG_DWORD 0x2"), or nothing.
reg_value() {  # KEY NAME
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { print $2, $3 }'
}

# hold_file.exe holds FILEs open (MODE read: shared for reading, none: not shared) until release.
hold() {
  local mode=$1 out=$TALVEN_TEST_DIR/hold.out
  shift
  rm -f "$out" "$WINEPREFIX/drive_c/release"
  wine_run "$TALVEN_TEST_TOOLS/hold_file.exe" "$mode" 'C:\release' "$@" >"$out" 2>&1 &
  HOLD_PID=$!
  poll 100 grep -qs held "$out" && return 0
  _talven_fail "hold_file did not hold $*: $(cat "$out")"
  return 1
}

release() {
  touch "$WINEPREFIX/drive_c/release"
  wait "$HOLD_PID"
}

reg_key_state() {
  if wine reg query "$1" >/dev/null 2>&1; then echo present; else echo gone; fi
}

