#include "addin/framework_utils.h"

#include <cstdio>
#include <cstring>

#include "platform/kernel/debug_sink.h"

namespace {

void TraceReport(const char* text, const char* caption, UINT /*flags*/) {
  std::string line = std::string(caption) + ": " + text + "\n";
  OutputDebugStringA(line.c_str());
}

VerifyReportSink g_reportSink = TraceReport;  // one per process; set by the plug-in's start or a test

}  // namespace

VerifyReportSink SetVerifyReportSink(VerifyReportSink sink) {
  VerifyReportSink previous = g_reportSink;
  g_reportSink = sink ? sink : TraceReport;
  return previous;
}

void ShowVerifyReport(const char* sourcePath, int line, const char* expression) {
  char text[1024];
  std::snprintf(text, sizeof text, "FILE:%s LINE:%d EXCEPTION: %s", sourcePath ? sourcePath : "", line,
                expression ? expression : "");
  g_reportSink(text, "CLIBVERIFY", kVerifyReportBoxFlags);
}

bool EqualsNoCase(const char* a, const char* b) {
  if (!a || !b) return false;
  for (;; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + 32) : *b;
    if (x != y) return false;
    if (x == 0) return true;
  }
}

int WildcardMatch(const char* text, const char* pattern) {
  if (!text || !pattern) return 0;
  const char* t = text;
  const char* p = pattern;
  const char* afterStar = nullptr;  // pattern position after the last star
  const char* resume = nullptr;     // where the text is tried again after a mismatch
  bool inStar = false;              // in the star step: the text may skip ahead
  for (;;) {
    if (inStar) {
      if (*p == 0) return 1;  // a trailing star takes the rest
      if (*p == '*') {
        afterStar = ++p;
        continue;
      }
      if (*p == '?') {
        if (*t == 0) return 0;
        ++t;
        ++p;
        continue;
      }
      const char* found = std::strchr(t, *p);
      if (!found) return 0;
      t = found + 1;
      ++p;
      resume = t;
      inStar = false;
      continue;
    }
    if (*p == 0) {
      if (*t == 0) return 1;
      if (!afterStar || !resume) return 0;
      t = resume;
      p = afterStar;
      inStar = true;
      continue;
    }
    if (*p == '*') {
      afterStar = ++p;
      inStar = true;
      continue;
    }
    if (*p == '?') {
      if (*t == 0) return 0;
      ++t;
      ++p;
      continue;
    }
    if (*t == 0) return 0;
    if (*t == *p) {
      ++t;
      ++p;
      continue;
    }
    if (!afterStar || !resume) return 0;
    t = resume;
    p = afterStar;
    inStar = true;
  }
}

int FindCharFrom(const char* text, char ch, int offset) {
  if (!text || offset < 0) return -1;
  const std::size_t length = std::strlen(text);
  if (static_cast<std::size_t>(offset) > length) return -1;
  const char* found = ch == 0 ? text + length : std::strchr(text + offset, ch);
  return found ? static_cast<int>(found - text) : -1;
}

int ParseBoolText(const char* text) {
  if (!text) return 0;
  if (EqualsNoCase(text, "YES") || EqualsNoCase(text, "TRUE")) return 1;
  return std::strcmp(text, "1") == 0 ? 1 : 0;
}
