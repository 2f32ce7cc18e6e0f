#!/usr/bin/env bash
# A driver file that cannot be deleted because another program holds it open:
#  - NT family: both services unregistered, the other file deleted, the held file scheduled in
#    the system's pending-rename list, the restart message instead of "TALVEN Removed!", and the
#    file gone once the prefix restarts (wineboot -r carries out the pending deletes);
#  - Windows 98, both files held: two "NUL=" lines in the [rename] section of WININIT.INI next
#    to a line that was there before, and both files gone after the restart;
#  - Windows 98, WININIT.INI cannot be written: an "Error" box that names the file, no restart
#    message and no "TALVEN Removed!".
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp

# --- NT family ---
running_drivers nt
hold read 'C:\windows\system32\drivers\windrvr.sys'
uninstall_start
# No "Error" box while it runs: none before the notice (fail-on), none beside it.
expect_gui "nt: restart message, no error" fail-on Error wait "$UNINSTALL_TITLE" click $IDOK \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" absent Error click $IDOK
expect_exit "nt: exit status" 0
expect_services nt MISSING
expect_eq "nt: talvenkp.sys" gone "$(file_state "$(driver_file talvenkp.sys)")"
expect_eq "nt: windrvr.sys still held" present "$(file_state "$(driver_file windrvr.sys)")"
expect_eq "nt: delete pending" windrvr.sys "$(pending_delete windrvr.sys)"
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
expect_gui "9x: restart message" wait-prefix "Windows 98 Orbanet" click $IDOK \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" click $IDOK
expect_exit "9x: exit status" 0
expect_eq "9x: WININIT.INI" \
  "[rename]|NUL=C:\\OTHER.TMP|NUL=C:\\windows\\system\\vmm32\\windrvr.vxd|NUL=C:\\windows\\system\\vmm32\\talvenkp.vxd" \
  "$(tr -d '\r' <"$wininit" | grep -v '^$' | paste -sd'|')"
release
wineboot -r >/dev/null 2>&1
expect_driver_files "9x: after the restart" gone vxd

# --- Windows 95/98, scheduling fails: a folder named WININIT.INI cannot be written ---
put_driver_files vxd windrvr talvenkp
rm -f "$wininit"
mkdir "$wininit"
hold read 'C:\windows\system\vmm32\talvenkp.vxd'
uninstall_start
expect_gui "9x error: names the file" wait-prefix "Windows 98 Orbanet" click $IDOK \
  wait-msgbox Error 20000 expect-text-contains $MSGBOX_TEXT 'C:\windows\system\vmm32\talvenkp.vxd' \
  click $IDOK absent Notice 1000
expect_exit "9x error: exit status" 0
expect_eq "9x error: windrvr.vxd" gone "$(file_state "$(driver_file windrvr.vxd)")"
release
finish
