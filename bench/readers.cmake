# JSON reader against RapidJSON's DOM parse on the same bytes, and the XML
# reader on a server-list reply.
orv_benchmark(readers SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/readers_bench.cpp DEPS foundation)
