#!/usr/bin/env bash
# Both programs on a Windows they do not support, each with its refusal alone, its exit status,
# nothing installed or removed:
#   setup.exe on a version it does not know (Windows Vista, kind 0);
#   setup.exe and uninstall.exe on 64-bit Windows XP (a 64-bit prefix at winxp64: version 5.2 as
#   32-bit Windows Server 2003, but under WOW64, where System32 is the redirected SysWOW64). Skipped
#   (exit 77) when this machine's Wine cannot make a 64-bit prefix.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

TEXT_SETUP_UNSUPPORTED="This TALVEN installer does not support the version of Windows you are running."

# setup.exe from the package: the refusal alone, then the end, nothing installed.
setup_refused() {  # DESC
  setup_start "$pkg"
  expect_gui "$1: refusal" wait-msgbox Error expect-text $MSGBOX_TEXT "$TEXT_SETUP_UNSUPPORTED" \
    expect-alone expect-visible $IDOK 1 click $IDOK wait-gone
  expect_exit "$1: after the refusal: exit code" 1
  expect_services "$1: after the refusal" MISSING
  expect_no_path "$1: no install directory" "$SETUP_INSTALL_DIR"
}

gui_prefix winxp vista
pkg=$TALVEN_TEST_DIR/pkg
setup_package "$pkg" || exit 1
setup_refused "vista"
expect_no_path "vista: no windrvr.sys" "$SETUP_DRIVERS/windrvr.sys"

if wine_template64; then
  # shellcheck disable=SC2034  # read by lib.sh
  TALVEN_WINE_ARCH=win64
  gui_prefix winxp64
  setup_package "$pkg" || exit 1
  # Proof that the refusals come from WOW64: a 32-bit process sees 5.2, which alone is Windows XP.
  wine_test_program "$TALVEN_TEST_TOOLS/windows_kind_test.exe" winxp64
  setup_refused "winxp64"
  for dir in system32 syswow64; do
    expect_no_path "winxp64: no windrvr.sys in $dir" \
      "$WINEPREFIX/drive_c/windows/$dir/drivers/windrvr.sys"
  done
  # Driver files where a 32-bit uninstall.exe finds them: its installed check would pass.
  mkdir -p "$WINEPREFIX/drive_c/windows/syswow64/drivers"
  for name in windrvr talvenkp; do
    cp "$TALVEN_TEST_DRIVERS/$name.sys" "$WINEPREFIX/drive_c/windows/syswow64/drivers/"
  done
  run_uninstall "" 1 "winxp64: uninstall refused" wait-msgbox Error \
    expect-text $MSGBOX_TEXT "$TEXT_UNSUPPORTED" expect-alone click $IDOK wait-gone
  for name in windrvr talvenkp; do
    expect_eq "winxp64: $name.sys kept" present \
      "$(file_state "$WINEPREFIX/drive_c/windows/syswow64/drivers/$name.sys")"
  done
else
  skip "this machine's Wine cannot make a 64-bit prefix"
fi
finish
