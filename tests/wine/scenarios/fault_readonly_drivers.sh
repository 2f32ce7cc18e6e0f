#!/usr/bin/env bash
# The drivers folder refuses setup's copy, on winxp from Z: (developer files installed). A
# folder's read-only attribute does not keep files out, and the tests run as root, whom no
# permission bit stops; so the folder that refuses writes (on Windows, one whose access list
# denies the user) is made with the Linux immutable flag (chattr +i).
#  1. The copy fails, the driver folder does not hold the package's bytes: the failure message
#     alone. A driver without its bytes is not registered: no service; the developer files
#     copied.
#  2. Older read-only driver files in the folder, writable again: the shell clears the attribute
#     and overwrites them without asking (FOF_NOCONFIRMATION): the run completes, both drivers
#     running from the package's bytes.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1

# The immutable flag must be gone before the prefix is removed, whatever way the script ends.
unlock_drivers() { chattr -i "$SETUP_DRIVERS" 2>/dev/null; }
# shellcheck disable=SC2034  # read by lib.sh
TALVEN_ON_EXIT=unlock_drivers

# --- 1: a drivers folder that refuses new files --------------------------------------------------
if chattr +i "$SETUP_DRIVERS" 2>/dev/null && ! touch "$SETUP_DRIVERS/probe" 2>/dev/null; then
  run_setup "$pkg" 0 "1: folder refuses the copy" "${TO_INSTALL[@]}" "${SETUP_FAILS[@]}"
  expect_driver_files 1 gone sys
  expect_services "1: not registered" MISSING
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
