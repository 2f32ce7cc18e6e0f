#!/usr/bin/env bash
# setup.exe on a version it does not know (Windows Vista, kind 0): only the refusal message, the
# wizard never shows, the program ends when the box is closed, nothing is installed.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp vista
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1

setup_start "$pkg"
expect_gui "refusal" wait-msgbox Error \
  expect-text $MSGBOX_TEXT "This TALVEN installer does not support the version of Windows you are running." \
  expect-alone expect-visible $IDOK 1 click $IDOK wait-gone
expect_ended "after the refusal"
expect_services "after the refusal" MISSING
expect_no_path "no install directory" "$SETUP_INSTALL_DIR"
expect_no_path "no windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
finish
