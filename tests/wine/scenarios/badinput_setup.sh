#!/usr/bin/env bash
# Bad input to setup (and one to uninstall) on winxp, one prefix, the package on Z: (developer
# files installed). Outcomes the programs chose:
#  A. Install directories too long for the 260-character working copy of the directory walk
#     (1022 characters, then 1500: the run reads at most 1022): "Could not create install
#     directory" alone each time, the wizard stays on page 1, nothing is created.
#  B. Read-mes too big for the 100,000-character buffer (100,000 bytes and 5 MB) in the folder
#     setup is started from: the page shows the first 99,999 bytes, within the usual time-out.
#     (99,999 and 150,000: setup_pages.sh.)
#  C. A program path of 300 characters (249, 250 and 256: setup_pages.sh): the refusal alone.
#  D. Damaged packages on a clean machine: a driver byte changed, a developer file cut short,
#     uninstall.exe missing, a driver more in system\. Each is refused before anything is touched:
#     the message names the file (exit code 5), the wizard never shows, nothing is installed.
#  E. The untouched package, started from a folder whose setup.txt is a folder (an empty read-me
#     page), installs; over that installation D's packages are refused again, and the drivers
#     still run from the package's bytes, the install directory as it was.
#  F. uninstall.exe from C's folder: it does not use its own path, so it runs as from anywhere.
# Two parts, each in a prefix of its own: badinput_setup.sh ab (A and B) | cdef (C to F).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

part=${1:?ab or cdef}
gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1

