# The number texts only the stock-page panels use.
orv_test_group(foundation_tests stock-panels "PanelNumberTexts*")
