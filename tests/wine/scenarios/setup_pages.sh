#!/usr/bin/env bash
# The wizard's pages on winxp, one prefix, each run ended before anything is installed:
#  A. from C:\dist (inside drive_c): page 0, the read-me as the file holds it (CRLF kept), the
#     About box, page 1 with the developer-files box ticked (edit and Browse disabled).
#  B. from Z: (outside drive_c), a read-me with a NUL: the text up to the NUL; page 1 with the
#     box unticked; Browse then Cancel keeps the edit's text, Browse then the desktop sets it.
#  C. started from a folder without setup.txt: an empty read-me page that still works; "Quit" on
#     page 0.
#  D. Escape, and the system menu's Close (SC_CLOSE) with the box ticked, end the program.
#  E. a read-me of 99,999 bytes is shown whole, a longer one cut after 99,999 bytes (both in the
#     folder setup is started from).
#  F. a program path of 249 characters runs; at 250 the package's longest path (system\ and a
#     driver) reaches Windows' limit of 260, and at 256 the program's own path is too long for
#     setup: both refused with a message (exit code 1).
#  G. planted DLLs are not loaded (Wine told to prefer a native riched32.dll and riched20.dll,
#     as Windows would): riched32.dll and its import riched20.dll beside setup.exe, riched20.dll
#     in its current directory, searched before the system directories (SafeDllSearchMode 0).
#     The rich edit library comes from the system directory by full path with its imports from
#     there, and the current directory is off the search path.
# After each run: nothing installed (no install directory, no driver files, no services).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp

prompt='Please choose the install directory.  This is where we will put the DLL, LIB and header files, as well as any documentation and utilities.  After the install, you may move these files anywhere you wish.'
note='The installer will automatically register and copy the WINDRVR and TALVENKP system files to the C:\windows\system32\drivers directory.  Please use the uninstall utility to remove/unregister them.'

# --- A: from C: ---------------------------------------------------------------------------------
pkg=$WINEPREFIX/drive_c/dist
setup_package "$pkg" || exit 1
printf 'TALVEN 5.7\r\n\r\n\tRead this first.\r\nLast line without an end' >"$pkg.payload/setup.txt"
package_from "$pkg.payload" "$pkg" || exit 1
setup_start "$pkg"
expect_gui "A: page 0" wait "$CAPTION" expect-focus $SETUP_IDC_QUIT \
  expect-text $SETUP_IDC_QUIT Quit expect-text $SETUP_IDC_NEXT "Next >" \
  expect-enabled $SETUP_IDC_NEXT 0 expect-visible $SETUP_IDC_README_TEXT 1 \
  expect-text-file $SETUP_IDC_README_TEXT 'C:\dist\setup.txt' \
  expect-visible $SETUP_IDC_README_CHECK 1 expect-checked $SETUP_IDC_README_CHECK 0 \
  expect-text $SETUP_IDC_README_CHECK "I have read this very important information." \
  expect-visible $SETUP_IDC_INSTALL_DIR 0 expect-visible $SETUP_IDC_DIR_PROMPT 0 \
  expect-visible $SETUP_IDC_BROWSE 0 expect-visible $SETUP_IDC_DRIVER_NOTE 0 \
  expect-visible $SETUP_IDC_DEVELOPER_FILES_CHECK 0 check $SETUP_IDC_README_CHECK 1 \
  expect-enabled $SETUP_IDC_NEXT 1 check $SETUP_IDC_README_CHECK 0 \
  expect-enabled $SETUP_IDC_NEXT 0 check $SETUP_IDC_README_CHECK 1 \
  expect-enabled $SETUP_IDC_NEXT 1 check $SETUP_IDC_README_CHECK 0 \
  expect-enabled $SETUP_IDC_NEXT 0 check $SETUP_IDC_README_CHECK 1 \
  expect-enabled $SETUP_IDC_NEXT 1
expect_gui "A: About" wait "$CAPTION" syscommand $SETUP_IDM_ABOUTBOX wait "About Setup" \
  wait "$CAPTION" expect-enabled . 0 wait "About Setup" close wait-gone wait "$CAPTION" \
  expect-enabled . 1 expect-checked $SETUP_IDC_README_CHECK 1 expect-enabled $SETUP_IDC_NEXT 1
