# Our gzip inflater against zlib's inflate, and our Blowfish against
# OpenSSL's, on the same inputs in the same run.
find_package(ZLIB REQUIRED)
find_package(OpenSSL REQUIRED)
orv_benchmark(inflate
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/inflate_bench.cpp
  DEPS foundation ZLIB::ZLIB OpenSSL::Crypto)
