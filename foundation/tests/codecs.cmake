# Gzip inflater, Blowfish, RSA and the zip reader. zlib (deflate for round
# trips) and OpenSSL (cross-checks of the ciphers) serve the tests only.
if(TARGET foundation_tests)
  find_package(ZLIB REQUIRED)
  find_package(OpenSSL REQUIRED)
  target_link_libraries(foundation_tests PRIVATE ZLIB::ZLIB OpenSSL::Crypto)
  orv_test_group(foundation_tests codecs "GzipInflate*:Blowfish*:Rsa*:ZipReader*")
endif()
