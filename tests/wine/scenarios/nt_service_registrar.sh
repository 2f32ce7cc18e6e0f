#!/usr/bin/env bash
# CNtServiceRegistrar against Wine's service control manager and registry, version winxp.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

wine_prefix_new winxp
wine_driver_copy "$TALVEN_TEST_DRIVERS/windrvr.sys"
wine_driver_copy "$TALVEN_TEST_DRIVERS/failing_driver.sys"
wine_test_program "$TALVEN_TEST_TOOLS/nt_service_registrar_test.exe"
finish