run_gui 1 "A: page 1, Quit" wait "$CAPTION" click $SETUP_IDC_NEXT wait-text $SETUP_IDC_NEXT Install \
  expect-enabled $SETUP_IDC_NEXT 1 expect-visible $SETUP_IDC_README_TEXT 0 \
  expect-visible $SETUP_IDC_README_CHECK 0 expect-visible $SETUP_IDC_INSTALL_DIR 1 \
  expect-text $SETUP_IDC_INSTALL_DIR "$SETUP_DEFAULT_DIR" expect-visible $SETUP_IDC_DIR_PROMPT 1 \
  expect-text $SETUP_IDC_DIR_PROMPT "$prompt" expect-visible $SETUP_IDC_BROWSE 1 \
  expect-text $SETUP_IDC_BROWSE "Browse..." expect-visible $SETUP_IDC_DRIVER_NOTE 1 \
  expect-text $SETUP_IDC_DRIVER_NOTE "$note" expect-visible $SETUP_IDC_DEVELOPER_FILES_CHECK 1 \
  expect-text $SETUP_IDC_DEVELOPER_FILES_CHECK "Do not install developer files (only install system files)" \
  expect-checked $SETUP_IDC_DEVELOPER_FILES_CHECK 1 expect-enabled $SETUP_IDC_INSTALL_DIR 0 \
  expect-enabled $SETUP_IDC_BROWSE 0 check $SETUP_IDC_DEVELOPER_FILES_CHECK 0 \
  expect-enabled $SETUP_IDC_INSTALL_DIR 1 expect-enabled $SETUP_IDC_BROWSE 1 \
  expect-text $SETUP_IDC_INSTALL_DIR "$SETUP_DEFAULT_DIR" check $SETUP_IDC_DEVELOPER_FILES_CHECK 1 \
  expect-enabled $SETUP_IDC_INSTALL_DIR 0 expect-enabled $SETUP_IDC_BROWSE 0 \
  expect-text $SETUP_IDC_INSTALL_DIR "$SETUP_DEFAULT_DIR" expect-caption "$CAPTION" \
  click $SETUP_IDC_QUIT wait-gone
nothing_installed A
rm -rf "$pkg" "$pkg.payload"

# --- B: from Z:, a read-me with a NUL ------------------------------------------------------------
desktop="$(wine cmd /c echo '%USERPROFILE%' | tr -d '\r')\Desktop"
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
printf 'Shown part\r\nsecond line\0hidden after the NUL\r\n' >"$pkg.payload/setup.txt"
package_from "$pkg.payload" "$pkg" || exit 1
run_setup "$pkg" 1 "B: page 0 and page 1, Quit on page 1" wait "$CAPTION" \
  expect-text $SETUP_IDC_README_TEXT -e 'Shown part\r\nsecond line' \
  check $SETUP_IDC_README_CHECK 1 click $SETUP_IDC_NEXT wait-text $SETUP_IDC_NEXT Install \
  expect-checked $SETUP_IDC_DEVELOPER_FILES_CHECK 0 expect-enabled $SETUP_IDC_INSTALL_DIR 1 \
  expect-enabled $SETUP_IDC_BROWSE 1 check $SETUP_IDC_DEVELOPER_FILES_CHECK 1 \
  expect-enabled $SETUP_IDC_INSTALL_DIR 0 expect-enabled $SETUP_IDC_BROWSE 0 \
  check $SETUP_IDC_DEVELOPER_FILES_CHECK 0 expect-enabled $SETUP_IDC_INSTALL_DIR 1 \
  click $SETUP_IDC_BROWSE wait-owned expect-child-text "Select a Folder" close wait-gone \
  wait "$CAPTION" expect-text $SETUP_IDC_INSTALL_DIR "$SETUP_DEFAULT_DIR" click $SETUP_IDC_BROWSE \
  wait-owned tree-select-root click $IDOK wait-gone wait "$CAPTION" \
  expect-text $SETUP_IDC_INSTALL_DIR "$desktop" expect-caption "$CAPTION" \
  set-text $SETUP_IDC_INSTALL_DIR 'D:\WORK' expect-text $SETUP_IDC_INSTALL_DIR 'D:\WORK' \
  click $SETUP_IDC_QUIT wait-gone
nothing_installed B

