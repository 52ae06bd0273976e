# The component model loads in-process servers with dlopen.
target_link_libraries(platform_kernel PUBLIC ${CMAKE_DL_LIBS})
# The kernel is linked into in-process servers, which must really unload when
# the last user lets go; unique symbols would pin them in memory.
target_compile_options(platform_kernel PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
