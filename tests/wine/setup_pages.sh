#!/usr/bin/env bash
# The wizard's pages on winxp, one prefix, each run ended before anything is installed:
#  A. from C:\dist (inside drive_c): caption, focus on Quit, the read-me as the file holds it
#     (CRLF kept), Next only while the box is ticked, the About entry's modal box, page 1's
#     texts, default directory and driver note, the developer-files box ticked with edit and
#     Browse disabled and its toggling; "Quit" on page 1.
#  B. from Z: (outside drive_c), a read-me with a NUL: the text up to the NUL; page 1 with the
#     box unticked, edit and Browse enabled; Browse then Cancel keeps the edit's text, Browse
#     then the desktop puts the desktop folder's path in; a typed path stays; "Quit" on page 1.
#  C. from Z: without setup.txt: an empty read-me page that still works; "Quit" on page 0.
#  D. Escape, and the system menu's Close (SC_CLOSE) with the box ticked, end the program.
#  E. a read-me of 99,999 bytes is shown whole, a longer one cut after 99,999 bytes.
#  F. a program path of 255 characters runs; one of 256 is refused with a message (exit code 1).
#  G. planted DLLs are not loaded, with Wine told to prefer a native riched32.dll and
#     riched20.dll found on the search path, as Windows would: riched32.dll and riched20.dll
#     (riched32's import) beside setup.exe, and riched20.dll in its current directory, a folder
#     of its own that holds the read-me, with the current directory searched before the system
#     directories (SafeDllSearchMode 0). The rich edit library comes from the system directory by
#     full path with its imports from there, and the current directory is off the search path.
# After each run: nothing installed (no install directory, no driver files, no services).
. "$TALVEN_SOURCE_DIR/tests/wine/setup_lib.sh"

setup_prefix winxp
caption=$(setup_caption winxp)
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

nothing_installed() {
  expect_no_path "$1: no install directory" "$WINEPREFIX/drive_c/Program Files/Orbanet"
  expect_no_path "$1: no windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
  expect_no_path "$1: no talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"
  expect_eq "$1: WinDriver" MISSING "$(wine_service_state WinDriver)"
  expect_eq "$1: talvenkp" MISSING "$(wine_service_state talvenkp)"
}

prompt='Please choose the install directory.  This is where we will put the DLL, LIB and header files, as well as any documentation and utilities.  After the install, you may move these files anywhere you wish.'
note='The installer will automatically register and copy the WINDRVR and TALVENKP system files to the C:\windows\system32\drivers directory.  Please use the uninstall utility to remove/unregister them.'

# --- A: from C: ---------------------------------------------------------------------------------
pkg=$WINEPREFIX/drive_c/dist
setup_package "$pkg" || exit 1
printf 'TALVEN 5.7\r\n\r\n\tRead this first.\r\nLast line without an end' >"$pkg/setup.txt"
setup_start "$pkg"
expect_gui "A: page 0" wait "$caption" expect-focus 1004 expect-text 1004 Quit \
  expect-text 1005 "Next >" expect-enabled 1005 0 expect-visible 1001 1 \
  expect-text-file 1001 'C:\dist\setup.txt' expect-visible 1007 1 expect-checked 1007 0 \
  expect-text 1007 "I have read this very important information." \
  expect-visible 1008 0 expect-visible 1009 0 expect-visible 1010 0 expect-visible 1011 0 \
  expect-visible 1013 0 \
  check 1007 1 expect-enabled 1005 1 check 1007 0 expect-enabled 1005 0 \
  check 1007 1 expect-enabled 1005 1 check 1007 0 expect-enabled 1005 0 check 1007 1 \
  expect-enabled 1005 1
expect_gui "A: About" wait "$caption" syscommand 16 wait "About Setup" wait "$caption" \
  expect-enabled . 0 wait "About Setup" close wait-gone wait "$caption" expect-enabled . 1 \
  expect-checked 1007 1 expect-enabled 1005 1
expect_gui "A: page 1" wait "$caption" click 1005 wait-text 1005 Install expect-enabled 1005 1 \
  expect-visible 1001 0 expect-visible 1007 0 expect-visible 1008 1 \
  expect-text 1008 "$SETUP_DEFAULT_DIR" expect-visible 1009 1 expect-text 1009 "$prompt" \
  expect-visible 1010 1 expect-text 1010 "Browse..." expect-visible 1011 1 \
  expect-text 1011 "$note" expect-visible 1013 1 \
  expect-text 1013 "Do not install developer files (only install system files)" \
  expect-checked 1013 1 expect-enabled 1008 0 expect-enabled 1010 0 \
  check 1013 0 expect-enabled 1008 1 expect-enabled 1010 1 expect-text 1008 "$SETUP_DEFAULT_DIR" \
  check 1013 1 expect-enabled 1008 0 expect-enabled 1010 0 expect-text 1008 "$SETUP_DEFAULT_DIR" \
  expect-caption "$caption" click 1004 wait-gone
setup_wait_exit
expect_eq "A: Quit on page 1: exit code" 1 "$SETUP_EXIT"
nothing_installed A
rm -rf "$pkg"

