#!/usr/bin/env bash
# CVxdRegistrar end to end: the test VxD loader driver runs as a kernel service (Wine runs it
# whatever version it reports), the test program alone sees Windows 98 (AppDefaults).
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

wine_prefix_new winxp
wine_set_version win98 vxd_registrar_test.exe
wine_driver_install tvxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
expect_ok "loader start" wine_svc start tvxdldr
wine_test_program "$TALVEN_TEST_TOOLS/vxd_registrar_test.exe" loader
expect_ok "loader stop" wine_svc stop tvxdldr
expect_eq "loader state" STOPPED "$(wine_service_state tvxdldr)"
wine_test_program "$TALVEN_TEST_TOOLS/vxd_registrar_test.exe" noloader
finish
