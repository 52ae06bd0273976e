# zlib and minizip for the zip reader (the gzip inflater is our own).
find_package(ZLIB REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
target_link_libraries(foundation PRIVATE PkgConfig::MINIZIP ZLIB::ZLIB)
