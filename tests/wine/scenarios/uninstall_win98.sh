#!/usr/bin/env bash
# Windows 98: the uninstaller alone reports Windows 98 (AppDefaults), the test VxD loader stands
# in for "\\.\VXDLDR". Both VxDs count as loaded; the run unloads WINDRVR then TALVENKP, deletes
# their VxD keys and the two .vxd files in system\vmm32, and ends with "TALVEN Removed!".
. "$TALVEN_SOURCE_DIR/tests/wine/uninstall_lib.sh"

VXD_KEY='HKLM\System\CurrentControlSet\Services\VxD'

uninstall_prefix winxp
wine_set_app_version uninstall.exe win98
wine_driver_install tvxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
expect_ok "loader start" wine_svc start tvxdldr
expect_ok "loader reset" wine_run "$VXDLDR_CTL" reset
expect_ok "WINDRVR loaded" wine_run "$VXDLDR_CTL" set WINDRVR 1
expect_ok "TALVENKP loaded" wine_run "$VXDLDR_CTL" set TALVENKP 1
for name in WinDriver talvenkp; do
  wine reg add "$VXD_KEY\\$name" /v StaticVxD /d "*$name" /f >/dev/null
done
put_driver_files vxd windrvr talvenkp

uninstall_start
expect_ok "run" gui wait "Windows 98 Orbanet Universal Driver UnInstaller v1.0" click 1 \
  wait-msgbox Notice 20000 expect-text -1 "TALVEN Removed!" click 1
expect_eq "exit status" 0 "$(uninstall_exit_code)"
# The registrar unloads until the loader refuses, so each name ends with one refused request.
expect_eq "unload requests, in order" \
  "unload WINDRVR ok|unload WINDRVR failed|unload TALVENKP ok|unload TALVENKP failed" \
  "$(wine_run "$VXDLDR_CTL" log | tr -d '\r' | paste -sd'|')"
expect_eq "WINDRVR count" 0 "$(wine_run "$VXDLDR_CTL" count WINDRVR | tr -d '\r')"
expect_eq "TALVENKP count" 0 "$(wine_run "$VXDLDR_CTL" count TALVENKP | tr -d '\r')"
expect_eq "WinDriver key" gone "$(reg_key_state "$VXD_KEY\\WinDriver")"
expect_eq "talvenkp key" gone "$(reg_key_state "$VXD_KEY\\talvenkp")"
expect_eq "windrvr.vxd" gone "$(file_state "$(driver_file windrvr.vxd)")"
expect_eq "talvenkp.vxd" gone "$(file_state "$(driver_file talvenkp.vxd)")"
expect_ok "loader stop" wine_svc stop tvxdldr
finish
