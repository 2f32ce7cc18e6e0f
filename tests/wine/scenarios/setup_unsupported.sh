#!/usr/bin/env bash
# setup.exe on a version it does not know (Windows Vista, kind 0): only the refusal message, the
# wizard never shows, the program ends when the box is closed, nothing is installed.
. "$TALVEN_SOURCE_DIR/tests/wine/setup_lib.sh"

setup_prefix winxp
wine_set_app_version setup.exe vista
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1

setup_start "$pkg"
expect_gui "refusal" wait-msgbox Error \
  expect-text -1 "This TALVEN installer does not support the version of Windows you are running." \
  expect-alone expect-visible 1 1 click 1 wait-gone
setup_wait_exit
expect_ended "after the refusal"
for service in WinDriver talvenkp; do
  expect_eq "$service" MISSING "$(wine_service_state $service)"
done
expect_no_path "no install directory" "$SETUP_INSTALL_DIR"
expect_no_path "no windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
finish
