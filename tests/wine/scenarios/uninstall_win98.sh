#!/usr/bin/env bash
# Windows 98: the uninstaller alone reports Windows 98 (AppDefaults), the test VxD loader stands
# in for "\\.\VXDLDR". Both VxDs count as loaded; the run unloads WINDRVR then TALVENKP, deletes
# their VxD keys and the two .vxd files in system\vmm32, and ends with "TALVEN Removed!".
# Then VxD keys that cannot be removed: an "Error" box for each and no other box, both .vxd files
# kept; run again, the uninstaller finds TALVEN installed and removes it.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

VXD_KEY='HKLM\System\CurrentControlSet\Services\VxD'
TITLE_98=$(setup_caption win98 UnInstaller)

# Both VxDs registered and loaded, both .vxd files in place.
installed_98() {
  expect_ok "$1: loader reset" vxdldr_ctl reset
  expect_ok "$1: WINDRVR loaded" vxdldr_ctl set WINDRVR 1
  expect_ok "$1: TALVENKP loaded" vxdldr_ctl set TALVENKP 1
  for name in WinDriver talvenkp; do
    expect_ok "$1: $name key" wine reg add "$VXD_KEY\\$name" /v StaticVxD /d "*$name" /f
  done
  put_driver_files vxd windrvr talvenkp
}

gui_prefix winxp
wine_set_version win98 uninstall.exe
wine_driver_install tvxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
expect_ok "loader start" wine_svc start tvxdldr
installed_98 "run"

run_uninstall "" 0 "run" wait "$TITLE_98" click $IDOK \
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

# Without the VxD loader the registrars refuse every step, so neither VxD key can be removed: an
# "Error" box for each, no other box, both .vxd files kept. With the loader back (and the static
# VxDs loaded at boot), the uninstaller runs again, finds TALVEN installed and removes it.
installed_98 "kept"
expect_ok "kept: loader stop" wine_svc stop tvxdldr
run_uninstall "" 0 "kept: run" wait "$TITLE_98" click $IDOK fail-on Notice \
  wait-msgbox Error 20000 expect-text $MSGBOX_TEXT "$(printf "$TEXT_STILL_REGISTERED" WinDriver)" \
  click $IDOK wait-gone wait-msgbox Error 5000 \
  expect-text $MSGBOX_TEXT "$(printf "$TEXT_STILL_REGISTERED" talvenkp)" click $IDOK wait-gone \
  absent Notice 1000
for name in WinDriver talvenkp; do
  expect_eq "kept: $name key" present "$(reg_key_state "$VXD_KEY\\$name")"
done
expect_driver_files kept present vxd
expect_ok "again: loader start" wine_svc start tvxdldr
installed_98 "again"
run_uninstall "" 0 "again: run" wait "$TITLE_98" click $IDOK fail-on Error \
  wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT "$TEXT_REMOVED" click $IDOK
for name in WinDriver talvenkp; do
  expect_eq "again: $name key" gone "$(reg_key_state "$VXD_KEY\\$name")"
done
expect_driver_files again gone vxd
expect_ok "loader stop" wine_svc stop tvxdldr
finish
