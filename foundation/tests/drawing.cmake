orv_test_group(foundation_tests drawing "UiFonts*:DrawHelpers*")
