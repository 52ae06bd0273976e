# Per-user files only their user may read.
orv_test_group(foundation_tests security "PrivateUserFiles*")
