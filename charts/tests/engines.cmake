# The minute and K-line chart engines: layout, scales, cursor, zoom and
# every pixel coordinate, as pure arithmetic.
orv_test_group(charts_tests chart-engines "MinuteChart*:MinuteIndicators*:KLineChart*:KLineIndicators*:ChartProperty*")
