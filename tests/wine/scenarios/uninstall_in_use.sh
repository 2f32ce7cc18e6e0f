#!/usr/bin/env bash
# A driver file that cannot be deleted because another program holds it open:
#  - NT family: both services unregistered, the other file deleted, the held file scheduled in
#    the system's pending-rename list, the restart message instead of "TALVEN Removed!", and the
#    file gone once the prefix restarts (wineboot -r carries out the pending deletes);
#  - Windows 98, both files held: two "NUL=" lines in the [rename] section of WININIT.INI next
#    to a line that was there before, and both files gone after the restart;
#  - Windows 98, WININIT.INI cannot be written: an "Error" box that names the file, no restart
#    message and no "TALVEN Removed!".
. "$TALVEN_SOURCE_DIR/tests/wine/uninstall_lib.sh"

uninstall_prefix winxp

# --- NT family ---
wine_driver_install WinDriver "$TALVEN_TEST_DRIVERS/windrvr.sys"
wine_driver_install talvenkp "$TALVEN_TEST_DRIVERS/talvenkp.sys"
expect_ok "start WinDriver" wine_svc start WinDriver
expect_ok "start talvenkp" wine_svc start talvenkp
hold read 'C:\windows\system32\drivers\windrvr.sys'
uninstall_start
expect_ok "nt: restart message" gui wait "$UNINSTALL_TITLE" click 1 wait-msgbox Notice 20000 \
  expect-text -1 -e "$TEXT_RESTART" click 1
expect_eq "nt: exit status" 0 "$(uninstall_exit_code)"
expect_ok "nt: no error" gui absent Error
expect_eq "nt: WinDriver" MISSING "$(wine_service_state WinDriver)"
expect_eq "nt: talvenkp" MISSING "$(wine_service_state talvenkp)"
expect_eq "nt: talvenkp.sys" gone "$(file_state "$(driver_file talvenkp.sys)")"
expect_eq "nt: windrvr.sys still held" present "$(file_state "$(driver_file windrvr.sys)")"
pending=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
            /v PendingFileRenameOperations 2>/dev/null | tr -d '\r' | grep -io 'windrvr.sys' | head -1)
expect_eq "nt: delete pending" windrvr.sys "$pending"
release
wineboot -r >/dev/null 2>&1
expect_eq "nt: windrvr.sys after the restart" gone "$(file_state "$(driver_file windrvr.sys)")"

# --- Windows 95/98: WININIT.INI ---
wine_set_app_version uninstall.exe win98
put_driver_files vxd windrvr talvenkp
wininit=$WINEPREFIX/drive_c/windows/wininit.ini
printf '[rename]\r\nNUL=C:\\OTHER.TMP\r\n' >"$wininit"
hold read 'C:\windows\system\vmm32\windrvr.vxd' 'C:\windows\system\vmm32\talvenkp.vxd'
uninstall_start
expect_ok "9x: restart message" gui wait-prefix "Windows 98 Orbanet" click 1 \
  wait-msgbox Notice 20000 expect-text -1 -e "$TEXT_RESTART" click 1
expect_eq "9x: exit status" 0 "$(uninstall_exit_code)"
expect_eq "9x: WININIT.INI" \
  "[rename]|NUL=C:\\OTHER.TMP|NUL=C:\\windows\\system\\vmm32\\windrvr.vxd|NUL=C:\\windows\\system\\vmm32\\talvenkp.vxd" \
  "$(tr -d '\r' <"$wininit" | grep -v '^$' | paste -sd'|')"
release
wineboot -r >/dev/null 2>&1
expect_eq "9x: windrvr.vxd after the restart" gone "$(file_state "$(driver_file windrvr.vxd)")"
expect_eq "9x: talvenkp.vxd after the restart" gone "$(file_state "$(driver_file talvenkp.vxd)")"

# --- Windows 95/98, scheduling fails: a folder named WININIT.INI cannot be written ---
put_driver_files vxd windrvr talvenkp
rm -f "$wininit"
mkdir "$wininit"
hold read 'C:\windows\system\vmm32\talvenkp.vxd'
uninstall_start
expect_ok "9x error: names the file" gui wait-prefix "Windows 98 Orbanet" click 1 \
  wait-msgbox Error 20000 expect-text-contains -1 'C:\windows\system\vmm32\talvenkp.vxd' click 1 \
  absent Notice 1000
expect_eq "9x error: exit status" 0 "$(uninstall_exit_code)"
expect_eq "9x error: windrvr.vxd" gone "$(file_state "$(driver_file windrvr.vxd)")"
release
finish
