// Everything that passes between the main program and a browser-program
// process: the command line, the thread messages to the browser's main
// thread, the messages it posts back, the WM_COPYDATA records of both
// directions, the proxy hand-over and the key codes. The browser helper of
// the shell (sending side) and the Brisel program (receiving side) both
// hold to this file; it pulls in no web engine.
//
// Handshake: the helper starts the process with BuildBriselArgs (the proxy
// text, when set, in the environment variable BRISEL_PROXY so that no other
// user can read it from the command line), waits up to 500 ms, and when the
// child still runs posts BRISEL_MSG_ATTACH (slot window, helper window) to
// its main thread. The browser puts its view into the slot, loads the start
// address and posts BRISEL_MSG_VIEW_READY (view window) once; from then on
// the helper sends its records to the view window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

// Thread messages to the browser's main thread (no target window).
constexpr UINT BRISEL_MSG_NAVIGATE_START = 0x502;
constexpr UINT BRISEL_MSG_BACK_TO_FIRST = 0x503;
constexpr UINT BRISEL_MSG_GO_BACK = 0x504;
constexpr UINT BRISEL_MSG_GO_FORWARD = 0x505;
constexpr UINT BRISEL_MSG_MOVE_TO_START_RECT = 0x506;
constexpr UINT BRISEL_MSG_SHOW = 0x507;           // wParam the show command
constexpr UINT BRISEL_MSG_FOCUS = 0x508;
constexpr UINT BRISEL_MSG_SET_HOST_FLAG = 0x509;  // wParam the flag (0: no border, no scroll bars)
constexpr UINT BRISEL_MSG_REPAINT = 0x50A;
constexpr UINT BRISEL_MSG_QUIT = 0x50B;
constexpr UINT BRISEL_MSG_ATTACH = 0x50E;  // wParam the slot (host) window, lParam the helper window

// Posted by the browser to the helper window.
constexpr UINT BRISEL_MSG_VIEW_READY = 0x501;  // wParam the view window, once
constexpr UINT BRISEL_MSG_KEY = 0x50D;         // lParam the plain key code (no page loaded)
constexpr UINT BRISEL_MSG_CLOSED = 2000;       // lParam 1: the page's renderer ended; 0: the page closed itself

// WM_COPYDATA record types (dwData). Texts carry no terminating zero.
constexpr std::uintptr_t BRISEL_COPY_COOKIES = 0;      // to the browser: UTF-16 "name=value|..."
constexpr std::uintptr_t BRISEL_COPY_NAVIGATE = 1;     // to the browser: UTF-16 address
constexpr std::uintptr_t BRISEL_COPY_WEB_COMMAND = 2;  // to the main program: UTF-8 "goto::" address
constexpr std::uintptr_t BRISEL_COPY_ACCESS_TOKEN = 3; // to the main program: UTF-16 address
constexpr std::uintptr_t BRISEL_COPY_NEW_WINDOW = 4;   // to the main program: UTF-16 address
constexpr std::uintptr_t BRISEL_COPY_CALL_SCRIPT = 5;  // to the browser: UTF-16 function name; result 1/0
constexpr std::uintptr_t BRISEL_COPY_MOVE = 6;         // to the browser: int32 left, top, right, bottom
constexpr std::uintptr_t BRISEL_COPY_NEWS_HTML = 7;    // to the browser: UTF-16 HTML for element "news"
constexpr std::uintptr_t BRISEL_COPY_KEY = 8;          // to the main program: UTF-16 decimal key code

// The program file in the program folder, and the environment variables it
// reads.
constexpr const char* kBriselProgram = "Brisel";
constexpr const char* kBriselProxyVariable = "BRISEL_PROXY";
constexpr const char* kBriselNoSandboxVariable = "BRISEL_NO_SANDBOX";
constexpr const char* kBriselSnapshotVariable = "BRISEL_SNAPSHOT";
constexpr const char* kBriselTokenHostVariable = "BRISEL_TOKEN_HOST";
// The host of the sign-in vendor's token return addresses.
constexpr const char* kBriselTokenHost = "m.pellune-oauth.cn";

// A rectangle in the host's client coordinates.
struct BriselRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The arguments after the program name: "NULL", the address (one argument
// whatever it holds), right, bottom, left, top.
std::vector<std::string> BuildBriselArgs(const std::string& address, const BriselRect& rect);

// What the browser reads from its arguments (argv[1] onwards).
struct BriselArgs {
  bool ok = false;  // false: fewer than six arguments, nothing read
  std::string address;
  BriselRect rect;
};
BriselArgs ParseBriselArgs(const std::vector<std::string>& args);

// A decimal number read like the C library's wide text-to-integer
// conversion: blanks, a sign and leading digits; anything else gives 0.
int ReadLeadingInt(const std::string& text);

// The proxy text "type|address|port|user|password|" as the browser uses it.
struct BriselProxy {
  bool valid = false;  // five pieces, an address and a port 1..65535
  int type = -1;       // 0 SOCKS4, 1 SOCKS5, 2 HTTP
  std::string host;
  int port = 0;
  std::string user;
  std::string password;
};
BriselProxy ParseBriselProxy(const std::string& text);

// The code a browser reports for a virtual key: F1 to F12 as 40000 plus the
// code, every other key as itself.
int BriselKeyCode(int virtualKey);
// The decimal text of a record 8 read back (0 when it is not a number).
int ParseBriselKeyRecord(const std::u16string& text);

// A record's payload as UTF-16 text (cbData / 2 units; an odd last byte is
// dropped).
std::u16string RecordText(const void* data, DWORD bytes);

// The cookie texts of a list: every piece that ends with "|", without it.
std::vector<std::u16string> SplitCookieList(const std::u16string& list);

// What the browser does with a navigation (UTF-8 address).
enum class BriselNavigation { kLoad, kWebCommand, kAccessToken, kIgnore };
BriselNavigation ClassifyNavigation(const std::string& address, const std::string& tokenHost);
// Whether the first ".pdf" of the address is its last four bytes.
bool IsPdfAddress(const std::string& address);
// The success page of the token vendor: 1 = report as record 3, 2 = go back
// one page, 0 = nothing.
int ClassifySuccessPage(const std::string& address, const std::string& tokenHost);
// Percent-escapes of bytes 0x80..0xFF decoded back to the bytes (the web
// engine escapes non-ASCII text of "goto::" addresses); everything else
// unchanged.
std::string DecodeNonAsciiEscapes(const std::string& address);
