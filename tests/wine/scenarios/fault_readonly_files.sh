#!/usr/bin/env bash
# Driver files that resist the uninstaller's delete, on winxp, both drivers registered and
# running each time (files held open: uninstall_in_use.sh). Each time: the other file deleted,
# both services unregistered, the file scheduled for deletion, the restart message, no "Error"
# box, and the file gone after the restart.
#  1. windrvr.sys read-only: Wine's shell, unlike Windows', does not delete a read-only file even
#     with FOF_NOCONFIRMATION. The uninstaller clears the attribute when it schedules the delete.
#  2. talvenkp.sys that nobody may delete (the Linux immutable flag: the tests run as root, whom
#     no permission bit stops), deletable again before the restart.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp
locked=$(driver_file talvenkp.sys)
unlock() { chattr -i "$locked" 2>/dev/null; }
# shellcheck disable=SC2034  # read by lib.sh
TALVEN_ON_EXIT=unlock

# Both services gone, and the file given (the one that could be deleted) with them.
check_unregistered() {
  expect_services "$1" MISSING
  expect_file "$1: $2" gone "$2"
}

# --- 1: a read-only driver file ------------------------------------------------------------------
readonly=$(driver_file windrvr.sys)
running_drivers 1
wine attrib +r 'C:\windows\system32\drivers\windrvr.sys' >/dev/null 2>&1
expect_eq "1: windrvr.sys read-only" AR \
  "$(file_attributes 'C:\windows\system32\drivers\windrvr.sys')"
run_uninstall "" 0 "1: uninstall" "${UNINSTALL_RESTARTS[@]}"
check_unregistered 1 talvenkp.sys
expect_eq "1: windrvr.sys stays until the restart" present "$(file_state "$readonly")"
expect_eq "1: delete pending" windrvr.sys "$(pending_deletes)"
wineboot -r >/dev/null 2>&1
expect_eq "1: windrvr.sys after the restart" gone "$(file_state "$readonly")"
chmod u+w "$readonly" 2>/dev/null; rm -f "$readonly"

# --- 2: a driver file that may not be deleted ----------------------------------------------------
running_drivers 2
if chattr +i "$locked" 2>/dev/null && ! rm -f "$locked" 2>/dev/null; then
  run_uninstall "" 0 "2: uninstall" "${UNINSTALL_RESTARTS[@]}"
  check_unregistered 2 windrvr.sys
  expect_eq "2: talvenkp.sys stays until the restart" present "$(file_state "$locked")"
  expect_eq "2: delete pending" talvenkp.sys "$(pending_deletes)"
  unlock
  wineboot -r >/dev/null 2>&1
  expect_eq "2: talvenkp.sys after the restart" gone "$(file_state "$locked")"
else
  unlock
  skip "2: the immutable flag (chattr +i, root on ext4 and the like) is not available here"
fi
finish
