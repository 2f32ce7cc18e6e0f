#!/usr/bin/env bash
# Round trip on Windows XP with the real package: setup.exe installs from the package folder,
# then uninstall.exe, started from the install directory, removes both drivers and both driver
# files and leaves the developer files and the install directory as they were. A second
# uninstall finds nothing to remove and stops with exit status 2.
. "$TALVEN_SOURCE_DIR/tests/wine/uninstall_lib.sh"

PACKAGE=$TALVEN_WIN32_BIN/package/talven-package
uninstall_prefix winxp
pkg=$TALVEN_TEST_DIR/talven-package
rm -rf "$pkg"
cp -r "$PACKAGE" "$pkg" || exit 1
install_dir="$WINEPREFIX/drive_c/Program Files/Orbanet/TALVEN 5.7"

# Setup, as a user goes through it (the package lies on Z:, so developer files are installed).
rm -f "$TALVEN_TEST_DIR/setup.status"
(cd "$pkg" && wine_run setup.exe >/dev/null 2>&1; echo $? >"$TALVEN_TEST_DIR/setup.status") &
expect_ok "setup" gui wait "Windows XP Orbanet Universal Driver Installer v1.0" check 1007 1 \
  click 1005 expect-text 1005 Install click 1005 wait-msgbox "" 30000 \
  expect-text -1 "TALVEN Installation Complete!" click 1
expect_eq "setup exit status" 0 "$(status_from "$TALVEN_TEST_DIR/setup.status")"
expect_eq "WinDriver installed" RUNNING "$(wine_service_state WinDriver)"
expect_eq "talvenkp installed" RUNNING "$(wine_service_state talvenkp)"
developer_files=$(cd "$install_dir" && find . | sort | paste -sd' ')
expect_eq "developer files installed" \
  ". ./doc ./doc/README.txt ./include ./include/talven.h ./lib ./lib/talven.lib ./setup.exe ./setup.txt ./system ./system/talvenkp.sys ./system/talvenkp.vxd ./system/windrvr.sys ./system/windrvr.vxd ./uninstall.exe" \
  "$developer_files"

uninstall_start "$install_dir"
expect_ok "uninstall" gui wait "$UNINSTALL_TITLE" expect-caption "$UNINSTALL_TITLE" click 1 \
  wait-msgbox Notice 20000 expect-text -1 "TALVEN Removed!" click 1
expect_eq "uninstall exit status" 0 "$(uninstall_exit_code)"
expect_eq "WinDriver" MISSING "$(wine_service_state WinDriver)"
expect_eq "talvenkp" MISSING "$(wine_service_state talvenkp)"
expect_eq "windrvr.sys" gone "$(file_state "$(driver_file windrvr.sys)")"
expect_eq "talvenkp.sys" gone "$(file_state "$(driver_file talvenkp.sys)")"
expect_eq "developer files untouched" "$developer_files" \
  "$(cd "$install_dir" && find . | sort | paste -sd' ')"
expect_ok "developer files unchanged" cmp "$pkg/include/talven.h" "$install_dir/include/talven.h"

uninstall_start "$install_dir"
expect_ok "second uninstall" gui wait-msgbox Error expect-text -1 "$TEXT_NOT_INSTALLED" click 1
expect_eq "second uninstall exit status" 2 "$(uninstall_exit_code)"
finish
