# Ciphers of the fall-back sign-in, and every HTTP service with its scenario
# switches, checked over loopback.
orv_test_group(simbroker_http_tests simbroker-http "SimCrypto*:SimHttp*:SimContent*" TIMEOUT 600)

# The seed test reads the dictionary database the build makes (res/pellune.db
# of the build tree, target pellune_db); nothing in the sources holds one.
if(TARGET pellune_db)
  add_dependencies(simbroker_http_tests pellune_db)
endif()
