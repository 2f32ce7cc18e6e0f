#!/usr/bin/env bash
# The run goes to its end whatever the registrations are: a driver that is registered but not
# running, and driver files that no registration names. Both end with "TALVEN Removed!" and no
# other message, with both files deleted and (for the first) both services gone.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp

run_to_removed() {  # DESCRIPTION
  # No other message while it runs: none before the notice (fail-on), none beside it.
  run_uninstall "" 0 "$1: run, no other message" fail-on Error wait "$UNINSTALL_TITLE" \
    click $IDOK wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT "$TEXT_REMOVED" expect-alone \
    click $IDOK
  expect_driver_files "$1" gone sys
}

# Registered, not running: the stop fails, the removal still runs.
put_driver_files sys windrvr talvenkp
expect_ok "WinDriver created" wine_svc create WinDriver 'C:\windows\system32\drivers\windrvr.sys'
expect_ok "talvenkp created" wine_svc create talvenkp 'C:\windows\system32\drivers\talvenkp.sys'
expect_eq "WinDriver before" STOPPED "$(wine_service_state WinDriver)"
run_to_removed "registered, not running"
expect_services "registered, not running" MISSING

# Files only: both removals fail without a message, the files are still deleted.
put_driver_files sys windrvr talvenkp
run_to_removed "files without registration"
finish
