#!/usr/bin/env bash
# Round trip on Windows XP with the real package: setup.exe installs from the package folder,
# then uninstall.exe, started from the install directory, removes both drivers and both driver
# files and leaves the developer files and the install directory as they were. A second
# uninstall finds nothing to remove and stops with exit status 2. TALVEN_PACKAGE names another
# package folder to take instead of the one just built (the signed release of release_package.sh).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

PACKAGE=${TALVEN_PACKAGE:-$TALVEN_WIN32_BIN/package/talven-package}
gui_prefix winxp
pkg=$TALVEN_TEST_DIR/talven-package
rm -rf "$pkg"
cp -r "$PACKAGE" "$pkg" || exit 1
install_dir=$SETUP_INSTALL_DIR

# Setup, as a user goes through it (the package lies on Z:, so developer files are installed).
run_setup "$pkg" 0 "setup" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT wait-msgbox "" 30000 \
  expect-text $MSGBOX_TEXT "$TEXT_COMPLETE" click $IDOK
expect_services installed RUNNING
developer_files=$(cd "$install_dir" && find . | sort | paste -sd' ')
expect_eq "developer files installed: every entry of the package" \
  "$(cd "$pkg" && find . | sort | paste -sd' ')" "$developer_files"

run_uninstall "$install_dir" 0 "uninstall" wait "$UNINSTALL_TITLE" \
  expect-caption "$UNINSTALL_TITLE" click $IDOK wait-msgbox Notice 20000 \
  expect-text $MSGBOX_TEXT "$TEXT_REMOVED" click $IDOK
expect_services uninstalled MISSING
expect_driver_files uninstalled gone sys
expect_eq "developer files untouched" "$developer_files" \
  "$(cd "$install_dir" && find . | sort | paste -sd' ')"
expect_ok "developer files unchanged" cmp "$pkg/include/talven.h" "$install_dir/include/talven.h"

run_uninstall "$install_dir" 2 "second uninstall" wait-msgbox Error \
  expect-text $MSGBOX_TEXT "$TEXT_NOT_INSTALLED" click $IDOK
finish
