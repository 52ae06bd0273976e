# Framed transport, proxy handshakes and Base64 (label transport); the two
# HTTP request paths (label http).
orv_test_group(foundation_tests transport "Base64*:ProxySetting*:ProxyHandshake*:FrameTransport*:RealProxy*" TIMEOUT 600)
orv_test_group(foundation_tests http "HttpRequest*:HttpReply*:SystemHttp*" TIMEOUT 600)
