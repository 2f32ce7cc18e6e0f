#!/usr/bin/env bash
# The drivers folder refuses setup's copy, on winxp from Z: (developer files installed).
#
# Windows' read-only attribute of a folder does not keep files from being written into it, and
# the tests run as root, whom no permission bit stops; so the folder that refuses writes (a
# folder whose access list denies the user, on Windows) is made with the Linux immutable flag
# (chattr +i): nothing can be created in it.
#  1. Drivers folder immutable, no driver files in it: the shell copy fails, the copied files do
#     not hold the package's bytes, so the run ends with exactly one failure message (caption
#     "Error", no completion message), exit code 0. Registration still runs: both services are
#     created, but cannot start without their files (STOPPED). The developer files are copied.
#  2. The folder writable again, older driver files (other bytes) in it with the read-only
#     attribute: the shell clears the attribute and overwrites them without asking
#     (FOF_NOCONFIRMATION), so the run completes: "TALVEN Installation Complete!", the package's
#     bytes in the drivers folder, both drivers running.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1

# The immutable flag must be gone before the prefix is removed, whatever way the script ends.
unlock_drivers() { chattr -i "$SETUP_DRIVERS" 2>/dev/null; }
TALVEN_ON_EXIT=unlock_drivers

# --- 1: a drivers folder that refuses new files --------------------------------------------------
if chattr +i "$SETUP_DRIVERS" 2>/dev/null && ! touch "$SETUP_DRIVERS/probe" 2>/dev/null; then
  run_setup "$pkg" 0 "1: folder refuses the copy" "${TO_INSTALL[@]}" "${SETUP_FAILS[@]}"
  expect_driver_files 1 gone sys
  expect_services "1: registered, not started" STOPPED
  expect_ok "1: developer files copied" diff -r "$pkg" "$SETUP_INSTALL_DIR"
  unlock_drivers
else
  unlock_drivers
  rm -f "$SETUP_DRIVERS/probe"
  skip "1: the immutable flag (chattr +i, root on ext4 and the like) is not available here"
fi

# --- 2: read-only older driver files -------------------------------------------------------------
for file in windrvr.sys talvenkp.sys; do
  cp "$TALVEN_TEST_DRIVERS/driver_variant.sys" "$SETUP_DRIVERS/$file" || exit 1
  wine attrib +r "C:\\windows\\system32\\drivers\\$file" >/dev/null 2>&1
done
expect_eq "2: read-only attribute set" AR \
  "$(file_attributes 'C:\windows\system32\drivers\windrvr.sys')"
run_setup "$pkg" 0 "2: read-only files replaced" "${TO_INSTALL[@]}" click $SETUP_IDC_NEXT \
  timeout 60000 fail-on Error wait-msgbox "" expect-text $MSGBOX_TEXT "$TEXT_COMPLETE" \
  expect-alone click $IDOK wait-gone
for file in windrvr.sys talvenkp.sys; do
  expect_same_file "2: $file replaced" "$pkg/system/$file" "$SETUP_DRIVERS/$file"
done
expect_services 2 RUNNING
finish
