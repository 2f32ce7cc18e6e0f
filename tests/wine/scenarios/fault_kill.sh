#!/usr/bin/env bash
# A program ended abruptly (kill -9 of its Wine process, as TerminateProcess ends it) at each step
# of its run on winxp, then run again. The package's drivers are slow_unload.sys under both names:
# each stop takes 1.5 s, so that a kill can land inside it, before the driver's Remove.
#   fault_kill.sh setup      while a first setup's wizard is up, a second setup and an uninstall
#                            are refused (exit code 3), and another process reads its three
#                            status texts; then setup killed at each of SETUP_POINTS and run
#                            again: both drivers installed, running, the package's bytes.
#   fault_kill.sh uninstall  uninstall killed at each of UNINSTALL_POINTS, then setup and
#                            uninstall run again: no driver files, services or VxD keys.
# Each point is reached through a trigger (run_until) plus a sleep. The state the kill left is
# checked, so that a kill that missed its point fails rather than testing another one.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

mode=${1:?setup or uninstall}
gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" "$TALVEN_TEST_DRIVERS/slow_unload.sys" || exit 1
TEXT_DEV="Copying developer files..."
TEXT_SYS="Copying system files..."
TEXT_REG="Registering system files..."

# kill -9 of the Wine process of PROGRAM.exe in this prefix (never another test's).
kill_program() {
  local pid killed=1
  for pid in $(pgrep -f "(^|\\\\)$1\$"); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      kill -9 "$pid" && killed=0
    fi
  done
  return $killed
}

services_state() {
  echo "$(wine_service_state WinDriver)/$(wine_service_state talvenkp)"
}

# Starts a guictl.exe that waits for TRIGGER, then, once it polls, clicks BUTTON of the dialog
# CAPTION, which starts the run; returns when the trigger is seen. TRIGGER: "text:TEXT" (the
# status control STATUS_ID shows TEXT), "status" (the status window shows: its first text is set
# just before the first stop), "msgbox:CAPTION" (the outcome box), "files:N" (N files of
# include\many in the install directory).
run_until() {
  local trigger=$1 status_id=$2 caption=$3 button=$4 out=$TALVEN_TEST_DIR/trigger.out waiter= n
  case $trigger in
    text:*) gui wait "" 30000 wait-text "$status_id" "${trigger#text:}" 30000 >"$out" & waiter=$! ;;
    status) gui wait "" 30000 >"$out" & waiter=$! ;;
    msgbox:*) gui wait-msgbox "${trigger#msgbox:}" 30000 >"$out" & waiter=$! ;;
  esac
  sleep 0.5
  gui wait "$caption" click "$button" >/dev/null &
  if [ "${trigger%%:*}" = files ]; then
    for n in $(seq 1000); do
      [ "$(find "$SETUP_INSTALL_DIR/include/many" -type f 2>/dev/null | wc -l)" -ge "${trigger#files:}" ] &&
        return 0
      sleep 0.01
    done
    return 1
  fi
  wait "$waiter" || { echo "     trigger $trigger not seen: $(cat "$out")"; return 1; }
}

setup_completes() {
  run_setup "$pkg" 0 "$1: setup" "${TO_INSTALL[@]}" "${SETUP_COMPLETES[@]}"
  expect_eq "$1: WinDriver/talvenkp" RUNNING/RUNNING "$(services_state)"
  expect_same_file "$1: windrvr.sys" "$pkg/system/windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
  expect_same_file "$1: talvenkp.sys" "$pkg/system/talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"
}

uninstall_completes() {
  run_uninstall "$SETUP_INSTALL_DIR" 0 "$1: uninstall" wait "$UNINSTALL_TITLE" click $IDOK \
    wait-msgbox Notice 30000 expect-text $MSGBOX_TEXT "$TEXT_REMOVED" click $IDOK
  expect_eq "$1: WinDriver/talvenkp" MISSING/MISSING "$(services_state)"
  expect_driver_files "$1" gone sys
  expect_eq "$1: VxD keys" "" "$(wine reg query 'HKLM\System\CurrentControlSet\Services\VxD' \
    2>/dev/null | tr -d '\r' | grep -iE '\\(WinDriver|talvenkp)$')"
}

# The point's name, its trigger, the sleep after it, and WinDriver/talvenkp after the kill.
# From "the system copy's text" on, the drivers of the previous run are running.
SETUP_POINTS=(
  "install directory created, developer copy begun|text:$TEXT_DEV|0|MISSING/MISSING"
  "during the developer copy|files:20|0|RUNNING/RUNNING"
  "system copy (its text shown)|text:$TEXT_SYS|0|RUNNING/RUNNING"
  "WinDriver: inside its stop, before Remove|text:$TEXT_SYS|0.8|STOPPED/RUNNING"
  "WinDriver: after Remove, in the pause|text:$TEXT_SYS|2.1|MISSING/RUNNING"
  "talvenkp: inside its stop, before Remove|text:$TEXT_SYS|3.6|RUNNING/STOPPED"
  "talvenkp: after Remove, in the pause|text:$TEXT_SYS|4.8|RUNNING/MISSING"
  "outcome box shown, not answered|msgbox:|0|RUNNING/RUNNING"
)

