# Windows between processes: a cross-process send and a stream of posts,
# each beside a raw Unix-domain socket doing the same work.
orv_benchmark(ipc SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ipc_bench.cpp DEPS platform)
