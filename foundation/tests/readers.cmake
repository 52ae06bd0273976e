# XML and JSON readers, configuration store, server directory, board
# configuration and per-user folders.
orv_test_group(foundation_tests readers "Xml*:Json*:ConfigStore*:ServerDirectory*:Board*:UserFolders*")
