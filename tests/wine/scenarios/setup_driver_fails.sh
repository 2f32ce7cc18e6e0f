#!/usr/bin/env bash
# Registration failures on winxp, each ending with exactly one failure message (caption "Error"),
# no completion message, exit code 0:
#  1. a package whose talvenkp.sys cannot start (its entry point fails): WinDriver installs and
#     runs, talvenkp is registered but stopped;
#  2. the good package again while another program holds WinDriver's service open: the service
#     is deleted but stays marked for deletion, so adding it again fails (1072).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" "$TALVEN_TEST_DRIVERS/windrvr.sys" "$TALVEN_TEST_DRIVERS/failing_driver.sys" ||
  exit 1

run_setup "$pkg" 0 "failing driver" "${TO_INSTALL[@]}" "${SETUP_FAILS[@]}"
expect_eq "WinDriver" RUNNING "$(wine_service_state WinDriver)"
expect_eq "talvenkp" STOPPED "$(wine_service_state talvenkp)"
expect_same_file "talvenkp.sys copied" "$pkg/system/talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"

# 2: WinDriver cannot be added again.
setup_package "$pkg" || exit 1
hold_log=$TALVEN_TEST_DIR/held_service.log
wine_run "$TALVEN_TEST_TOOLS/svcctl.exe" hold WinDriver 30 >"$hold_log" 2>&1 &
holder=$!
poll 100 grep -qs holding "$hold_log"
expect_eq "2: WinDriver held open" "holding WinDriver" "$(tr -d '\r' <"$hold_log")"
run_setup "$pkg" 0 "2: WinDriver held" "${TO_INSTALL[@]}" "${SETUP_FAILS[@]}"
expect_eq "2: talvenkp, now the good driver" RUNNING "$(wine_service_state talvenkp)"
kill $holder 2>/dev/null
wait $holder 2>/dev/null
finish
