# Helpers for the Wine scenario scripts. Source it from a script that talven_wine_test() (see
# CMakeLists.txt here) registers; each script then runs one scenario in a prefix of its own:
#
#   . "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"
#   wine_prefix_new winxp                   # fresh copy of the template, wineserver kept alive
#   wine_driver_install tgood "$TALVEN_TEST_DRIVERS/windrvr.sys"
#   expect_ok   "start" wine_svc start tgood
#   expect_eq   "state" RUNNING "$(wine_service_state tgood)"
#   wine_run "$TALVEN_TEST_TOOLS/some_test.exe" arg...   # exit code passed through
#   finish                                  # exit 0 when every expectation held, else 1
#
# Environment set by talven_wine_test():
#   TALVEN_SOURCE_DIR     the source tree
#   TALVEN_WIN32_BIN      the nested Windows build folder
#   TALVEN_TEST_DRIVERS   the test drivers (.sys) in it
#   TALVEN_TEST_TOOLS     the Windows-side test programs (.exe) in it, svcctl.exe among them
#   TALVEN_WINE_TEMPLATE  the template prefix made by the wine_template fixture
#   TALVEN_TEST_DIR       this test's own scratch folder (emptied by wine_prefix_new)
# Optional: TALVEN_WINE_KEEP=1 keeps the prefix after a passing run (failing runs always keep it);
# TALVEN_WINE_TIMEOUT (seconds, default 120) bounds each wine_run / wine_svc call.
#
# Functions:
#   wine_prefix_new [VERSION]      copy the template into $TALVEN_TEST_DIR/prefix, export
#                                  WINEPREFIX/WINEARCH/WINEDEBUG/WINEDLLOVERRIDES, start a
#                                  persistent wineserver (services and kernel drivers live only
#                                  as long as it does), install the cleanup trap, set VERSION.
#   wine_set_version VERSION       global version: win95 win98 winme nt40 win2k winxp win2003 vista
#   wine_set_app_version PROG.exe VERSION   version for one program (AppDefaults)
#   wine_start_display             start a private Xvfb unless DISPLAY is set (GUI tests)
#   wine_run EXE ARGS...           run a Windows program, with a time-out; returns its exit code
#   wine_test_program EXE ARGS...  run a test program (wine_test.h), show its output, and record
#                                  a failure unless it exits with 0
#   wine_svc COMMAND NAME [ARGS]   svcctl.exe: create NAME PATH [START] | start | stop | delete
#   wine_service_state NAME        prints RUNNING, STOPPED, ... or MISSING (from the SCM)
#   wine_driver_copy SYSFILE [NAME.sys]     copy a driver into C:\windows\system32\drivers
#   wine_driver_install NAME SYSFILE        copy it and create a demand-start kernel service
#   wine_restart                   a restart of the prefix's Windows: every process of the prefix
#                                  ended, then wineboot -r, which carries out the renames and
#                                  deletes left to the restart (PendingFileRenameOperations,
#                                  WININIT.INI); the persistent wineserver runs again after it
#   expect_eq DESC EXPECTED ACTUAL / expect_ok DESC CMD... / expect_fail DESC CMD...
#                                  record a failure with the caller's file and line
#   finish                         exit with 0 when no expectation failed, else 1
# Cleanup (EXIT trap): wineserver -k for this prefix, stop our Xvfb, remove the prefix on success.

set -u

TALVEN_WINE_FAILURES=0
TALVEN_XVFB_PID=
TALVEN_PREFIX=

_talven_where() { echo "$(basename "${BASH_SOURCE[2]}"):${BASH_LINENO[1]}"; }

expect_eq() {
  if [ "$2" != "$3" ]; then
    echo "FAIL $(_talven_where): $1: expected '$2', got '$3'"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  else
    echo "ok   $1: $3"
  fi
}

