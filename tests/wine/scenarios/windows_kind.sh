#!/usr/bin/env bash
# GetWindowsKind and CreateDriverRegistrar under each Windows version Wine can report.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

wine_prefix_new
for version in win95 win98 winme nt40 win2k winxp win2003 vista; do
  wine_set_version "$version"
  wine_test_program "$TALVEN_TEST_TOOLS/windows_kind_test.exe" "$version"
done
finish
