#!/usr/bin/env bash
# A driver file that cannot be deleted because another program holds it open:
#  - NT family: the held file scheduled in the system's pending-rename list, the restart
#    message, the file gone once the prefix restarts (wineboot -r carries out the deletes);
#  - NT family, setup run again before the restart: the pending delete taken back, an older
#    update waiting to replace windrvr.sys and a move of talvenkp.sys elsewhere; other programs'
#    renames around them, with names the ANSI code page cannot hold, read back through the wide
#    registry functions byte for byte;
#  - NT family, another program's list that is no whole list (an odd byte count), nothing of ours
#    in it: setup completes and leaves it as it was;
#  - Windows 98: "NUL=" lines in WININIT.INI's [rename] section beside one there before; setup
#    run again before the restart takes them back;
#  - Windows 98, WININIT.INI cannot be written: an "Error" box that names the file; with a VxD
#    that stays loaded, then the restart notice that leaves that file out;
#  - Windows 98, a [rename] section too big to read whole: setup cannot take a delete back and
#    ends with its failure message, WININIT.INI untouched.
# Two parts, each in a prefix of its own: uninstall_in_use.sh nt | 9x.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

part=${1:?nt or 9x}
gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
wininit=$WINEPREFIX/drive_c/windows/wininit.ini

wininit_lines() {
  tr -d '\r' <"$wininit" | grep -v '^$' | paste -sd'|'
}
# The pending-rename list as hex bytes, read by reg export through the wide registry functions;
# nothing when there is none.
pending_hex() {
  rm -f "$WINEPREFIX/drive_c/pending.reg"
  wine reg export 'HKLM\System\CurrentControlSet\Control\Session Manager' 'C:\pending.reg' /y \
    >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/pending.reg" | tr -d '\r' | awk '
    /^"PendingFileRenameOperations"=hex\(7\):/ { on = 1; sub(/^[^:]*:/, "") }
    on { more = sub(/\\$/, ""); gsub(/[ ,]/, ""); printf "%s", $0; on = more }'
}
# Writes the pending-rename list from hex bytes, by reg import through the wide functions.
set_pending_hex() {  # HEX
  printf 'Windows Registry Editor Version 5.00\r\n\r\n%s\r\n"%s"=hex(7):%s\r\n' \
    '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Session Manager]' \
    PendingFileRenameOperations "$(sed 's/../&,/g; s/,$//' <<<"$1")" |
    iconv -f UTF-8 -t UTF-16 >"$WINEPREFIX/drive_c/pending.reg"
  wine reg import 'C:\pending.reg' >/dev/null 2>&1
}
# Each TEXT in UTF-16LE with its NUL, as hex bytes.
wide_hex() {  # TEXT...
  local text
  for text in "$@"; do
    printf '%s' "$text" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -d ' \n'
    printf 0000
  done
}
# Both drivers running, windrvr.sys held, then uninstall: the restart message.
uninstall_nt_holding_windrvr() {
  running_drivers "$1"
  hold read 'C:\windows\system32\drivers\windrvr.sys'
  run_uninstall "" 0 "$1: restart message" wait "$UNINSTALL_TITLE" click $IDOK \
    wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" click $IDOK
}
# Both .vxd files held, a line already in WININIT.INI, then uninstall: the restart message.
uninstall_9x_holding_both() {
  put_driver_files vxd windrvr talvenkp
  printf '[rename]\r\nNUL=C:\\OTHER.TMP\r\n' >"$wininit"
  hold read 'C:\windows\system\vmm32\windrvr.vxd' 'C:\windows\system\vmm32\talvenkp.vxd'
  run_uninstall "" 0 "$1: restart message" wait-prefix "Windows 98 Orbanet" click $IDOK \
    wait-msgbox Notice 20000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART" click $IDOK
  expect_eq "$1: WININIT.INI" \
    "[rename]|NUL=C:\\OTHER.TMP|NUL=C:\\windows\\system\\vmm32\\windrvr.vxd|NUL=C:\\windows\\system\\vmm32\\talvenkp.vxd" \
    "$(wininit_lines)"
}

