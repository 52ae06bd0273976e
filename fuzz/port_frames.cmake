# The message port's frame reader and payload field readers (bytes from other processes).
orv_fuzz_target(port_frames SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/port_frames_fuzz.cpp DEPS platform_kernel)
