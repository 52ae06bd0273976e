# The component model loads in-process servers with dlopen.
target_link_libraries(platform_kernel PUBLIC ${CMAKE_DL_LIBS})
