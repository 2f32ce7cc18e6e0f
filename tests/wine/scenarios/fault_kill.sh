#!/usr/bin/env bash
# A program ended abruptly (kill -9 of its Wine process, as TerminateProcess ends it) at one step
# of its run on winxp, then run again. The package's drivers are slow_unload.sys under both names:
# each stop takes 1.5 s, so that a kill can land inside it, before the driver's Remove. Each part
# runs in a prefix of its own, so that the parts can run side by side:
#   fault_kill.sh setup busy      while a first setup's wizard is up, a second setup and an
#                                 uninstall are refused (exit code 3), and another process reads
#                                 its three status texts; then uninstall completes
#   fault_kill.sh setup POINT     setup killed at POINT (SETUP_POINTS; from the developer copy on,
#                                 over an installation made by setup) and run again: both drivers
#                                 installed, running, the package's bytes
#   fault_kill.sh uninstall POINT uninstall killed at POINT (UNINSTALL_POINTS) of an installation
#                                 made by setup, then setup and uninstall run again: no driver
#                                 files, services or VxD keys
# Each point is reached through a trigger (run_until) that watches for it while the run goes on.
# The state the kill left is checked, so that a kill that missed its point fails rather than
# testing another one.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

mode=${1:?setup or uninstall} part=${2:?busy or a point}
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

# No stop or start under way.
services_settled() {
  ! services_state | grep -q _PENDING
}

# Starts TOOL.exe ARGS... in the background (WAITER: its pid), its output in OUT; returns once it
# has printed its first line, which both waiters below print as they begin to look.
waiter_start() {  # OUT TOOL ARGS...
  rm -f "$1"
  wine_run "$TALVEN_TEST_TOOLS/$2.exe" "${@:3}" >"$1" &
  WAITER=$!
  poll 300 grep -qs . "$1" || { echo "     $2 ${*:3}: no output"; return 1; }
}

# The filler of a copy: FILLER files in the package that the developer copy (include\many\*.h)
# or the system copy (system\many*.sys) takes a while over, so that a kill lands inside it. The
# developer copy takes the system folder too: 300 files there leave it short, and still give the
# kill, which lands within about twenty files of its trigger, ten times the room it needs.
filler_put() {  # developer|system
  case $1 in
    developer)
      filler_from=$pkg/include/many filler_to=$SETUP_INSTALL_DIR/include/many ext=h FILLER=1500 ;;
    system) filler_from=$pkg/system filler_to=$SETUP_DRIVERS ext=sys FILLER=300 ;;
  esac
  mkdir -p "$filler_from"
  for n in $(seq $FILLER); do echo "/* $n */" >"$filler_from/many$n.$ext"; done
}
filler_copied() {
  find "$filler_to" -maxdepth 1 -name "many*.$ext" 2>/dev/null | wc -l
}

# Starts a waiter for TRIGGER, then, once it looks, clicks BUTTON of the dialog CAPTION, which
# starts the run; returns when the trigger is seen. TRIGGER: "text:TEXT" (the status control
# STATUS_ID shows TEXT), "msgbox:CAPTION" (the outcome box), "service:NAME:STATE" (the service
# control manager reports NAME in STATE, as svcctl state names it), "developer:N" or "system:N"
# (N files of that copy's filler copied).
run_until() {
  local trigger=$1 status_id=$2 caption=$3 button=$4 out=$TALVEN_TEST_DIR/trigger.out n
  WAITER=
  case $trigger in
    text:*)
      waiter_start "$out" guictl list wait "" 30000 \
        wait-text "$status_id" "${trigger#text:}" 30000 ;;
    msgbox:*) waiter_start "$out" guictl list wait-msgbox "${trigger#msgbox:}" 30000 ;;
    service:*)
      IFS=: read -r _ n state <<<"$trigger"
      waiter_start "$out" svcctl wait "$n" "$state" 30000 ;;
  esac || return 1
  gui wait "$caption" click "$button" >/dev/null &
  if [ -z "$WAITER" ]; then
    for n in $(seq 3000); do
      [ "$(filler_copied)" -ge "${trigger#*:}" ] && return 0
      sleep 0.01
    done
    return 1
  fi
  wait "$WAITER" || { echo "     trigger $trigger not seen: $(tr -d '\r' <"$out")"; return 1; }
  echo "     trigger $trigger seen: $(tr -d '\r' <"$out" | grep -v '^    ' | paste -sd' ')"
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

# Each point: its part's name, what it is, its trigger, and WinDriver/talvenkp after the kill.
# Every point but the first starts from an installation made by setup, whose drivers run.
SETUP_POINTS=(
  "install_dir|install directory created, developer copy begun|developer:1|MISSING/MISSING"
  "developer_copy|during the developer copy|developer:20|RUNNING/RUNNING"
  "system_copy|during the system copy|system:20|RUNNING/RUNNING"
  "windrvr_stop|WinDriver: inside its stop, before Remove|\
service:WinDriver:STOP_PENDING|STOPPED/RUNNING"
  "windrvr_pause|WinDriver: after Remove, in the pause|service:WinDriver:MISSING|MISSING/RUNNING"
  "talvenkp_stop|talvenkp: inside its stop, before Remove|\
service:talvenkp:STOP_PENDING|RUNNING/STOPPED"
  "talvenkp_pause|talvenkp: after Remove, in the pause|service:talvenkp:MISSING|RUNNING/MISSING"
  "outcome_box|outcome box shown, not answered|msgbox:|RUNNING/RUNNING"
)

