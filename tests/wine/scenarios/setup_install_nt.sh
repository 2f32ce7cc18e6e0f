#!/usr/bin/env bash
# Full installations on an NT-family version (argument: winxp, win2k or nt40), in one prefix:
#  1. the package from Z: (developer files installed), the completion message with an empty
#     caption;
#  2. the same package again over the running drivers: the same outcome, each driver loaded again
#     at least 1 s after its unload (the pause between Remove and Install; the test drivers
#     record when they start and unload);
#  3. other driver bytes while the old drivers run: Wine refuses to overwrite a loaded driver's
#     file, so the run ends with the failure message and the old driver files stay, but not
#     their registrations: no restart starts a file that is not the package's;
#  4. the same update again, the old drivers stopped: the completion message, the new bytes run.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

version=${1:?version}
gui_prefix "$version"
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1

# Page 0, page 1 with its defaults, Install; then the outcome box. Arguments: the expected
# outcome's caption and text, and guictl commands to run while the installation runs.
install_through_wizard() {
  local failOn=Error outcome=$1 text=$2
  [ "$1" = Error ] && failOn=none
  shift 2
  run_setup "$pkg" 0 "wizard to Install" "${TO_INSTALL[@]}" \
    expect-text $SETUP_IDC_INSTALL_DIR "$SETUP_DEFAULT_DIR" \
    expect-checked $SETUP_IDC_DEVELOPER_FILES_CHECK 0 click $SETUP_IDC_NEXT timeout 60000 \
    fail-on $failOn "$@" wait-msgbox "$outcome" expect-text $MSGBOX_TEXT "$text" absent "$CAPTION" \
    click $IDOK wait-gone absent "$outcome" 500
}

check_drivers_running() {
  local service
  for service in WinDriver talvenkp; do
    expect_eq "$1: $service state" RUNNING "$(wine_service_state $service)"
    expect_eq "$1: $service start type" "REG_DWORD 0x2" \
      "$(reg_value "HKLM\\System\\CurrentControlSet\\Services\\$service" Start)"
  done
}

# The time a test driver recorded (tests/drivers/good_driver.c) for EVENT, in 100 ns units.
driver_time() {  # NAME EVENT
  local le
  le=$(wine reg query 'HKLM\Software\TalvenTest' /v "$1 $2" 2>/dev/null | tr -d '\r' |
       sed -n 's/.*REG_BINARY *\([0-9A-Fa-f]\{16\}\).*/\1/p')
  [ -n "$le" ] && printf '%d\n' "0x$(echo "$le" | sed 's/../&\n/g' | tac | tr -d '\n')"
}
expect_ok "the drivers may record their times" wine reg add 'HKLM\Software\TalvenTest' /f

start=$(date +%s)
# While it runs: the wizard hidden, the status window on the registration step.
install_through_wizard "" "$TEXT_COMPLETE" \
  wait-control $SETUP_IDC_STATUS_TEXT \
  wait-text $SETUP_IDC_STATUS_TEXT "Registering system files..." absent "$CAPTION"
for file in windrvr.sys talvenkp.sys; do
  expect_same_file "first run: $file in the drivers folder" "$pkg/system/$file" \
    "$SETUP_DRIVERS/$file"
done
expect_ok "first run: developer files, system folder included, in the install directory" \
  diff -r "$pkg" "$SETUP_INSTALL_DIR"
check_drivers_running "first run"
echo "     first installation: $(( $(date +%s) - start )) s"

install_through_wizard "" "$TEXT_COMPLETE"
check_drivers_running "second run"
for name in windrvr talvenkp; do
  unloaded=$(driver_time $name unloaded) loaded=$(driver_time $name loaded)
  echo "     second run: $name unloaded at ${unloaded:-?}, loaded at ${loaded:-?}"
  expect_ok "second run: $name loaded again at least 1 s after its unload" \
    test $(( ${loaded:-0} - ${unloaded:-0} )) -ge 10000000 -a "${unloaded:-0}" -gt 0
done

# The update: other driver bytes while the old drivers are loaded.
update=$TALVEN_TEST_DIR/update
setup_package "$update" "$TALVEN_TEST_DRIVERS/driver_variant.sys" || exit 1
pkg=$update
install_through_wizard "Error" "$TEXT_FAILURE"
for file in windrvr.sys talvenkp.sys; do
  expect_same_file "update: the loaded $file kept" "$TALVEN_TEST_DRIVERS/$file" \
    "$SETUP_DRIVERS/$file"
done
expect_services "update: the old drivers unregistered" MISSING
install_through_wizard "" "$TEXT_COMPLETE"
for file in windrvr.sys talvenkp.sys; do
  expect_same_file "update again: $file" "$pkg/system/$file" "$SETUP_DRIVERS/$file"
done
check_drivers_running "update again"

finish
