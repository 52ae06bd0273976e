# Ciphers of the fall-back sign-in, and every HTTP service with its scenario
# switches, checked over loopback.
orv_test_group(simbroker_http_tests simbroker-http "SimCrypto*:SimHttp*:SimContent*" TIMEOUT 600)
