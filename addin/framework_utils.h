// Small utilities of the plug-in's framework library: the verification
// report that every consistency check shows, wildcard matching, a character
// search from an offset and the yes/true reading of a setting text.
#pragma once

#include "platform/kernel/win_types.h"

// Message-box flags of the report: MB_ICONWARNING | MB_OK (a warning icon
// and an OK button), in the platform's values.
constexpr UINT kVerifyReportBoxFlags = 0x00000030;

// Where reports go: text, caption and message-box flags. The plug-in
// installs one that shows a message box without an owner window; tests
// install one that records. Called on the reporting thread.
using VerifyReportSink = void (*)(const char* text, const char* caption, UINT flags);

// Installs sink (null: the default, which writes "CLIBVERIFY: <text>" to the
// debugger output) and returns the one it replaces.
VerifyReportSink SetVerifyReportSink(VerifyReportSink sink);

// Reports a failed consistency check: formats "FILE:%s LINE:%d EXCEPTION: %s"
// into 1,024 bytes (longer texts are cut; a null text reads as empty) and
// hands it to the sink with the caption "CLIBVERIFY" and
// kVerifyReportBoxFlags. Returns when the sink returns; the caller goes on.
void ShowVerifyReport(const char* sourcePath, int line, const char* expression);

// True when a and b are equal with ASCII letters compared without regard to
// case (other bytes exactly), as the library compares names; false when
// either is null.
bool EqualsNoCase(const char* a, const char* b);

// 1 when text matches pattern, else 0. Bytes compare exactly (case-
// sensitive); '*' matches any run of characters (also none), '?' exactly
// one. A null text or pattern gives 0.
int WildcardMatch(const char* text, const char* pattern);

// Index of the first ch in text at or after offset, or -1; -1 too for a null
// text or an offset below 0 or beyond the text's length. ch 0 finds the
// terminator, at the text's length.
int FindCharFrom(const char* text, char ch, int offset);

// 1 for "YES" or "TRUE" in any case and for "1"; 0 for anything else and for
// a null text.
int ParseBoolText(const char* text);
