#!/usr/bin/env bash
# Bad input to setup (and one to uninstall) on winxp, one prefix, the package on Z: (developer
# files installed). Outcomes the programs chose:
#  A. Install directories too long for the 260-character working copy of the directory walk: one
#     of 1022 characters typed into the edit box, then one of 1500 (the run reads at most 1022):
#     each time only "Could not create install directory" / "Error", the wizard stays on page 1
#     with the typed text and Install enabled, nothing is created; "Quit" ends it (exit code 1).
#  B. Read-mes too big for the 100,000-character buffer: of 100,000 bytes and of 5 MB, the page
#     shows the first 99,999 bytes, the wizard shows within the usual time-out and works on.
#     (99,999 and 150,000 bytes: setup_pages.sh.)
#  C. A package folder so deep that the program path has 300 characters (setup_pages.sh checks
#     255 and 256): the refusal "The TALVEN installer cannot run from a path of 256 characters
#     or more. ..." / "Error" alone, exit code 1, nothing installed.
#  D. A package without system\: the developer files are copied, the driver copy finds no
#     source, so the copied-driver check fails for both files; registration still runs, and
#     creates both services, which cannot start without their files. One failure message,
#     exit code 0; both services registered and STOPPED, no driver files.
#  E. setup.txt that is a folder: the read-me page is empty and the wizard works; the run, into
#     an install directory of its own, completes over D's leftovers ("TALVEN Installation
#     Complete!", exit code 0, both drivers running) and the folder is copied with the developer
#     files.
#  F. uninstall.exe from the 300-character folder of C: it does not use its own path, so it runs
#     as from anywhere else: "TALVEN Removed!", both services and driver files gone.
. "$TALVEN_SOURCE_DIR/tests/wine/setup_lib.sh"
. "$TALVEN_SOURCE_DIR/tests/wine/uninstall_lib.sh"

setup_prefix winxp
caption=$(setup_caption winxp)
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }

nothing_installed() {
  expect_no_path "$1: no install directory" "$WINEPREFIX/drive_c/Program Files/Orbanet"
  expect_no_path "$1: no windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
  expect_no_path "$1: no talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"
  expect_eq "$1: WinDriver" MISSING "$(wine_service_state WinDriver)"
  expect_eq "$1: talvenkp" MISSING "$(wine_service_state talvenkp)"
}

