// The "goto::" texts of menu entries and web pages, split into their parts.
//
// A text is split at every "::"; the first part must be "goto" and the
// second names the area:
//   menu entries  goto::home[::address]  goto::info::address[::names]
//                 goto::quote::main|tactic|allmonitor|catchshort|pzpick|analyze
//                 goto::trade
//   web pages     goto::quote::min|kline|relation,<code>,<market>
//                 goto::trade::buy|sell,<code>,<market>
//                 goto::popwindow::<name>::<title>::<address>
// The splitting accepts any bytes and any length; what a form means is the
// frame's (main_frame_commands.cpp).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The parts of text split at "::" (empty parts kept). Empty when the text
// does not start with the part "goto".
std::vector<std::string> SplitGotoText(std::string_view text);

// The stock of a web command's third part "<verb>,<code>,<market>": the verb,
// the first 6 bytes of the code and the decimal market (atoi semantics: 0 for
// no digits). False when fewer than three ','-separated items are present.
struct GotoStock {
  std::string verb;
  std::string code;  // at most 6 bytes
  int market = 0;
};
bool ParseGotoStock(std::string_view item, GotoStock* out);
