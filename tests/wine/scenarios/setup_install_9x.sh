#!/usr/bin/env bash
# Installation on Windows 95 or 98 (argument: win95 or win98) against the test VxD loader (a
# kernel driver started through Wine's SCM; setup.exe alone sees the 9x version): VxD keys, .vxd
# files, the loader's requests, the reboot offer. "Don't Reboot" (win98) or Escape (win95) ends
# the program and restarts nothing; without the loader, the failure message and no reboot offer;
# "Reboot" makes ExitWindowsEx end the prefix's session, the session's other programs with it.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

version=${1:?version}
gui_prefix winxp "$version"
decline="click $IDCANCEL"
[ "$version" = win95 ] && decline="key esc"
wine_driver_install vxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
expect_ok "loader start" wine_svc start vxdldr
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
vmm32=$WINEPREFIX/drive_c/windows/system/vmm32
# What the loader receives in a run: each unload, refused (nothing loaded), then its load.
requests="unload WINDRVR (id 0xFFFFFFFF, input 260 bytes): refused
load C:\\windows\\system\\vmm32\\windrvr.vxd (input 36 bytes): ok
unload TALVENKP (id 0xFFFFFFFF, input 260 bytes): refused
load C:\\windows\\system\\vmm32\\talvenkp.vxd (input 37 bytes): ok
total 4"
# Each driver's replacement: its unload, then its load at least 1 s later; with KEPT, its VxD key
# still there at the unload (Unload before Remove) and back at the load (Install before Load).
check_replacement() {  # DESCRIPTION [KEPT]
  local k0 t0 k1 t1 k2 t2 k3 t3
  read -r k0 t0 k1 t1 k2 t2 k3 t3 <<<"$(vxdldr_ctl keys | tr '\n' ' ')"
  expect_ok "$1: 1 s from unload to load" test "${t1:-0}" -ge $((t0 + 1000)) -a \
    "${t3:-0}" -ge $((t2 + 1000))
  [ -n "${2:-}" ] && expect_eq "$1: VxD keys at each unload and the load after it" \
    "$k0 $k0 $k2 $k2" "$k0 $k1 $k2 $k3"
}
vxd_value() {
  reg_value "HKLM\\System\\CurrentControlSet\\Services\\VxD\\$1" "$2"
}

# A program of the session that a restart would end.
wine notepad & witness=$!

run_setup "$pkg" 0 "wizard to the reboot offer, declined" "${TO_INSTALL[@]}" \
  expect-text $SETUP_IDC_DRIVER_NOTE -e 'The installer will automatically register and copy the WINDRVR and TALVENKP system files to the C:\\windows\\system\\vmm32 directory.  Please use the uninstall utility to remove/unregister them.' \
  click $SETUP_IDC_NEXT timeout 60000 fail-on Error wait "Installation Complete" \
  expect-text $IDOK Reboot expect-text $IDCANCEL "Don't Reboot" \
  expect-text $MSGBOX_TEXT 'TALVEN has been successfully installed.  Before using any TALVEN applications, you must reboot the computer.  Do you wish to reboot now?' \
  absent "" $decline wait-gone

for name in windrvr talvenkp; do
  key=$([ $name = windrvr ] && echo WinDriver || echo talvenkp)
  expect_eq "$key StaticVxD" "REG_SZ *$name" "$(vxd_value $key StaticVxD)"
  expect_eq "$key Start" "REG_BINARY 00" "$(vxd_value $key Start)"
  expect_same_file "$name.vxd in system\\vmm32" "$pkg/system/$name.vxd" "$vmm32/$name.vxd"
  expect_no_path "no $name.sys in the drivers folder" "$SETUP_DRIVERS/$name.sys"
done
expect_eq "loader requests" "$requests" "$(vxdldr_ctl log)"
check_replacement "first run"
expect_ok "developer files in the install directory" diff -r "$pkg" "$SETUP_INSTALL_DIR"
expect_ok "declined: the session goes on" kill -0 $witness

# Without the loader: both loads fail.
expect_ok "loader stop" wine_svc stop vxdldr
run_setup "$pkg" 0 "no loader: failure, no reboot offer" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT \
  timeout 60000 fail-on "Installation Complete" wait-msgbox Error \
  expect-text $MSGBOX_TEXT "$TEXT_FAILURE" expect-alone click $IDOK wait-gone \
  absent "Installation Complete" 500
expect_eq "no loader: WinDriver StaticVxD still written" "REG_SZ *windrvr" \
  "$(vxd_value WinDriver StaticVxD)"

# The loader again (its counts start from nothing), and this time "Reboot".
expect_ok "loader start again" wine_svc start vxdldr
run_setup "$pkg" 0 "Reboot" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT timeout 60000 fail-on Error \
  wait "Installation Complete" click $IDOK wait-gone
expect_eq "Reboot run: loader requests" "$requests" "$(vxdldr_ctl log)"
check_replacement "Reboot run" kept
poll 100 eval '! kill -0 $witness 2>/dev/null'
expect_fail "Reboot: the session's other programs end" kill -0 $witness
kill $witness 2>/dev/null
finish
