# K-line, level-2 and minute indicators, the overlays and the indicator
# parameter file (golden files made by tools/indicator_golden.py).
orv_test_group(marketdata_tests indicators "*/IndicatorGolden.*:*/MinuteIndicatorGolden.*:KLineIndicators*:Level2Indicators*:ChartOverlays*:MinuteIndicators*:IndicatorParams*")
