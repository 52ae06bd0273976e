# Day-bar files under kills and damage.
orv_test_group(marketdata_tests security "CrashSafeDayStore*:DamagedDayStore*" TIMEOUT 300)
