#!/usr/bin/env bash
# A driver that cannot be stopped (stuck_driver.sys has no unload routine) on winxp. Wine's
# service control manager answers its stop request with success but leaves it loaded and RUNNING
# (Windows refuses the request with ERROR_INVALID_SERVICE_CONTROL); either way the registrar's
# Unload sees no STOPPED state and fails, its Remove only marks the service for deletion for as
# long as the driver runs, and the loaded file can be neither overwritten nor deleted.
#  1. Setup over it, a second time: talvenkp cannot be stopped, so its Install fails (1072:
#     marked for deletion) and its start fails (1056: already running): the failure message
#     alone; WinDriver re-registered and running, talvenkp running from the same file.
#  2. Uninstall over it (fresh prefix): WinDriver and windrvr.sys gone; talvenkp marked for
#     deletion, its loaded file scheduled for deletion at the restart: the restart message, no
#     "Error" box. Setup before the restart: the "Error" box that asks for the restart first, the
#     wizard still on its directory page, nothing copied or registered. The file gone after the
#     restart. Wine does not keep the deletion mark across the restart (Windows deletes the
#     service's key at boot): talvenkp's state then is printed.
#  3. The same when the running image is another copy: both driver files deleted, talvenkp
#     still running, marked for deletion: the restart message, no "Error" box.
# Two parts, each in a prefix of its own: fault_stuck_driver.sh setup (1) | uninstall (2 and 3).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

part=${1:?setup or uninstall}
STUCK=$TALVEN_TEST_DRIVERS/stuck_driver.sys

if [ "$part" = setup ]; then
  # --- 1: setup over a driver that does not stop -------------------------------------------------
  gui_prefix winxp
  pkg=$TALVEN_TEST_DIR/pkg
  setup_package "$pkg" "$TALVEN_TEST_DRIVERS/windrvr.sys" "$STUCK" || exit 1

  run_setup "$pkg" 0 "1: first installation" "${TO_INSTALL[@]}" "${SETUP_COMPLETES[@]}"
  expect_eq "1: talvenkp runs" RUNNING "$(wine_service_state talvenkp)"

  run_setup "$pkg" 0 "1: reinstallation" "${TO_INSTALL[@]}" "${SETUP_FAILS[@]}"
  expect_eq "1: WinDriver re-registered" RUNNING "$(wine_service_state WinDriver)"
  expect_eq "1: talvenkp still loaded" RUNNING "$(wine_service_state talvenkp)"
  expect_same_file "1: talvenkp.sys unchanged" "$STUCK" "$SETUP_DRIVERS/talvenkp.sys"
  expect_same_file "1: windrvr.sys" "$pkg/system/windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
  finish
fi

# A fresh prefix, WinDriver and talvenkp running, talvenkp the stuck driver from STUCK_FILE.
stuck_prefix() {  # STEP STUCK_FILE
  gui_prefix winxp
  wine_driver_install WinDriver "$TALVEN_TEST_DRIVERS/windrvr.sys"
  wine_driver_copy "$STUCK" "$2"
  expect_ok "$1: talvenkp created" wine_svc create talvenkp "C:\\windows\\system32\\drivers\\$2"
  expect_ok "$1: start WinDriver" wine_svc start WinDriver
  expect_ok "$1: start talvenkp" wine_svc start talvenkp
}

# --- 2: uninstall over a driver that does not stop -----------------------------------------------
stuck_prefix 2 talvenkp.sys
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
# No "Error" box while the program runs: none before the notice (fail-on), none beside it.
run_uninstall "" 0 "2: uninstall" fail-on Error wait "$UNINSTALL_TITLE" click $IDOK \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" expect-alone absent Error \
  click $IDOK wait-gone absent Notice 500
expect_eq "2: WinDriver" MISSING "$(wine_service_state WinDriver)"
expect_file "2: windrvr.sys" gone windrvr.sys
expect_file "2: talvenkp.sys, loaded, stays until the restart" present talvenkp.sys
expect_eq "2: talvenkp marked for deletion" "create talvenkp: error 1072" \
  "$(wine_svc create talvenkp 'C:\windows\system32\drivers\talvenkp.sys')"
expect_eq "2: delete pending" talvenkp.sys "$(pending_deletes)"
run_setup "$pkg" 1 "2: setup before the restart" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT \
  fail-on "" wait-msgbox Error expect-text $MSGBOX_TEXT "$TEXT_RESTART_FIRST" \
  click $IDOK wait-gone wait "$CAPTION" expect-text $SETUP_IDC_NEXT Install \
  click $SETUP_IDC_QUIT wait-gone
expect_no_path "2: setup made no install directory" "$WINEPREFIX/drive_c/Program Files/Orbanet"
expect_file "2: setup copied no windrvr.sys" gone windrvr.sys
expect_eq "2: setup registered no WinDriver" MISSING "$(wine_service_state WinDriver)"
expect_eq "2: delete still pending" talvenkp.sys "$(pending_deletes)"

wine_restart
expect_file "2: talvenkp.sys after the restart" gone talvenkp.sys
echo "     talvenkp after the restart: $(wine_service_state talvenkp)"

# --- 3: a driver that does not stop, its image elsewhere -----------------------------------------
stuck_prefix 3 stuck.sys
put_driver_files sys talvenkp
run_uninstall "" 0 "3: uninstall" "${UNINSTALL_RESTARTS[@]}"
expect_file "3: talvenkp.sys deleted" gone talvenkp.sys
expect_eq "3: talvenkp still runs" RUNNING "$(wine_service_state talvenkp)"
finish
