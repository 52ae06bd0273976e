// Server directory: every server address of the program, from res\server.data
// below the data root.
//
// The file is a flat element text, one element per service name whose text
// is the service's value: a ','-separated list of records whose fields are
// separated by '|'. Services other than "PCQuote" and "SiteConf" hold one
// address used whole. "PCQuote" records are market-data sites: field 1 the
// display text, field 2 the address for users without level-2 rights
// ('http://host:port...'), field 3 the level-2 address. Ampersands may be
// stored as '&amp;'; ChooseServer removes every "amp;" from its result.
//
// Threads: one recursive lock guards the directory; ChooseServer holds it
// across the whole choice, and takes the configuration's lock inside it
// (directory first, then configuration; never the other way round).
#pragma once

#include "foundation/string_helpers.h"

// Reads res\server.data into a new directory, replacing the current one. A
// missing file gives an empty directory.
void LoadServerList();

// Frees the directory; it is empty afterwards.
void FreeServerList();

// A new zero-filled 1,024-byte text (caller frees with free()): the service's
// address, cut at 1,023 bytes, with every "amp;" removed; empty when the
// service is absent. For "PCQuote" the site is chosen: the first record whose
// second field contains the stored "host" as a substring, else a random one;
// the result is its third field when level2 is 1, else its second; the text
// between "http://" and ":" of its second field is stored as "host" and the
// configuration is saved. Records with fewer fields than needed (2, or 3 when
// level2 is 1) are skipped; when no record is left the result is empty and
// nothing is stored. Null only when out of memory.
char* ChooseServer(const char* name, int level2);

// The service's records (caller frees with FreeRecordList), fields as stored;
// null when the service is absent.
RecordList* GetServerRecords(const char* name);

// A new zero-filled 512-byte text (caller frees): the bytes between "http://"
// and the next ':' of ChooseServer("PCQuote", level2), cut at 511 bytes; empty
// when the address has no such part.
char* GetQuoteServerHost(int level2);

// Tests only: the source of the random site choice (null: the C library's
// rand()). A negative value is taken as its absolute remainder.
void SetServerRandomSourceForTesting(int (*source)());