if [ "$part" = nt ]; then
  # --- NT family ---
  uninstall_nt_holding_windrvr nt
  expect_ok "nt: no error" gui absent Error
  expect_eq "nt: WinDriver" MISSING "$(wine_service_state WinDriver)"
  expect_eq "nt: talvenkp" MISSING "$(wine_service_state talvenkp)"
  expect_file "nt: talvenkp.sys" gone talvenkp.sys
  expect_file "nt: windrvr.sys still held" present windrvr.sys
  expect_eq "nt: delete pending" windrvr.sys "$(pending_deletes)"
  release
  wine_restart
  expect_file "nt: windrvr.sys after the restart" gone windrvr.sys

  # --- NT family: setup again before the restart ---
  uninstall_nt_holding_windrvr "nt again"
  expect_eq "nt again: delete pending" windrvr.sys "$(pending_deletes)"
  release
  # Around our delete as the uninstaller wrote it (list end taken off): another program's replace
  # and delete with Cyrillic and a full-width backslash, in the "\??\" form and without; an older
  # update of windrvr.sys that would replace the fresh copy at the restart, and a move that would
  # take the fresh talvenkp.sys away.
  ours=$(pending_hex)
  expect_eq "nt again: our delete read back" \
    "$(wide_hex '\??\C:\windows\system32\drivers\windrvr.sys' '')0000" "$ours"
  theirs_before=$(wide_hex '\??\C:\temp\файл.new' '!\??\C:\temp\файл.dll' 'C:\temp\a＼b.tmp' '')
  theirs_after=$(wide_hex '\??\C:\temp\c.tmp' '')
  echo older >"$WINEPREFIX/drive_c/windrvr.new"
  update=$(wide_hex '\??\C:\windrvr.new' '!\??\C:\windows\system32\drivers\windrvr.sys' \
    '\??\C:\windows\system32\drivers\talvenkp.sys' '\??\C:\saved.sys')
  set_pending_hex "$theirs_before${ours%0000}$update${theirs_after}0000"
  run_setup "$pkg" 0 "nt again: setup" "${TO_INSTALL[@]}" "${SETUP_COMPLETES[@]}"
  expect_eq "nt again: delete taken back" "" "$(pending_deletes)"
  expect_eq "nt again: other programs' renames as they were" "$theirs_before${theirs_after}0000" \
    "$(pending_hex)"
  wine_restart
  expect_eq "nt again: the older update left where it was" present \
    "$(file_state "$WINEPREFIX/drive_c/windrvr.new")"
  expect_eq "nt again: talvenkp.sys not moved away" gone \
    "$(file_state "$WINEPREFIX/drive_c/saved.sys")"
  for service in WinDriver talvenkp; do
    file=$([ $service = WinDriver ] && echo windrvr.sys || echo talvenkp.sys)
    expect_same_file "nt again: $file after the restart" "$pkg/system/$file" "$(driver_file $file)"
    image=$(reg_value "HKLM\\System\\CurrentControlSet\\Services\\$service" ImagePath)
    image=${image#* }
    expect_eq "nt again: $service registered after the restart" RUNNING \
      "$(wine_service_state $service)"
    expect_eq "nt again: $service image file $image" present \
      "$(file_state "$(wine winepath -u "$image" 2>/dev/null | tr -d '\r')")"
  done

  # --- NT family: another program's list with a byte too many, nothing of ours in it ---
  odd="$(wide_hex '\??\C:\temp\a.tmp' '')0000ff"
  set_pending_hex "$odd"
  run_setup "$pkg" 0 "nt odd list: setup" "${TO_INSTALL[@]}" "${SETUP_COMPLETES[@]}"
  expect_eq "nt odd list: left as it was" "$odd" "$(pending_hex)"
else
  # --- Windows 95/98: WININIT.INI ---
  wine_set_version win98 uninstall.exe
  uninstall_9x_holding_both 9x
  release
  wine_restart
  expect_driver_files "9x: after the restart" gone vxd

  # --- Windows 95/98: setup again before the restart, with the test VxD loader ---
  wine_set_version win98 setup.exe
  TO_INSTALL_98=(wait "$(setup_caption win98)" check "$SETUP_IDC_README_CHECK" 1
                 click "$SETUP_IDC_NEXT" wait-text "$SETUP_IDC_NEXT" Install)
  uninstall_9x_holding_both "9x again"
  release
  wine_driver_install vxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
  expect_ok "9x again: loader start" wine_svc start vxdldr
  run_setup "$pkg" 0 "9x again: setup" "${TO_INSTALL_98[@]}" click $SETUP_IDC_NEXT timeout 60000 \
    fail-on Error wait "Installation Complete" click $IDCANCEL wait-gone
  expect_eq "9x again: deletes taken back" "[rename]|NUL=C:\\OTHER.TMP" "$(wininit_lines)"
  wine_restart
  for name in windrvr talvenkp; do
    key=$([ $name = windrvr ] && echo WinDriver || echo talvenkp)
    expect_same_file "9x again: $name.vxd after the restart" "$pkg/system/$name.vxd" \
      "$(driver_file $name.vxd)"
    expect_eq "9x again: $key VxD key after the restart" present \
      "$(reg_key_state "HKLM\\System\\CurrentControlSet\\Services\\VxD\\$key")"
  done

  # --- Windows 95/98, scheduling fails: a folder named WININIT.INI cannot be written ---
  put_driver_files vxd windrvr talvenkp
  rm -f "$wininit"
  mkdir "$wininit"
  hold read 'C:\windows\system\vmm32\talvenkp.vxd'
  # The loader (stopped by the restart) is needed to unregister the drivers setup registered above;
  # registered static VxDs are loaded at boot.
  expect_ok "9x error: loader start" wine_svc start vxdldr
  expect_ok "9x error: WINDRVR loaded at boot" vxdldr_ctl set WINDRVR 1
  expect_ok "9x error: TALVENKP loaded at boot" vxdldr_ctl set TALVENKP 1
  run_uninstall "" 0 "9x error: names the file" wait-prefix "Windows 98 Orbanet" click $IDOK \
    wait-msgbox Error 20000 \
    expect-text-contains $MSGBOX_TEXT 'C:\windows\system\vmm32\talvenkp.vxd' click $IDOK \
    absent Notice 1000
  expect_file "9x error: windrvr.vxd" gone windrvr.vxd
  release

  # --- The same with TALVENKP registered and loaded for good (the loader refuses its unload): after
  # the "Error" box, the restart notice leaves out the file that box named ---
  put_driver_files vxd windrvr talvenkp
  expect_ok "9x error, loaded: talvenkp key" wine reg add \
    'HKLM\System\CurrentControlSet\Services\VxD\talvenkp' /v StaticVxD /d '*talvenkp' /f
  expect_ok "9x error, loaded: TALVENKP not unloaded" vxdldr_ctl set TALVENKP 0
  hold read 'C:\windows\system\vmm32\talvenkp.vxd'
  run_uninstall "" 0 "9x error, loaded: the file, then the restart" \
    wait-prefix "Windows 98 Orbanet" click $IDOK wait-msgbox Error 20000 \
    expect-text-contains $MSGBOX_TEXT 'C:\windows\system\vmm32\talvenkp.vxd' click $IDOK wait-gone \
    wait-msgbox Notice 5000 expect-text $MSGBOX_TEXT -e "$TEXT_RESTART_AFTER_ERROR" click $IDOK
  release

  # --- Windows 95/98: a [rename] section too big to read whole, so setup cannot tell whether a
  # delete of its files is pending: the failure message, and WININIT.INI as it was ---
  rm -rf "$wininit"
  {
    printf '[rename]\r\n'
    for n in $(seq 1500); do printf 'NUL=C:\\TEMP\\PENDING%04d.TMP\r\n' "$n"; done
    printf 'NUL=C:\\windows\\system\\vmm32\\windrvr.vxd\r\n'
  } >"$wininit"
  before=$(md5sum <"$wininit")
  run_setup "$pkg" 0 "9x too big: setup fails" "${TO_INSTALL_98[@]}" click $SETUP_IDC_NEXT \
    timeout 60000 fail-on "Installation Complete" wait-msgbox Error \
    expect-text $MSGBOX_TEXT "$TEXT_FAILURE" click $IDOK wait-gone
  expect_eq "9x too big: WININIT.INI unchanged" "$before" "$(md5sum <"$wininit")"
fi
finish
