# The framework libraries of the plug-in: collections and utilities, string
# resources and their cache, the lite XML document and the XML profile. The
# tests load a resource module built here.
if(TARGET addin_tests)
  add_library(addin_test_strings MODULE ${CMAKE_CURRENT_SOURCE_DIR}/modules/string_module.cpp)
  target_include_directories(addin_test_strings PRIVATE ${CMAKE_SOURCE_DIR})
  add_dependencies(addin_tests addin_test_strings)
  target_compile_definitions(addin_tests PRIVATE ORV_TEST_STRING_MODULE="$<TARGET_FILE:addin_test_strings>")
  orv_test_group(addin_tests addin-libs
    "FrameworkUtils*:PlexBlock*:PtrNodeList*:FixedItemPool*:StringResources*:ResStringCache*:LiteXml*:XmlProfile*")
endif()
