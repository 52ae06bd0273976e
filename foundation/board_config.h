// Board configuration: the market's boards (sectors) and the index codes that
// stand for them, from res\boardconfig.json below the data root.
//
// The document, as read here (other members are ignored; every scalar may be
// a JSON string or number and its text is taken unchanged, escapes
// undecoded; true, false, null, objects and arrays leave a field zero):
//   "boardIndex": [ { "id", "marketid", "index": [ { "name", "boardid", "code" } ] } ]
//   "boardset": { "timestamp", "board": [ { "id", "desc", "name",
//                 "codeRules": [ { "market", "type", "value" | "start", "end" } ] } ] }
// Numbers are read as 32-bit signed decimals (ids widened to 64 bits; the
// market bytes keep the low 8 bits). Texts longer than their fields are cut,
// keeping the terminator.
//
// Threads: one recursive lock guards the tables. A load replaces them whole;
// the tables it replaces are kept aside until FreeBoardConfig, so a record
// pointer from FindBoard stays valid across later loads (it shows the tables
// of its time). FreeBoardConfig frees current and replaced tables.
#pragma once

#include <cstdint>

struct CodeRule {
  uint8_t market;   // "market"; stored, not used by any lookup
  char type[32];    // "type"; a type containing "list" matches by value
  char start[8];    // "start" of a range rule
  char end[8];      // "end" of a range rule
  char* value;      // "value" of a list rule, owned, any length; null when absent
};

struct BoardRecord {
  int64_t id;          // "id"
  char desc[128];      // "desc"
  char name[64];       // "name"
  CodeRule* rules;     // "codeRules", owned
  int32_t ruleCount;
};

struct IndexEntry {
  char name[128];   // "name"
  int64_t boardId;  // "boardid"
  char code[8];     // "code", a 6-character stock code
};

struct IndexGroup {
  int64_t id;            // "id"
  uint8_t market;        // "marketid"
  IndexEntry* entries;   // "index", owned
  int32_t entryCount;
};

struct BoardConfig {
  int32_t timestamp;    // "boardset"."timestamp"; 0 when absent
  BoardRecord* boards;  // owned, file order
  int32_t boardCount;
  IndexGroup* groups;   // owned, file order
  int32_t groupCount;
};

// Most records ListBoardMembers returns: its 2,048-byte buffer holds 292.
constexpr int kMaxBoardMembers = 292;

// Replaces the tables with the content of res\boardconfig.json. A missing or
// malformed file gives empty tables and a timestamp of 0.
void LoadBoardConfig();

// Frees every table (also those replaced by earlier loads). Nothing happens
// when there are none.
void FreeBoardConfig();

// The document's timestamp, 0 when none is loaded.
int32_t GetBoardConfigTimestamp();

// The first board with the id, or null.
const BoardRecord* FindBoard(int64_t id);

// 1 when a rule of the board matches the code: a "list" rule whose value
// contains the code, or any other rule with start <= code <= end (bytes).
int BoardRuleMatches(const CodeRule* rule, const char* code);

// The board id of the index entry whose code contains the given code, in the
// groups of the market; a later group with a match replaces the id of an
// earlier one. 0 when none, or when code is null or empty or market is 0.
int64_t FindBoardIdByCode(const char* code, uint8_t market);

// A new zero-filled 2,048-byte buffer (caller frees with free()) of 7-byte
// records: for every board whose rules match the code, every index entry of
// that board's id as its 6 code bytes and its group's market byte; duplicates
// kept, at most kMaxBoardMembers records. *length receives the bytes used (7
// per record). market is not used. Null (and *length 0) when out of memory.
char* ListBoardMembers(const char* code, uint8_t market, int* length);

// 1 when a rule of the first board with the id matches the code, else 0.
int IsCodeInBoard(int64_t id, const char* code);