# --- C: no setup.txt -----------------------------------------------------------------------------
cwd=$TALVEN_TEST_DIR/cwd
rm -rf "$cwd" && mkdir -p "$cwd"
setup_start "$cwd" "$pkg/setup.exe"
run_gui 1 "C: empty read-me, Quit on page 0" wait "$CAPTION" \
  expect-text $SETUP_IDC_README_TEXT "" expect-enabled $SETUP_IDC_NEXT 0 \
  check $SETUP_IDC_README_CHECK 1 expect-enabled $SETUP_IDC_NEXT 1 click $SETUP_IDC_QUIT wait-gone

# --- D: Escape and the close command -------------------------------------------------------------
for way in "key esc" "check $SETUP_IDC_README_CHECK 1 syscommand $SC_CLOSE"; do
  setup_start "$pkg"
  expect_gui "D: $way" wait "$CAPTION" $way wait-gone
  expect_ended "D: $way"
done
nothing_installed "C and D"

# --- E: long read-mes ----------------------------------------------------------------------------
readme_of 99999 >"$cwd/setup.txt"
readme_of 99999 >"$TALVEN_TEST_DIR/expected.txt"
expect_eq "E: read-me size" 99999 "$(stat -c %s "$cwd/setup.txt")"
setup_start "$cwd" "$pkg/setup.exe"
run_gui 1 "E: 99,999 bytes" wait "$CAPTION" \
  expect-text-file $SETUP_IDC_README_TEXT "$(windows_path "$TALVEN_TEST_DIR/expected.txt")" \
  click $SETUP_IDC_QUIT wait-gone
readme_of 150000 >"$cwd/setup.txt"
head -c 99999 "$cwd/setup.txt" >"$TALVEN_TEST_DIR/expected.txt"
setup_start "$cwd" "$pkg/setup.exe"
run_gui 1 "E: 150,000 bytes, cut" wait "$CAPTION" \
  expect-text-file $SETUP_IDC_README_TEXT "$(windows_path "$TALVEN_TEST_DIR/expected.txt")" \
  check $SETUP_IDC_README_CHECK 1 expect-enabled $SETUP_IDC_NEXT 1 click $SETUP_IDC_QUIT wait-gone

# --- F: program path lengths ---------------------------------------------------------------------
# Z:\ and the Unix path of the folder, then \setup.exe (10 characters).
long_folder() {
  local total=$1 base=$TALVEN_TEST_DIR/long
  local fill=$((total - 2 - ${#base} - 1 - 10))
  printf '%s/%s' "$base" "$(head -c "$fill" /dev/zero | tr '\0' d)"
}
short=$(long_folder 249)
mkdir -p "$short" && cp -r "$pkg"/. "$short/"
expect_eq "F: a path of 249 characters" 249 $(( $(windows_path "$short/setup.exe" | wc -c) - 1 ))
run_setup "$short" 1 "F: 249 characters run" wait "$CAPTION" click $SETUP_IDC_QUIT wait-gone
for length in 250 256; do
  long=$(long_folder $length)
  mkdir -p "$long" && cp -r "$pkg"/. "$long/"
  run_setup "$long" 1 "F: $length characters refused" wait-msgbox Error \
    expect-text $MSGBOX_TEXT "$TEXT_PATH_TOO_LONG" expect-alone click $IDOK wait-gone
done
nothing_installed "E and F"

# --- G: planted rich edit libraries -------------------------------------------------------------
printf 'Read-me beside a planted DLL\r\n' >"$cwd/setup.txt"
for dll in "$pkg/riched32.dll" "$pkg/riched20.dll" "$cwd/riched20.dll"; do
  cp "$TALVEN_TEST_TOOLS/planted_dll.dll" "$dll" || exit 1
done
marker=$WINEPREFIX/drive_c/planted_dll_loaded.txt
# The search order of Windows 2000 and of XP before SP2: the current directory before the system
# directories.
wine reg add 'HKLM\System\CurrentControlSet\Control\Session Manager' /v SafeDllSearchMode \
  /t REG_DWORD /d 0 /f >/dev/null
saved_overrides=$WINEDLLOVERRIDES
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;riched32,riched20=n,b"
setup_start "$cwd" "$pkg/setup.exe"
expect_gui "G: planted riched32.dll and riched20.dll" wait "$CAPTION" \
  expect-text $SETUP_IDC_README_TEXT -e 'Read-me beside a planted DLL\r\n' click $SETUP_IDC_QUIT \
  wait-gone
expect_exit "G: exit code" 1
export WINEDLLOVERRIDES=$saved_overrides
expect_eq "G: planted DLLs loaded" "" "$(tr -d '\r' <"$marker" 2>/dev/null | paste -sd';')"

finish
