// The ProxySetting text as the connections and requests read it.
//
// Format "%s|%s|%s|%s|%s|": type, address, port, user name, password. Type
// -1 (or an empty text) means a direct connection; 0 SOCKS4, 1 SOCKS5,
// 2 HTTP CONNECT; any other number is kept as given and makes the
// connection fail like a refused handshake.
#pragma once

enum ProxyType {
  kProxyNone = -1,
  kProxySocks4 = 0,
  kProxySocks5 = 1,
  kProxyHttpConnect = 2,
};

struct ProxyFields {
  int type = kProxyNone;  // ProxyType, or an unknown number from the text
  char address[256] = {};  // at most 255 bytes, zero-terminated
  int port = 0;
  char user[256] = {};      // empty: no user name
  char password[256] = {};  // empty: no password
};

// Parses text into *out. A null or empty text gives a direct connection.
// The caller's text is never modified (a private copy is cut at '|');
// missing fields read as empty texts and 0; numbers are read like atoi;
// each text is truncated to 255 bytes. Always fills *out.
void ParseProxySetting(const char* text, ProxyFields* out);
