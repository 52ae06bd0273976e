# The grid control: data model, painting, input and its threads, on the
# test desktop (Qt, the fixture pictures and the generated skins come with
# resources.cmake).
orv_test_group(controls_tests grid "Grid*")
