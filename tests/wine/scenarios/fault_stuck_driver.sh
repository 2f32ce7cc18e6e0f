#!/usr/bin/env bash
# A driver that cannot be stopped (stuck_driver.sys has no unload routine) on winxp.
#
# Wine's service control manager answers the stop request of such a driver with success, but the
# driver stays loaded and the service RUNNING (Windows refuses the request with
# ERROR_INVALID_SERVICE_CONTROL); either way the registrar's Unload sees no STOPPED state and
# fails. Its Remove then only marks the service for deletion, which lasts as long as the driver
# runs, and its loaded file can be neither overwritten nor deleted.
#
#  1. Setup over it: a package whose talvenkp.sys is the stuck driver installs and runs; a second
#     run of the same package cannot stop talvenkp, so its Install fails (1072: marked for
#     deletion) and its start fails (1056: already running): exactly one failure message, caption
#     "Error", no completion message, exit code 0. WinDriver is re-registered and runs; talvenkp
#     keeps running from the same file.
#  2. Uninstall over it (fresh prefix, both drivers registered and running): the run still ends.
#     WinDriver and windrvr.sys are gone; talvenkp is marked for deletion (a new service of that
#     name is refused with 1072) and its loaded file stays, scheduled for deletion at the
#     restart, so the restart message shows instead of "TALVEN Removed!", and no "Error" box.
#     After the restart (the wineserver ended, as at a power-off, then the prefix booted) the file
#     is gone. Wine does not keep the deletion mark across the restart (Windows deletes the
#     service's key at boot), so talvenkp is still registered then, STOPPED: printed, not checked.
#  3. Uninstall over it when the running driver's image is another copy (fresh prefix): both
#     driver files can be deleted now and are, but talvenkp still runs, marked for deletion, so
#     the run ends with the restart message, never "TALVEN Removed!", and no "Error" box.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

STUCK=$TALVEN_TEST_DRIVERS/stuck_driver.sys

# --- 1: setup over a driver that does not stop ---------------------------------------------------
gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
cp "$STUCK" "$pkg/system/talvenkp.sys" || exit 1

setup_start "$pkg"
expect_gui "1: first installation" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT timeout 60000 \
  fail-on Error wait-msgbox "" expect-text $MSGBOX_TEXT "$TEXT_COMPLETE" click $IDOK wait-gone
expect_exit "1: first installation: exit code" 0
expect_eq "1: talvenkp runs" RUNNING "$(wine_service_state talvenkp)"

setup_start "$pkg"
expect_gui "1: reinstallation" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT timeout 60000 fail-on "" \
  wait-msgbox Error expect-text $MSGBOX_TEXT "$TEXT_FAILURE" expect-alone click $IDOK wait-gone \
  absent Error 1000 absent "" 500
expect_exit "1: reinstallation: exit code" 0
expect_eq "1: WinDriver re-registered" RUNNING "$(wine_service_state WinDriver)"
expect_eq "1: talvenkp still loaded" RUNNING "$(wine_service_state talvenkp)"
expect_same_file "1: talvenkp.sys unchanged" "$STUCK" "$SETUP_DRIVERS/talvenkp.sys"
expect_same_file "1: windrvr.sys" "$pkg/system/windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"

# --- 2: uninstall over a driver that does not stop -----------------------------------------------
wine_prefix_new winxp
wine_driver_install WinDriver "$TALVEN_TEST_DRIVERS/windrvr.sys"
wine_driver_copy "$STUCK" talvenkp.sys
expect_ok "2: talvenkp created" wine_svc create talvenkp 'C:\windows\system32\drivers\talvenkp.sys'
expect_ok "2: start WinDriver" wine_svc start WinDriver
expect_ok "2: start talvenkp" wine_svc start talvenkp

uninstall_start
# No "Error" box while the program runs: none before the notice (fail-on), none beside it.
expect_gui "2: uninstall" fail-on Error wait "$UNINSTALL_TITLE" click $IDOK \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" expect-alone absent Error \
  click $IDOK wait-gone absent Notice 500
expect_exit "2: exit status" 0
expect_eq "2: WinDriver" MISSING "$(wine_service_state WinDriver)"
expect_eq "2: windrvr.sys" gone "$(file_state "$(driver_file windrvr.sys)")"
expect_eq "2: talvenkp.sys, loaded, stays until the restart" present \
  "$(file_state "$(driver_file talvenkp.sys)")"
expect_eq "2: talvenkp marked for deletion" "create talvenkp: error 1072" \
  "$(wine_svc create talvenkp 'C:\windows\system32\drivers\talvenkp.sys')"
expect_eq "2: delete pending" talvenkp.sys "$(pending_delete talvenkp.sys)"

# The restart: every process of the prefix ends, the next boot carries out the pending delete.
wine_restart
expect_eq "2: talvenkp.sys after the restart" gone "$(file_state "$(driver_file talvenkp.sys)")"
echo "     talvenkp after the restart: $(wine_service_state talvenkp)"

# --- 3: a driver that does not stop, its image elsewhere -----------------------------------------
wine_prefix_new winxp
wine_driver_install WinDriver "$TALVEN_TEST_DRIVERS/windrvr.sys"
wine_driver_copy "$STUCK" stuck.sys
put_driver_files sys talvenkp
expect_ok "3: talvenkp registered" wine_svc create talvenkp 'C:\windows\system32\drivers\stuck.sys'
expect_ok "3: start WinDriver" wine_svc start WinDriver
expect_ok "3: start talvenkp" wine_svc start talvenkp
uninstall_start
expect_gui "3: uninstall" fail-on Error wait "$UNINSTALL_TITLE" click $IDOK \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" expect-alone click $IDOK \
  wait-gone
expect_exit "3: exit status" 0
expect_eq "3: talvenkp.sys deleted" gone "$(file_state "$(driver_file talvenkp.sys)")"
expect_eq "3: talvenkp still runs" RUNNING "$(wine_service_state talvenkp)"
finish
