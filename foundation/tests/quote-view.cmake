# Number texts shared by the market windows.
orv_test_group(foundation_tests quote-view "DisplayFormats*")
