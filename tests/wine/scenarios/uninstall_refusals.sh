#!/usr/bin/env bash
# The uninstaller refuses to start, and Cancel changes nothing:
#  - exit status 2 with neither driver file, with only one (either), and with both present but
#    held open by another program so that they cannot be opened for reading;
#  - exit status 1 on a Windows version it does not support (vista);
#  - Cancel, the Escape key and the close box leave both drivers running and both files there.
. "$TALVEN_SOURCE_DIR/tests/wine/uninstall_lib.sh"

uninstall_prefix winxp

refused() {  # DESCRIPTION EXPECTED-STATUS TEXT
  uninstall_start
  expect_ok "$1: message, never the dialog" \
    gui wait-msgbox Error absent "$UNINSTALL_TITLE" expect-text -1 "$3" click 1
  expect_eq "$1: exit status" "$2" "$(uninstall_exit_code)"
}

refused "no driver files" 2 "$TEXT_NOT_INSTALLED"
put_driver_files sys windrvr
refused "windrvr.sys alone" 2 "$TEXT_NOT_INSTALLED"
rm "$(driver_file windrvr.sys)"
put_driver_files sys talvenkp
refused "talvenkp.sys alone" 2 "$TEXT_NOT_INSTALLED"
expect_eq "talvenkp.sys alone: left in place" present "$(file_state "$(driver_file talvenkp.sys)")"

put_driver_files sys windrvr
hold none 'C:\windows\system32\drivers\windrvr.sys' 'C:\windows\system32\drivers\talvenkp.sys'
refused "both unreadable" 2 "$TEXT_NOT_INSTALLED"
release

wine_set_app_version uninstall.exe vista
refused "vista" 1 "$TEXT_UNSUPPORTED"
wine reg delete 'HKCU\Software\Wine\AppDefaults\uninstall.exe' /f >/dev/null 2>&1

# Both drivers registered and running: leaving the dialog in any of the three ways changes nothing.
wine_svc create WinDriver 'C:\windows\system32\drivers\windrvr.sys' >/dev/null
wine_svc create talvenkp 'C:\windows\system32\drivers\talvenkp.sys' >/dev/null
expect_ok "start WinDriver" wine_svc start WinDriver
expect_ok "start talvenkp" wine_svc start talvenkp
for way in "click 2" "key esc" "close"; do
  uninstall_start
  expect_ok "$way: dialog" gui wait "$UNINSTALL_TITLE" expect-focus 2 $way wait-gone
  expect_eq "$way: exit status" 0 "$(uninstall_exit_code)"
  expect_ok "$way: no message" gui absent Notice
  expect_eq "$way: WinDriver" RUNNING "$(wine_service_state WinDriver)"
  expect_eq "$way: talvenkp" RUNNING "$(wine_service_state talvenkp)"
  expect_eq "$way: windrvr.sys" present "$(file_state "$(driver_file windrvr.sys)")"
  expect_eq "$way: talvenkp.sys" present "$(file_state "$(driver_file talvenkp.sys)")"
done
finish
