#!/usr/bin/env bash
# The run goes to its end whatever the registrations are: a driver that is registered but not
# running, and driver files that no registration names. Both end with "TALVEN Removed!" and no
# other message, with both files deleted and (for the first) both services gone.
. "$TALVEN_SOURCE_DIR/tests/wine/uninstall_lib.sh"

uninstall_prefix winxp

run_to_removed() {  # DESCRIPTION
  uninstall_start
  expect_ok "$1: run" gui wait "$UNINSTALL_TITLE" click 1 wait-msgbox Notice 20000 \
    expect-text -1 "TALVEN Removed!" click 1
  expect_eq "$1: exit status" 0 "$(uninstall_exit_code)"
  expect_ok "$1: no other message" gui absent Error
  expect_eq "$1: windrvr.sys" gone "$(file_state "$(driver_file windrvr.sys)")"
  expect_eq "$1: talvenkp.sys" gone "$(file_state "$(driver_file talvenkp.sys)")"
}

# Registered, not running: the stop fails, the removal still runs.
put_driver_files sys windrvr talvenkp
wine_svc create WinDriver 'C:\windows\system32\drivers\windrvr.sys' >/dev/null
wine_svc create talvenkp 'C:\windows\system32\drivers\talvenkp.sys' >/dev/null
expect_eq "WinDriver before" STOPPED "$(wine_service_state WinDriver)"
run_to_removed "registered, not running"
expect_eq "registered, not running: WinDriver" MISSING "$(wine_service_state WinDriver)"
expect_eq "registered, not running: talvenkp" MISSING "$(wine_service_state talvenkp)"

# Files only: both removals fail without a message, the files are still deleted.
put_driver_files sys windrvr talvenkp
run_to_removed "files without registration"
finish