# From an installation made by setup.
UNINSTALL_POINTS=(
  "WinDriver: inside its stop|status|0.7|STOPPED/RUNNING"
  "WinDriver: stopped, in the pause before Remove|text:Unregistering WinDriver...|0.5|STOPPED/RUNNING"
  "talvenkp: inside its stop, WinDriver removed|text:Unregistering WinDriver...|1.8|MISSING/STOPPED"
  "deleting the files|text:Deleting files...|0|MISSING/MISSING"
)

survived=0
if [ "$mode" = setup ]; then
  # --- Two runs at once, and the status texts read from another process -------------------------
  # The first setup has a status file of its own: the refused runs below take program_start's.
  (cd "$pkg" && wine_run setup.exe; echo $? >"$TALVEN_TEST_DIR/first.status") &
  expect_gui "first setup: wizard up" wait "$CAPTION"
  for program in setup uninstall; do
    run_$program "$pkg" 3 "$program refused" wait-msgbox Error \
      expect-text $MSGBOX_TEXT "$TEXT_BUSY" click $IDOK wait-gone
  done
  gui wait "" 30000 wait-text $SETUP_IDC_STATUS_TEXT "$TEXT_DEV" \
    wait-text $SETUP_IDC_STATUS_TEXT "$TEXT_SYS" wait-text $SETUP_IDC_STATUS_TEXT "$TEXT_REG" \
    >"$TALVEN_TEST_DIR/status.out" &
  reader=$!
  sleep 0.5
  expect_gui "first setup completes" wait "$CAPTION" expect-alone "${TO_INSTALL[@]}" \
    "${SETUP_COMPLETES[@]}"
  PROGRAM_STATUS=$TALVEN_TEST_DIR/first.status
  expect_exit "first setup: exit code" 0
  wait "$reader"
  sed 's/^/       /' "$TALVEN_TEST_DIR/status.out"
  expect_eq "setup's three status texts read by another process during the run" 4 \
    "$(grep -c '^ok' "$TALVEN_TEST_DIR/status.out")"
  expect_eq "first setup: WinDriver/talvenkp" RUNNING/RUNNING "$(services_state)"

  uninstall_completes "clean start"
  rm -rf "$SETUP_INSTALL_DIR"  # the developer files deleted too: the first point creates it
  points=("${SETUP_POINTS[@]}") start=(setup_start "$pkg") ready=("${TO_INSTALL[@]}")
  target=($SETUP_IDC_STATUS_TEXT "$CAPTION" $SETUP_IDC_NEXT)
else
  setup_completes "installation"
  points=("${UNINSTALL_POINTS[@]}") start=(uninstall_start "$SETUP_INSTALL_DIR")
  ready=(wait "$UNINSTALL_TITLE") target=($UNINSTALL_IDC_STATUS_TEXT "$UNINSTALL_TITLE" $IDOK)
fi

for point in "${points[@]}"; do
  IFS='|' read -r name trigger delay expected <<<"$point"
  echo "---- $mode killed: $name"
  failures=$TALVEN_WINE_FAILURES
  if [ "${trigger%%:*}" = files ]; then
    mkdir -p "$pkg/include/many"
    for n in $(seq 1500); do echo "/* $n */" >"$pkg/include/many/f$n.h"; done
  fi
  "${start[@]}"
  gui "${ready[@]}" >/dev/null
  run_until "$trigger" "${target[@]}" || expect_eq "$name: trigger seen" yes no
  sleep "$delay"
  expect_ok "$name: killed" kill_program "$mode.exe"
  sleep 1  # a stop under way finishes
  expect_eq "$name: WinDriver/talvenkp after the kill" "$expected" "$(services_state)"
  if [ "$mode" = setup ]; then
    program_exit 10 >/dev/null
    if [ "${trigger%%:*}" = files ]; then
      copied=$(find "$SETUP_INSTALL_DIR/include/many" -type f | wc -l)
      expect_ok "$name: developer files copied when killed: $copied of 1500" test "$copied" -lt 1500
      rm -rf "$pkg/include/many"
    fi
    setup_completes "$name: again"
  else
    program_exit >/dev/null
    setup_completes "$name: setup again"
    uninstall_completes "$name: uninstall again"
    [ "$point" = "${points[-1]}" ] || setup_completes "$name: reinstalled"
  fi
  [ "$TALVEN_WINE_FAILURES" = "$failures" ] && survived=$((survived + 1))
done
echo "     $mode: $survived of ${#points[@]} kill points survived"
finish