# A Windows path of exactly N characters: C:\deep\ followed by components of ten characters.
long_dir() {
  local n=$1 path='C:\deep'
  while [ ${#path} -lt "$n" ]; do path+='\level-0123'; done
  echo "${path:0:$n}"
}

# --- A: over-long install directories ------------------------------------------------------------
dir1022=$(long_dir 1022)
dir1500=$(long_dir 1500)
setup_start "$pkg"
expect_gui "A: 1022 characters" wait "$caption" check 1007 1 click 1005 wait-text 1005 Install \
  expect-enabled 1008 1 set-text 1008 "$dir1022" click 1005 fail-on "" wait-msgbox Error \
  expect-text -1 "Could not create install directory" click 1 wait-gone absent Error \
  wait "$caption" expect-visible 1008 1 expect-text 1008 "$dir1022" expect-text 1005 Install \
  expect-enabled 1005 1
expect_gui "A: 1500 characters" wait "$caption" set-text 1008 "$dir1500" click 1005 fail-on "" \
  wait-msgbox Error expect-text -1 "Could not create install directory" click 1 wait-gone \
  absent Error wait "$caption" expect-text 1008 "$dir1500" expect-enabled 1005 1 click 1004 \
  wait-gone
setup_wait_exit
expect_eq "A: exit code after Quit" 1 "$SETUP_EXIT"
expect_no_path "A: nothing created" "$WINEPREFIX/drive_c/deep"
nothing_installed A

# --- B: over-long read-mes -----------------------------------------------------------------------
readme_of() {
  awk -v size="$1" 'BEGIN {
    line = "TALVEN read-me, a line of text for the read-me page 0123456789";
    n = 0;
    while (n + length(line) + 2 <= size) { printf "%s\r\n", line; n += length(line) + 2 }
    while (n < size) { printf "x"; n++ } }'
}
for size in 100000 5242880; do
  readme_of $size >"$pkg/setup.txt"
  head -c 99999 "$pkg/setup.txt" >"$TALVEN_TEST_DIR/expected.txt"
  expect_eq "B: read-me size" $size "$(stat -c %s "$pkg/setup.txt")"
  start=$(date +%s%N)
  setup_start "$pkg"
  expect_gui "B: $size bytes" wait "$caption" \
    expect-text-file 1001 "$(windows_path "$TALVEN_TEST_DIR/expected.txt")" check 1007 1 \
    click 1005 wait-text 1005 Install click 1004 wait-gone
  setup_wait_exit
  echo "     read-me of $size bytes: $(( ($(date +%s%N) - start) / 1000000 )) ms from start to exit"
  expect_eq "B: $size bytes: exit code" 1 "$SETUP_EXIT"
done
setup_package "$pkg" || exit 1

# --- C: a package folder deeper than 255 characters ----------------------------------------------
# Z:, the Unix path, then \setup.exe: components of fifty characters up to 300 in all.
deep=$TALVEN_TEST_DIR/deep
while [ $(( 2 + ${#deep} + 10 )) -lt 300 ]; do
  deep+=/$(printf 'package-folder-%035d' 0)
done
deep=${deep:0:$(( 300 - 2 - 10 ))}
mkdir -p "$deep" && cp -r "$pkg"/. "$deep/" || exit 1
expect_eq "C: program path length" 300 $(( $(windows_path "$deep/setup.exe" | wc -c) - 1 ))
setup_start "$deep"
refusal="The TALVEN installer cannot run from a path of 256 characters or more.  Please copy"
refusal+=" the installation files to a folder with a shorter path and run setup again."
expect_gui "C: refused" wait-msgbox Error expect-text -1 "$refusal" expect-alone click 1 wait-gone \
  absent "$caption" 500
setup_wait_exit
expect_eq "C: exit code" 1 "$SETUP_EXIT"
nothing_installed C

# --- D: a package without system\ ----------------------------------------------------------------
nosys=$TALVEN_TEST_DIR/nosys
setup_package "$nosys" || exit 1
rm -rf "$nosys/system"
setup_start "$nosys"
expect_gui "D: no system folder" wait "$caption" check 1007 1 click 1005 wait-text 1005 Install \
  click 1005 timeout 60000 fail-on "" wait-msgbox Error expect-text -1 "$(setup_failure_text)" \
  expect-alone click 1 wait-gone absent Error 1000 absent "" 500
setup_wait_exit
expect_eq "D: exit code" 0 "$SETUP_EXIT"
expect_no_path "D: no windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
expect_no_path "D: no talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"
for service in WinDriver talvenkp; do
  expect_eq "D: $service registered, not started" STOPPED "$(wine_service_state $service)"
done
expect_ok "D: developer files copied" diff -r "$nosys" "$SETUP_INSTALL_DIR"

# --- E: setup.txt is a folder --------------------------------------------------------------------
rm -f "$pkg/setup.txt"
mkdir -p "$pkg/setup.txt" && echo "not the read-me" >"$pkg/setup.txt/inside.txt"
setup_start "$pkg"
expect_gui "E: read-me folder" wait "$caption" expect-text 1001 "" expect-enabled 1005 0 \
  check 1007 1 expect-enabled 1005 1 click 1005 wait-text 1005 Install \
  set-text 1008 'C:\TALVEN-E' click 1005 timeout 60000 fail-on Error wait-msgbox "" \
  expect-text -1 "TALVEN Installation Complete!" expect-alone click 1 wait-gone
setup_wait_exit
expect_eq "E: exit code" 0 "$SETUP_EXIT"
for service in WinDriver talvenkp; do
  expect_eq "E: $service" RUNNING "$(wine_service_state $service)"
done
expect_ok "E: the folder copied with the developer files" \
  diff -r "$pkg" "$WINEPREFIX/drive_c/TALVEN-E"

# --- F: uninstall.exe from the deep folder -------------------------------------------------------
uninstall_start "$deep"
expect_ok "F: uninstall from 300 characters" gui fail-on Error wait "$UNINSTALL_TITLE" click 1 \
  wait-msgbox Notice 20000 expect-text -1 "TALVEN Removed!" expect-alone click 1 wait-gone
expect_eq "F: exit status" 0 "$(uninstall_exit_code)"
for service in WinDriver talvenkp; do
  expect_eq "F: $service" MISSING "$(wine_service_state $service)"
done
expect_no_path "F: windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"
expect_no_path "F: talvenkp.sys" "$SETUP_DRIVERS/talvenkp.sys"
finish