# A Windows path of exactly N characters: C:\deep\ followed by components of ten characters.
long_dir() {
  local n=$1 path='C:\deep'
  while [ ${#path} -lt "$n" ]; do path+='\level-0123'; done
  echo "${path:0:$n}"
}

if [ "$part" = ab ]; then
  # --- A: over-long install directories -----------------------------------------------------------
  dir1022=$(long_dir 1022)
  dir1500=$(long_dir 1500)
  setup_start "$pkg"
  expect_gui "A: 1022 characters" "${TO_INSTALL[@]}" expect-enabled $SETUP_IDC_INSTALL_DIR 1 \
    set-text $SETUP_IDC_INSTALL_DIR "$dir1022" click $SETUP_IDC_NEXT fail-on "" wait-msgbox Error \
    expect-text $MSGBOX_TEXT "$TEXT_NO_DIRECTORY" click $IDOK wait-gone absent Error \
    wait "$CAPTION" expect-visible $SETUP_IDC_INSTALL_DIR 1 \
    expect-text $SETUP_IDC_INSTALL_DIR "$dir1022" expect-text $SETUP_IDC_NEXT Install \
    expect-enabled $SETUP_IDC_NEXT 1
  run_gui 1 "A: 1500 characters, Quit" wait "$CAPTION" set-text $SETUP_IDC_INSTALL_DIR "$dir1500" \
    click $SETUP_IDC_NEXT fail-on "" wait-msgbox Error \
    expect-text $MSGBOX_TEXT "$TEXT_NO_DIRECTORY" click $IDOK wait-gone absent Error \
    wait "$CAPTION" expect-text $SETUP_IDC_INSTALL_DIR "$dir1500" \
    expect-enabled $SETUP_IDC_NEXT 1 click $SETUP_IDC_QUIT wait-gone
  expect_no_path "A: nothing created" "$WINEPREFIX/drive_c/deep"
  nothing_installed A

  # --- B: over-long read-mes ----------------------------------------------------------------------
  cwd=$TALVEN_TEST_DIR/cwd
  rm -rf "$cwd" && mkdir -p "$cwd"
  for size in 100000 5242880; do
    readme_of $size >"$cwd/setup.txt"
    head -c 99999 "$cwd/setup.txt" >"$TALVEN_TEST_DIR/expected.txt"
    expect_eq "B: read-me size" $size "$(stat -c %s "$cwd/setup.txt")"
    start=$(date +%s%N)
    setup_start "$cwd" "$pkg/setup.exe"
    run_gui 1 "B: $size bytes" wait "$CAPTION" \
      expect-text-file $SETUP_IDC_README_TEXT "$(windows_path "$TALVEN_TEST_DIR/expected.txt")" \
      check $SETUP_IDC_README_CHECK 1 click $SETUP_IDC_NEXT wait-text $SETUP_IDC_NEXT Install \
      click $SETUP_IDC_QUIT wait-gone
    echo "     read-me of $size bytes:" \
      "$(( ($(date +%s%N) - start) / 1000000 )) ms from start to exit"
  done
  finish
fi

# --- C: a package folder deeper than 255 characters ----------------------------------------------
# Z:, the Unix path, then \setup.exe: components of fifty characters up to 300 in all.
deep=$TALVEN_TEST_DIR/deep
while [ $(( 2 + ${#deep} + 10 )) -lt 300 ]; do
  deep+=/$(printf 'package-folder-%035d' 0)
done
deep=${deep:0:$(( 300 - 2 - 10 ))}
mkdir -p "$deep" && cp -r "$pkg"/. "$deep/" || exit 1
expect_eq "C: program path length" 300 $(( $(windows_path "$deep/setup.exe" | wc -c) - 1 ))
run_setup "$deep" 1 "C: refused" wait-msgbox Error expect-text $MSGBOX_TEXT "$TEXT_PATH_TOO_LONG" \
  expect-alone click $IDOK wait-gone absent "$CAPTION" 500
nothing_installed C

# --- D: damaged packages on a clean machine -----------------------------------------------------
# Each damage: its name, the file the message names, what it says of it.
DAMAGES=("driver|system\windrvr.sys|has been changed" "cut|doc\readme.txt|has been changed"
         "missing|uninstall.exe|is missing" "extra|system\evil.sys|does not belong to it")
damaged=$TALVEN_TEST_DIR/damaged

# A copy of the package in $damaged with the damage NAME.
damage() {  # NAME
  rm -rf "$damaged" && cp -r "$pkg" "$damaged" || return 1
  case $1 in
    driver) python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[100] ^= 1
open(sys.argv[1], "wb").write(d)' "$damaged/system/windrvr.sys" ;;
    cut) truncate -s -1 "$damaged/doc/readme.txt" ;;
    missing) rm "$damaged/uninstall.exe" ;;
    extra) cp "$TALVEN_TEST_DRIVERS/windrvr.sys" "$damaged/system/evil.sys" ;;
  esac
}

damaged_refused() {  # DESC
  local row name file what
  for row in "${DAMAGES[@]}"; do
    IFS='|' read -r name file what <<<"$row"
    damage "$name" || exit 1
    run_setup "$damaged" 5 "$1: $name" wait-msgbox Error \
      expect-text $MSGBOX_TEXT "$(printf "$TEXT_DAMAGED" "$file" "$what")" expect-alone \
      click $IDOK wait-gone absent "$CAPTION" 500
  done
}

damaged_refused D
nothing_installed D

# --- E: the untouched package, then the damaged ones over its installation ------------------------
cwd=$TALVEN_TEST_DIR/cwd
rm -rf "$cwd" && mkdir -p "$cwd/setup.txt" && echo "not the read-me" >"$cwd/setup.txt/inside.txt"
setup_start "$cwd" "$pkg/setup.exe"
run_gui 0 "E: installs, with a read-me folder" wait "$CAPTION" \
  expect-text $SETUP_IDC_README_TEXT "" expect-enabled $SETUP_IDC_NEXT 0 \
  check $SETUP_IDC_README_CHECK 1 expect-enabled $SETUP_IDC_NEXT 1 click $SETUP_IDC_NEXT \
  wait-text $SETUP_IDC_NEXT Install set-text $SETUP_IDC_INSTALL_DIR 'C:\TALVEN-E' \
  click $SETUP_IDC_NEXT timeout 60000 fail-on Error wait-msgbox "" \
  expect-text $MSGBOX_TEXT "$TEXT_COMPLETE" expect-alone click $IDOK wait-gone
damaged_refused "E: over the installation"
expect_services E RUNNING
for name in windrvr talvenkp; do
  expect_same_file "E: $name.sys" "$pkg/system/$name.sys" "$SETUP_DRIVERS/$name.sys"
done
expect_ok "E: the install directory as the package" diff -r "$pkg" "$WINEPREFIX/drive_c/TALVEN-E"

# --- F: uninstall.exe from the deep folder -------------------------------------------------------
run_uninstall "$deep" 0 "F: uninstall from 300 characters" fail-on Error \
  wait "$UNINSTALL_TITLE" click $IDOK wait-msgbox Notice 20000 \
  expect-text $MSGBOX_TEXT "$TEXT_REMOVED" expect-alone click $IDOK wait-gone
expect_services F MISSING
expect_driver_files F gone sys
finish
