// Configuration store, proxy text, session parameters and indicator help.
//
// The settings live in res\config.data below the data root: a flat element
// text '<key>value</key>' per entry ('<key></key>' for an entry without a
// value), no declaration, no separators. In memory they are the ConfigList,
// the chain of top-level XmlNodes of that file, matched by HashName of the
// key. No key has a default in the program: an absent key, and an entry whose
// value is empty on disk, read as null.
//
// Values are written with '&' as "&amp;" and '<' as "&lt;", and these two
// entities are decoded on load, so any value survives a save and a load. The
// delivered files hold no entities. (Leading whitespace of a value, and a
// value of only whitespace, do not survive: the reader skips it.)
//
// Threads: one recursive lock guards the list around LoadConfig, GetConfig,
// SetConfig and SaveConfig; any thread may call them. Texts that GetConfig
// handed out are never freed while the process runs: a value replaced by
// SetConfig and a list replaced by LoadConfig are kept aside, so a pointer
// from GetConfig stays valid (it shows the value as it was when read).
// MakeProxyString fills a buffer of the calling thread.
#pragma once

#include <cstddef>
#include <string>

// Reads res\config.data (relative to the data root) into a new list that
// replaces the current one (kept aside, see above). A missing file gives an
// empty list.
void LoadConfig();

// The value of key, or null when the key is absent or has no value. The text
// stays valid for the rest of the run.
const char* GetConfig(const char* key);

// Sets key to a copy of value in memory only (nothing happens when either is
// null or key is empty): replaces the entry's value, adds a value to an entry
// without one, or appends a new entry at the end of the list.
void SetConfig(const char* key, const char* value);

// Rewrites res\config.data from the list (whole, through a temporary file).
// True when the file was written; false leaves the old file.
bool SaveConfig();

// The ProxySetting text: "type|address|port|user|password|" when a proxyuser
// entry is present, "type|address|port|||" otherwise, empty when proxyaddress
// is absent. Absent values print as empty texts. The text (at most 511 bytes,
// cut there) lives in a 512-byte buffer of the calling thread that the next
// call on the same thread overwrites.
const char* MakeProxyString();

// Appends one query parameter per name of the ','-separated names (which are
// cut in place): "userid", "sessionid", "clientversion" (the build text) and
// "iausername" (the account); other names add nothing. url is a
// zero-terminated text in a buffer of urlSize bytes. 1 on success; 0 when the
// result would not fit (url is then left unchanged) or an argument is null.
int AppendUrlParams(char* url, size_t urlSize, char* names);

// Appends "clientversion=%s&userid=%s&sessionid=%s" after a final '?', else
// the same preceded by '&', with the client version and the stored userid and
// sessionid (absent ones empty). 1 on success; 0 when it would not fit (url
// unchanged) or an argument is null.
int AppendSessionParams(char* url, size_t urlSize);

// The client version that the start-up reads from update.ini; until it is
// set (or after setting null or empty) it is kBuildText. Any thread.
void SetClientVersion(const char* version);
std::string GetClientVersion();

// Reads res\indexhelp.data of the install root into the help list (replacing
// it; a missing file gives an empty list).
void LoadIndexHelp();

// A new zero-filled 1,024-byte buffer (caller frees with free()) with the help
// text of the indicator, cut to at most 1,023 bytes before the
// first character that does not fit whole; empty when there is none. Null
// only when out of memory.
char* GetIndexHelpText(const char* name);

// Frees the help list.
void FreeIndexHelp();
