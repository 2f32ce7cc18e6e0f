#!/usr/bin/env bash
# Windows 98: the uninstaller alone reports Windows 98 (AppDefaults), the test VxD loader stands
# in for "\\.\VXDLDR". Both VxDs count as loaded; the run unloads WINDRVR then TALVENKP, deletes
# their VxD keys and the two .vxd files in system\vmm32, and ends with "TALVEN Removed!".
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

VXD_KEY='HKLM\System\CurrentControlSet\Services\VxD'

gui_prefix winxp
wine_set_version win98 uninstall.exe
wine_driver_install tvxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
expect_ok "loader start" wine_svc start tvxdldr
expect_ok "loader reset" vxdldr_ctl reset
expect_ok "WINDRVR loaded" vxdldr_ctl set WINDRVR 1
expect_ok "TALVENKP loaded" vxdldr_ctl set TALVENKP 1
for name in WinDriver talvenkp; do
  expect_ok "$name key" wine reg add "$VXD_KEY\\$name" /v StaticVxD /d "*$name" /f
done
put_driver_files vxd windrvr talvenkp

run_uninstall "" 0 "run" wait "$(setup_caption win98 UnInstaller)" click $IDOK \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT "$TEXT_REMOVED" click $IDOK
# The registrar unloads until the loader refuses, so each name ends with one refused request.
expect_eq "unload requests, in order" "unload WINDRVR (id 0xFFFFFFFF, input 260 bytes): ok
unload WINDRVR (id 0xFFFFFFFF, input 260 bytes): refused
unload TALVENKP (id 0xFFFFFFFF, input 260 bytes): ok
unload TALVENKP (id 0xFFFFFFFF, input 260 bytes): refused
total 4" "$(vxdldr_ctl log)"
expect_eq "WINDRVR count" 0 "$(vxdldr_ctl count WINDRVR)"
expect_eq "TALVENKP count" 0 "$(vxdldr_ctl count TALVENKP)"
expect_eq "WinDriver key" gone "$(reg_key_state "$VXD_KEY\\WinDriver")"
expect_eq "talvenkp key" gone "$(reg_key_state "$VXD_KEY\\talvenkp")"
expect_driver_files removed gone vxd
expect_ok "loader stop" wine_svc stop tvxdldr
finish