UNINSTALL_POINTS=(
  "windrvr_stop|WinDriver: inside its stop|service:WinDriver:STOP_PENDING|STOPPED/RUNNING"
  "windrvr_pause|WinDriver: stopped, in the pause before Remove|\
service:WinDriver:STOPPED|STOPPED/RUNNING"
  "talvenkp_stop|talvenkp: inside its stop, WinDriver removed|\
service:talvenkp:STOP_PENDING|MISSING/STOPPED"
  "deleting|deleting the files|text:Deleting files...|MISSING/MISSING"
)

if [ "$mode/$part" = setup/busy ]; then
  # --- Two runs at once, and the status texts read from another process -------------------------
  # The first setup has a status file of its own: the refused runs below take program_start's.
  (cd "$pkg" && wine_run setup.exe; echo $? >"$TALVEN_TEST_DIR/first.status") &
  expect_gui "first setup: wizard up" wait "$CAPTION"
  for program in setup uninstall; do
    run_$program "$pkg" 3 "$program refused" wait-msgbox Error \
      expect-text $MSGBOX_TEXT "$TEXT_BUSY" click $IDOK wait-gone
  done
  waiter_start "$TALVEN_TEST_DIR/status.out" guictl list wait "" 30000 \
    wait-text $SETUP_IDC_STATUS_TEXT "$TEXT_DEV" wait-text $SETUP_IDC_STATUS_TEXT "$TEXT_SYS" \
    wait-text $SETUP_IDC_STATUS_TEXT "$TEXT_REG" || _talven_fail "status reader not started"
  reader=$WAITER
  expect_gui "first setup completes" wait "$CAPTION" expect-alone "${TO_INSTALL[@]}" \
    "${SETUP_COMPLETES[@]}"
  # shellcheck disable=SC2034  # read by lib.sh
  PROGRAM_STATUS=$TALVEN_TEST_DIR/first.status
  expect_exit "first setup: exit code" 0
  wait "$reader"
  tr -d '\r' <"$TALVEN_TEST_DIR/status.out" | sed 's/^/       /'
  expect_eq "setup's three status texts read by another process during the run" 4 \
    "$(grep -c '^ok' "$TALVEN_TEST_DIR/status.out")"
  expect_eq "first setup: WinDriver/talvenkp" RUNNING/RUNNING "$(services_state)"
  uninstall_completes "clean start"
  finish
fi

if [ "$mode" = setup ]; then
  points=("${SETUP_POINTS[@]}") start=(setup_start "$pkg") ready=("${TO_INSTALL[@]}")
  target=("$SETUP_IDC_STATUS_TEXT" "$CAPTION" "$SETUP_IDC_NEXT")
else
  points=("${UNINSTALL_POINTS[@]}") start=(uninstall_start "$SETUP_INSTALL_DIR")
  ready=(wait "$UNINSTALL_TITLE") target=("$UNINSTALL_IDC_STATUS_TEXT" "$UNINSTALL_TITLE" "$IDOK")
fi
point=$(printf '%s\n' "${points[@]}" | grep "^$part|")
if [ -z "$point" ]; then
  echo "no point $part of $mode: $(printf '%s\n' "${points[@]}" | cut -d'|' -f1 | paste -sd' ')"
  exit 2
fi
IFS='|' read -r _ name trigger expected <<<"$point"
[ "$point" = "${SETUP_POINTS[0]}" ] || setup_completes "installation"

echo "---- $mode killed: $name"
[ "${trigger%%:*}" = developer ] && filler_put developer
"${start[@]}"
gui "${ready[@]}" >/dev/null
# The system copy's filler comes once setup has checked its package, which holds nothing in system\
# that its record does not list.
[ "${trigger%%:*}" = system ] && filler_put system
run_until "$trigger" "${target[@]}" || expect_eq "$name: trigger seen" yes no
expect_ok "$name: killed" kill_program "$mode.exe"
poll 100 services_settled  # a stop under way finishes
expect_eq "$name: WinDriver/talvenkp after the kill" "$expected" "$(services_state)"
if [ "$mode" = setup ]; then
  program_exit 10 >/dev/null
  if [ -n "${filler_from:-}" ]; then
    copied=$(filler_copied)
    expect_ok "$name: filler files copied when killed: $copied of $FILLER" \
      test "$copied" -lt $FILLER
    rm -f "$filler_from"/many*."$ext"
  fi
  setup_completes "$name: again"
else
  program_exit >/dev/null
  setup_completes "$name: setup again"
  uninstall_completes "$name: uninstall again"
fi
[ "$TALVEN_WINE_FAILURES" = 0 ] && echo "     $mode killed at '$name': survived"
finish