expect_ok() {
  local desc=$1; shift
  local out rc
  out=$("$@" 2>&1); rc=$?
  if [ $rc -ne 0 ]; then
    echo "FAIL $(_talven_where): $desc: exit code $rc: $out"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  else
    echo "ok   $desc${out:+: $out}"
  fi
}

expect_fail() {
  local desc=$1; shift
  local out rc
  out=$("$@" 2>&1); rc=$?
  if [ $rc -eq 0 ]; then
    echo "FAIL $(_talven_where): $desc: succeeded but should fail: $out"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  else
    echo "ok   $desc fails${out:+: $out}"
  fi
}

finish() {
  if [ "$TALVEN_WINE_FAILURES" -ne 0 ]; then
    echo "$TALVEN_WINE_FAILURES expectation(s) failed"
    exit 1
  fi
  exit 0
}

_talven_cleanup() {
  local rc=$?
  if [ -n "$TALVEN_PREFIX" ]; then
    WINEPREFIX=$TALVEN_PREFIX wineserver -k 2>/dev/null
    WINEPREFIX=$TALVEN_PREFIX wineserver -w 2>/dev/null
    if [ $rc -eq 0 ] && [ "${TALVEN_WINE_KEEP:-0}" != 1 ]; then
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

wine_prefix_new() {
  local version=${1:-}
  : "${TALVEN_TEST_DIR:?set by talven_wine_test}" "${TALVEN_WINE_TEMPLATE:?set by talven_wine_test}"
  if [ ! -f "$TALVEN_WINE_TEMPLATE/system.reg" ]; then
    echo "no template prefix at $TALVEN_WINE_TEMPLATE (run the wine_template test first)"
    exit 1
  fi
  export WINEARCH=win32 WINEDEBUG=${TALVEN_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX=$TALVEN_TEST_DIR/prefix
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$TALVEN_TEST_DIR"
  cp -a "$TALVEN_WINE_TEMPLATE" "$WINEPREFIX" || exit 1
  TALVEN_PREFIX=$WINEPREFIX
  trap _talven_cleanup EXIT
  trap 'exit 130' INT TERM
  # Kept alive between the script's steps (drivers stop when the server ends); 300 s rather than
  # forever, so that a test killed by CTest's time-out does not leave a server behind for good.
  wineserver -p300 || exit 1
  if [ -n "$version" ]; then
    wine_set_version "$version" || exit 1
  fi
}

wine_set_version() {
  wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f >/dev/null
}

wine_set_app_version() {
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$1" /v Version /d "$2" /f >/dev/null
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
  local n
  for n in $(seq 100); do
    [ -s "$fifo" ] && break
    sleep 0.1
  done
  if [ ! -s "$fifo" ]; then
    echo "Xvfb did not start"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$fifo")"
}

wine_run() {
  timeout "${TALVEN_WINE_TIMEOUT:-120}" wine "$@"
}

wine_test_program() {
  local rc
  echo "---- $(basename "$1") ${*:2}"
  wine_run "$@" 2>&1 | tr -d '\r'
  rc=${PIPESTATUS[0]}
  if [ "$rc" -ne 0 ]; then
    echo "FAIL $(_talven_where): $(basename "$1") ${*:2}: exit code $rc"
    TALVEN_WINE_FAILURES=$((TALVEN_WINE_FAILURES + 1))
  fi
}

wine_svc() {
  wine_run "$TALVEN_TEST_TOOLS/svcctl.exe" "$@" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

wine_service_state() {
  wine_svc state "$1"
}

wine_driver_copy() {
  local target=$WINEPREFIX/drive_c/windows/system32/drivers/${2:-$(basename "$1")}
  cp "$1" "$target"
}

wine_driver_install() {
  local file
  file=$(basename "$2")
  wine_driver_copy "$2" || return 1
  wine_svc create "$1" "C:\\windows\\system32\\drivers\\$file" >/dev/null
}

wine_restart() {
  wineserver -k
  wineserver -w
  wineserver -p300 || return 1
  wineboot -r >/dev/null 2>&1
}
