// The data files the main frame reads: res\menu.json (the downloaded menus)
// and res\rolling.json (the last accepted rolling-text reply), both in the
// data root, read whole with the bounded JSON reader. Missing files,
// unparsable text and missing parts give empty results, never a failure
// beyond that.
#pragma once

#include <string>
#include <vector>

// One entry of "menus" that carries "resourceName" (entries without it are
// skipped). Absent texts are empty.
struct MenuEntry {
  std::string name;  // "resourceName", UTF-8
  std::string code;  // "resourceCode", decimal digits as written
  std::string url;   // "url", a "goto::" text
};

// The entries of text's "menus" array in file order. False (and out empty)
// when the text is not a JSON object with a "menus" array.
bool ReadMenuEntries(const char* text, std::vector<MenuEntry>* out);
// The same for res\menu.json of the data root.
bool LoadMenuFile(std::vector<MenuEntry>* out);

// One element of a rolling-text reply's "marquee" array.
struct MarqueeItem {
  std::string url, title, content, author, date;  // UTF-8; absent texts empty
};

// A rolling-text reply: true when it parses and its "result" text is "true";
// then out holds its "marquee" elements in order (none when it has none) and
// *hasMarquee whether the label is present.
bool ReadMarqueeReply(const char* text, std::vector<MarqueeItem>* out, bool* hasMarquee);
