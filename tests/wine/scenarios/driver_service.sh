#!/usr/bin/env bash
# The test drivers under Wine's service control manager (winxp): the clean driver installs,
# starts, reports RUNNING, stops, reports STOPPED and is deleted; the failing driver's start is
# refused and leaves it STOPPED; the VxD loader stand-in starts and stops.
. "$TALVEN_SOURCE_DIR/tests/wine/lib.sh"

wine_prefix_new winxp

for driver in windrvr talvenkp; do
  wine_driver_install "t$driver" "$TALVEN_TEST_DRIVERS/$driver.sys"
  expect_eq "t$driver created" STOPPED "$(wine_service_state "t$driver")"
  expect_ok "t$driver start" wine_svc start "t$driver"
  expect_eq "t$driver after start" RUNNING "$(wine_service_state "t$driver")"
  expect_fail "t$driver second start" wine_svc start "t$driver"
  expect_ok "t$driver stop" wine_svc stop "t$driver"
  expect_eq "t$driver after stop" STOPPED "$(wine_service_state "t$driver")"
  expect_ok "t$driver delete" wine_svc delete "t$driver"
  expect_eq "t$driver after delete" MISSING "$(wine_service_state "t$driver")"
done

wine_driver_install tfailing "$TALVEN_TEST_DRIVERS/failing_driver.sys"
expect_fail "tfailing start" wine_svc start tfailing
expect_eq "tfailing after start" STOPPED "$(wine_service_state tfailing)"

wine_driver_install tvxdldr "$TALVEN_TEST_DRIVERS/vxdldr_fake.sys"
expect_ok "tvxdldr start" wine_svc start tvxdldr
expect_eq "tvxdldr after start" RUNNING "$(wine_service_state tvxdldr)"
expect_ok "tvxdldr stop" wine_svc stop tvxdldr
expect_eq "tvxdldr after stop" STOPPED "$(wine_service_state tvxdldr)"

finish
