#!/usr/bin/env bash
# The install directory on winxp:
#  1. from Z:, a path too long for the directory walk (300 characters), one with a file in the
#     way (C:\blocked\TALVEN), that file itself (C:\blocked): each time "Could not create install
#     directory" alone, the wizard stays on page 1, nothing created, copied or registered; then a
#     corrected path with two missing levels (C:\Tools\TALVEN) takes the developer files.
#  2. from C:\dist, where the developer-files box starts ticked: no install directory; the
#     drivers are still copied and running.
#  A failed developer copy (the failure message) is not shown here: Wine's shell reports every
#  copy as done, whatever failed; its only refusal, a file where the install directory should be,
#  no longer reaches the copy (part 1).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

gui_prefix winxp
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
drive_c=$WINEPREFIX/drive_c
echo "a file where a directory should be" >"$drive_c/blocked"

too_long="C:\\Tools\\$(head -c 291 /dev/zero | tr '\0' l)"
expect_eq "1: the long path's length" 300 ${#too_long}
# Install refused: "Could not create install directory", then page 1 again with Install enabled.
refused=(click "$SETUP_IDC_NEXT" wait-msgbox Error expect-text "$MSGBOX_TEXT" "$TEXT_NO_DIRECTORY"
         click "$IDOK" wait-gone wait "$CAPTION" expect-text "$SETUP_IDC_NEXT" Install
         expect-enabled "$SETUP_IDC_NEXT" 1)
setup_start "$pkg"
expect_gui "1: path too long" "${TO_INSTALL[@]}" set-text $SETUP_IDC_INSTALL_DIR "$too_long" \
  "${refused[@]}" expect-text $SETUP_IDC_INSTALL_DIR "$too_long"
expect_no_path "1: nothing created for the long path" "$drive_c/Tools"
expect_gui "1: blocked path" wait "$CAPTION" set-text $SETUP_IDC_INSTALL_DIR 'C:\blocked\TALVEN' \
  "${refused[@]}" expect-visible $SETUP_IDC_INSTALL_DIR 1 \
  expect-text $SETUP_IDC_INSTALL_DIR 'C:\blocked\TALVEN' \
  set-text $SETUP_IDC_INSTALL_DIR 'C:\blocked' "${refused[@]}" \
  expect-text $SETUP_IDC_INSTALL_DIR 'C:\blocked'
expect_eq "1: the file in the way untouched" "a file where a directory should be" \
  "$(cat "$drive_c/blocked")"
expect_no_path "1: no driver copied" "$SETUP_DRIVERS/windrvr.sys"
expect_eq "1: no service" MISSING "$(wine_service_state WinDriver)"
run_gui 0 "1: corrected path" wait "$CAPTION" \
  set-text $SETUP_IDC_INSTALL_DIR 'C:\Tools\TALVEN' "${SETUP_COMPLETES[@]}"
expect_ok "1: developer files in the corrected directory" diff -r "$pkg" "$drive_c/Tools/TALVEN"
expect_no_path "1: nothing in the default directory" "$drive_c/Program Files/Orbanet"
expect_services 1 RUNNING

# 2: from C:, developer files not installed.
cpkg=$drive_c/dist
setup_package "$cpkg" || exit 1
run_setup "$cpkg" 0 "2: from C:" "${TO_INSTALL[@]}" \
  expect-checked $SETUP_IDC_DEVELOPER_FILES_CHECK 1 "${SETUP_COMPLETES[@]}"
expect_no_path "2: default install directory not created" "$drive_c/Program Files/Orbanet"
for file in windrvr.sys talvenkp.sys; do
  expect_same_file "2: $file in the drivers folder" "$cpkg/system/$file" "$SETUP_DRIVERS/$file"
done
expect_services 2 RUNNING
finish
