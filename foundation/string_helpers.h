// Byte-string tools shared by the protocol and file code: splitting texts
// into lists, counting, finding, replacing and removing, the 31-bit name hash
// by which the XML reader and the configuration store compare names, and
// hexadecimal conversion.
//
// Plain functions over caller buffers or freshly allocated ones, no shared
// state: every function is reentrant. Everything these functions allocate
// (list nodes, text copies, ReplaceAllAlloc results) comes from malloc/calloc;
// lists are freed by their own free functions, texts with free().
#pragma once

// One piece of a text split in place. The text pointer points into the
// caller's buffer (not owned); nodes are allocated zero-filled one at a time.
// The head of a list is its first node's pointer, null for an empty list.
struct StringList {
  char* text;        // the piece, zero-terminated inside the caller's buffer
  StringList* next;  // following piece, null at the end
};

// One record of a two-level text such as 'a|b|c,d|e|f'.
struct RecordList {
  char* copy;          // private copy of the whole text; first node only, owned
  StringList* fields;  // the record's fields, pointing into the copy
  RecordList* next;    // following record, null at the end
};

// Splits a writable zero-terminated text at every separator byte, which is
// overwritten with a zero. A node is made at the start and after each
// separator that is followed by more text: a leading separator gives an empty
// first piece, two in a row an empty piece between them, a trailing one
// nothing after it; an empty or null text gives an empty list (null). Null
// also when a node cannot be allocated (the text stays cut).
StringList* SplitByChar(char* text, char separator);

// As SplitByChar with a separator string: every byte of each occurrence is
// overwritten with zero and the search resumes after it. An empty or null
// separator does not split: the whole text is one piece.
StringList* SplitByString(char* text, const char* separator);

// Frees the nodes (never the texts) and sets *head to null. Null is allowed.
void FreeStringList(StringList** head);

// Copies the zero-terminated text into a private buffer (two zero bytes
// longer), splits the copy into records at recordSeparator and each record
// into fields at fieldSeparator (as SplitByChar). The first node owns the
// copy. Null for a null or empty text or when allocation fails.
RecordList* SplitRecords(const char* text, char recordSeparator, char fieldSeparator);

// Frees each record's field list, the text copy and the nodes; *head becomes
// null. Null is allowed.
void FreeRecordList(RecordList** head);

// Number of records; 0 for null.
int CountRecords(const RecordList* head);

// 1 when each of the first count bytes is '0' to '9' (also for count 0 or
// less), else 0.
int IsAllDigits(const char* bytes, int count);

// 'A' to 'Z' among the first count bytes become 'a' to 'z'; every other
// byte, UTF-8 bytes included, stays.
void ToLowerAsciiInPlace(char* buffer, int count);

// Drops every occurrence of the byte among the first count bytes (stopping
// early at a zero byte) and moves the kept bytes together. When bytes were
// dropped (or a zero byte was met) a zero is written right after the kept
// bytes, so the text ends there; nothing is ever written at or beyond
// buffer + count.
void RemoveCharInPlace(char* buffer, int count, char byte);

// Every byte equal to from among exactly count bytes (zero bytes do not stop
// it) becomes to.
void ReplaceCharInPlace(char* buffer, int count, char from, char to);

// Deletes the occurrences of pattern from a writable zero-terminated text in
// place, moving the rest of the text (with its terminator) down over each.
// After a deletion the same position is examined again; earlier positions
// never are, so an occurrence formed across a deletion point that starts
// before the current position stays. At most count positions are examined
// and the scan never passes the terminator. An empty pattern deletes nothing.
void RemoveAllInPlace(char* text, int count, const char* pattern);

// Number of non-overlapping occurrences of pattern in text, each search
// resuming right after the previous match. 0 for a null argument or an empty
// pattern.
int CountOccurrences(const char* text, const char* pattern);

// Index of the first position where all patternLength bytes of pattern match
// inside buffer[0..length); -1 when there is none, for null pointers and for
// a pattern length of 0 or less.
int FindBytes(const void* buffer, int length, const void* pattern, int patternLength);

// Highest index below position that holds the byte; -1 when none.
int FindLastCharBefore(const char* buffer, int position, char byte);

// New zero-terminated text (caller frees with free()) in which every
// non-overlapping occurrence of from, left to right, is replaced by to. An
// empty from gives an equal copy. Null when any argument is null or
// allocation fails.
char* ReplaceAllAlloc(const char* text, const char* from, const char* to);

// Copies the bytes between the first occurrence of startMarker and the first
// occurrence of endMarker after it into out, which holds outCapacity bytes:
// at most outCapacity - 1 bytes are copied and a zero is written after them
// (content longer than that is cut). Result: strlen(startMarker) + the full
// content length + strlen(endMarker), which is the offset just past the end
// marker when the start marker opens the text, so back-to-back records can
// be stepped through even when one is cut. -1 when a marker is missing or an
// argument is null; out is then untouched. With outCapacity of 0 or less
// nothing is written but the result is the same.
int ExtractBetween(const char* text, char* out, int outCapacity, const char* startMarker,
                   const char* endMarker);

// 31-bit hash of a zero-terminated byte string; the empty string (and null)
// hash to 0. Names with equal hashes are the same name to the program.
int HashName(const char* name);

// Writes two upper-case hexadecimal digits per byte ("0123456789ABCDEF"),
// high nibble first, no terminator; only whole pairs, at most outCapacity
// characters. Result: the number of characters written.
int BytesToHex(const void* bytes, int count, char* out, int outCapacity);

// Reads length / 2 pairs of lower-case hexadecimal digits ('0'-'9', 'a'-'f';
// any other character counts as 0), high nibble first, writing one byte per
// pair, at most outCapacity bytes. Result: the number of bytes written.
int ParseLowerHex(const char* text, int length, unsigned char* out, int outCapacity);
