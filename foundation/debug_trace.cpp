#include "foundation/debug_trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/kernel/debug_sink.h"

void DebugPrintf(const char* format, ...) {
  if (!format) return;
  char line[kDebugLineSize] = {};
  va_list args;
  va_start(args, format);
  // Two bytes stay free for the tab and the terminating zero.
  std::vsnprintf(line, sizeof line - 1, format, args);
  va_end(args);
  const size_t length = std::strlen(line);
  line[length] = '\t';
  line[length + 1] = 0;
  OutputDebugStringA(line);
}
