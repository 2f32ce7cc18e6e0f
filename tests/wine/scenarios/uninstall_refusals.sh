#!/usr/bin/env bash
# The uninstaller refuses to start, and Cancel changes nothing:
#  - exit status 2 with neither driver file, with only one (either), and with both present but
#    held open by another program so that they cannot be opened for reading;
#  - exit status 1 on a Windows version it does not support (vista);
#  - Cancel, the Escape key and the close box leave both drivers running and both files there.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp

refused() {  # DESCRIPTION EXPECTED-STATUS TEXT
  run_uninstall "" "$2" "$1: message, never the dialog" wait-msgbox Error \
    absent "$UNINSTALL_TITLE" expect-text $MSGBOX_TEXT "$3" click $IDOK
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

wine_set_version vista uninstall.exe
refused "vista" 1 "$TEXT_UNSUPPORTED"
wine reg delete 'HKCU\Software\Wine\AppDefaults\uninstall.exe' /f >/dev/null 2>&1

# Both drivers registered and running: leaving the dialog in any of the three ways changes nothing.
running_drivers "three ways out"
for way in "click $IDCANCEL" "key esc" "close"; do
  # No message while the program ends: watched until it has ended, not after.
  run_uninstall "" 0 "$way: dialog, no message" wait "$UNINSTALL_TITLE" expect-focus $IDCANCEL \
    $way wait-gone absent Notice 1000
  expect_services "$way" RUNNING
  expect_driver_files "$way" present sys
done
finish
