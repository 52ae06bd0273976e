# The account plug-in libQuorath.so (plugin/), its fake host (testhost/)
# and their tests.
add_subdirectory(plugin)
add_subdirectory(testhost)
