#!/usr/bin/env bash
# A package whose talvenkp.sys cannot start (its entry point fails) on winxp: WinDriver installs
# and runs, talvenkp is registered but stopped, and the run ends with exactly one failure
# message (caption "Error"), no completion message, exit code 0.
. "$TALVEN_SOURCE_DIR/tests/wine/setup_lib.sh"

setup_prefix winxp
caption=$(setup_caption winxp)
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
cp "$TALVEN_TEST_DRIVERS/failing_driver.sys" "$pkg/system/talvenkp.sys" || exit 1

setup_start "$pkg"
expect_gui "failing driver" wait "$caption" check 1007 1 click 1005 wait-text 1005 Install \
  click 1005 timeout 60000 fail-on "" wait-msgbox Error expect-text -1 "$(setup_failure_text)" \
  expect-alone click 1 wait-gone absent Error 1000 absent "" 500
setup_wait_exit
expect_eq "exit code" 0 "$SETUP_EXIT"
expect_eq "WinDriver" RUNNING "$(wine_service_state WinDriver)"
expect_eq "talvenkp" STOPPED "$(wine_service_state talvenkp)"
expect_same_file "talvenkp.sys copied" "$pkg/system/talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"
finish
