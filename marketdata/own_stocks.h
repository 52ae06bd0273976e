// The watch list: res\own.data below the data root, fixed 7-byte entries
// (6 ASCII code bytes, then the market byte), no header, in display order.
// Bytes after the last whole entry are ignored; a file shorter than 7 bytes
// counts as empty.
//
// Every change rewrites the file whole (temporary file and rename) and then
// replaces the engine's in-memory copy, which readers on any thread use as an
// immutable snapshot. The engine's ownStockLock serialises the changes; the
// watch-list count follows the changes made here.
//
// Keys: the first 6 bytes of the code (ending early at a zero byte, the rest
// zero) and the market byte, compared over 7 bytes as text, so a comparison
// ends at a zero byte present in both.
#pragma once

#include <memory>

#include "marketdata/quote_engine.h"

// Whole entries in the file; 0 when it is missing or shorter than 7 bytes.
int GetOwnStockCount(QuoteEngine* engine);

// Index of the first entry equal to the key; -1 when absent, the file is
// missing, or code is null.
int FindOwnStock(QuoteEngine* engine, const char* code, int market);

// Whether the in-memory copy holds the key among its first count entries
// (count: the engine's watch-list count). Reads no file.
bool IsOwnStock(QuoteEngine* engine, const char* code, int market);

// -1 for a null or empty code; 1 when the key is already in the file (nothing
// written); 0 after appending it (a missing or too short file is replaced by
// the one entry) and counting it. The copy is reloaded in every case but -1.
int AddOwnStock(QuoteEngine* engine, const char* code, int market);

// 0 after removing the first entry equal to the key; -1 for a null code, a key
// not in the file, or a missing or too short file. The copy is reloaded in
// every case but a null code.
int RemoveOwnStock(QuoteEngine* engine, const char* code, int market);

// Moves the entry at from to position to, shifting those in between; nothing
// when they are equal or either lies outside 0..count-1.
void MoveOwnStock(QuoteEngine* engine, int from, int to);

// A new snapshot of the file, or null when it is missing or shorter than 7
// bytes.
std::shared_ptr<const OwnStockList> LoadOwnStockList(QuoteEngine* engine);

// The current in-memory copy (may be null). Holding it keeps it alive.
std::shared_ptr<const OwnStockList> GetOwnStockSnapshot(QuoteEngine* engine);
