# The minute chart painters: pixel probes on offscreen pictures.
orv_test_group(charts_tests minute-paint "MinuteChartPaint.*")