# --- B: from Z:, a read-me with a NUL ------------------------------------------------------------
desktop="$(wine cmd /c echo '%USERPROFILE%' | tr -d '\r')\Desktop"
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
printf 'Shown part\r\nsecond line\0hidden after the NUL\r\n' >"$pkg/setup.txt"
setup_start "$pkg"
expect_gui "B: page 0 and page 1" wait "$caption" expect-text 1001 -e 'Shown part\r\nsecond line' \
  check 1007 1 click 1005 wait-text 1005 Install expect-checked 1013 0 expect-enabled 1008 1 \
  expect-enabled 1010 1 check 1013 1 expect-enabled 1008 0 expect-enabled 1010 0 \
  check 1013 0 expect-enabled 1008 1 click 1010 wait-owned expect-child-text "Select a Folder" \
  close wait-gone wait "$caption" expect-text 1008 "$SETUP_DEFAULT_DIR" \
  click 1010 wait-owned tree-select-root click 1 wait-gone wait "$caption" \
  expect-text 1008 "$desktop" expect-caption "$caption" set-text 1008 'D:\WORK' \
  expect-text 1008 'D:\WORK' click 1004 wait-gone
setup_wait_exit
expect_eq "B: Quit on page 1: exit code" 1 "$SETUP_EXIT"
nothing_installed B

# --- C: no setup.txt -----------------------------------------------------------------------------
rm "$pkg/setup.txt"
setup_start "$pkg"
expect_gui "C: empty read-me" wait "$caption" expect-text 1001 "" expect-enabled 1005 0 \
  check 1007 1 expect-enabled 1005 1 click 1004 wait-gone
setup_wait_exit
expect_eq "C: Quit on page 0: exit code" 1 "$SETUP_EXIT"

# --- D: Escape and the close command -------------------------------------------------------------
setup_start "$pkg"
expect_gui "D: Escape" wait "$caption" key esc wait-gone
setup_wait_exit
expect_ended "D: Escape"
setup_start "$pkg"
expect_gui "D: close command" wait "$caption" check 1007 1 syscommand 0xF060 wait-gone
setup_wait_exit
expect_ended "D: close command"
nothing_installed "C and D"

# --- E: long read-mes ----------------------------------------------------------------------------
long_readme() {
  awk -v size="$1" 'BEGIN {
    line = "TALVEN read-me line with some words to fill the page 0123456789";
    n = 0;
    while (n + length(line) + 2 <= size) { printf "%s\r\n", line; n += length(line) + 2 }
    while (n < size) { printf "x"; n++ } }'
}
long_readme 99999 >"$pkg/setup.txt"
long_readme 99999 >"$TALVEN_TEST_DIR/expected.txt"
expect_eq "E: read-me size" 99999 "$(stat -c %s "$pkg/setup.txt")"
setup_start "$pkg"
expect_gui "E: 99,999 bytes" wait "$caption" \
  expect-text-file 1001 "$(windows_path "$TALVEN_TEST_DIR/expected.txt")" click 1004 wait-gone
setup_wait_exit
long_readme 150000 >"$pkg/setup.txt"
head -c 99999 "$pkg/setup.txt" >"$TALVEN_TEST_DIR/expected.txt"
setup_start "$pkg"
expect_gui "E: 150,000 bytes, cut" wait "$caption" \
  expect-text-file 1001 "$(windows_path "$TALVEN_TEST_DIR/expected.txt")" check 1007 1 \
  expect-enabled 1005 1 click 1004 wait-gone
setup_wait_exit
expect_eq "E: exit code" 1 "$SETUP_EXIT"

# --- F: program path lengths ---------------------------------------------------------------------
# Z:\ and the Unix path of the folder, then \setup.exe (10 characters).
long_folder() {
  local total=$1 base=$TALVEN_TEST_DIR/long
  local fill=$((total - 2 - ${#base} - 1 - 10))
  printf '%s/%s' "$base" "$(head -c "$fill" /dev/zero | tr '\0' d)"
}
rm "$pkg/setup.txt"
short=$(long_folder 255)
mkdir -p "$short" && cp "$pkg/setup.exe" "$short/"
expect_eq "F: a path of 255 characters" 255 $(( $(windows_path "$short/setup.exe" | wc -c) - 1 ))
setup_start "$short"
expect_gui "F: 255 characters run" wait "$caption" click 1004 wait-gone
setup_wait_exit
expect_eq "F: 255 characters: exit code" 1 "$SETUP_EXIT"
long=$(long_folder 256)
mkdir -p "$long" && cp "$pkg/setup.exe" "$long/"
setup_start "$long"
expect_gui "F: 256 characters refused" wait-msgbox Error \
  expect-text -1 "The TALVEN installer cannot run from a path of 256 characters or more.  Please copy the installation files to a folder with a shorter path and run setup again." \
  expect-alone click 1 wait-gone
setup_wait_exit
expect_eq "F: 256 characters: exit code" 1 "$SETUP_EXIT"
nothing_installed "E and F"

# --- G: planted rich edit libraries -------------------------------------------------------------
rm -f "$pkg/setup.txt"
cwd=$TALVEN_TEST_DIR/cwd
mkdir -p "$cwd" && printf 'Read-me beside a planted DLL\r\n' >"$cwd/setup.txt"
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
expect_gui "G: planted riched32.dll and riched20.dll" wait "$caption" \
  expect-text 1001 -e 'Read-me beside a planted DLL\r\n' click 1004 wait-gone
setup_wait_exit
export WINEDLLOVERRIDES=$saved_overrides
expect_eq "G: exit code" 1 "$SETUP_EXIT"
expect_eq "G: planted DLLs loaded" "" "$(tr -d '\r' <"$marker" 2>/dev/null | paste -sd';')"

finish
