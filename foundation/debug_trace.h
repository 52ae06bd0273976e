// The program's one trace facility for low-level code: one line per event
// to the debugger output (the platform's debug sink), never to a file.
#pragma once

// Size of the line buffer, the appended tab and the terminating zero
// included.
constexpr int kDebugLineSize = 40960;

// Formats with the C formatting rules, appends one tab character and hands
// the text to OutputDebugStringA. A text that would not fit is cut so that
// the text, the tab and the terminating zero stay within kDebugLineSize
// bytes. The buffer lives on the caller's stack: safe from any thread at once.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
