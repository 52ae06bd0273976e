// The resource-string cache: turns string-resource ids into texts that stay
// in memory for the life of the cache. Every text is loaded once with
// LoadStringA into one preallocated buffer and found again through a small
// hash map (256 buckets by id modulo 256, entries taken two at a time from a
// block chain). One cache at a time is the process-wide one, reached through
// InstallStringCache, ResetStringCache and LoadResString.
//
// Returned texts point into the buffer, or to one shared empty string; the
// caller never frees them, and they never move until the cache is reset,
// re-initialised or destroyed. A missing id is cached as an empty text and
// costs one byte; a text longer than the free room is cut to it and stays
// cut until the next reset. No lock: one thread at a time.
#pragma once

#include <cstddef>

#include "addin/collections.h"
#include "addin/string_resources.h"
#include "platform/kernel/win_types.h"

class ResStringCache {
 public:
  ResStringCache() = default;
  virtual ~ResStringCache();
  ResStringCache(const ResStringCache&) = delete;
  ResStringCache& operator=(const ResStringCache&) = delete;

  // Makes the cache ready for module with room for size bytes of texts: a
  // zeroed buffer of max(size, 2,048) bytes of which size are used (0 or
  // less: every uncached id gives ""). Forgets every cached text.
  void Init(HINSTANCE module, int size);
  // Reads from module from now on (null: the default module given to Init)
  // and forgets every cached text. A loaded resource library whose handle
  // differs from the new module is unloaded.
  void Reset(HINSTANCE module);
  // Unloads any loaded resource library, loads fileName (null: none) and
  // resets to it; a library that cannot be loaded resets to the default.
  void LoadResourceLibrary(const char* fileName);
  // The text of id (only its low 16 bits count); never null.
  const char* GetString(UINT id);

  // For tests and traces: bytes of the buffer taken by cached texts.
  int GetUsed() const { return used_; }
  HINSTANCE GetCurrentModule() const { return currentModule_; }

 private:
  struct Entry {
    Entry* next;       // next entry of the bucket, or of the free list
    WORD id;           // string id
    const char* text;  // into buffer_
  };

  void DropMap();

  HINSTANCE defaultModule_ = nullptr;  // the module given to Init
  HINSTANCE currentModule_ = nullptr;  // the module LoadStringA reads
  HMODULE loadedLibrary_ = nullptr;    // the module LoadResourceLibrary loaded, or null
  Entry** buckets_ = nullptr;          // 256 chains, null when dropped
  int entryCount_ = 0;                 // entries in the map
  Entry* freeEntries_ = nullptr;       // entries ready for reuse
  PlexBlock* entryBlocks_ = nullptr;   // blocks of two entries
  char* buffer_ = nullptr;             // max(capacity, 2,048) bytes
  int capacity_ = 0;                   // bytes usable for texts (the size given to Init)
  int used_ = 0;                       // bytes taken by texts, terminators included
};

// Makes cache the process-wide cache (null: none). A previous process-wide
// cache first unloads its resource library and returns to its default
// module; a given cache is then initialised with module and size.
void InstallStringCache(ResStringCache* cache, HINSTANCE module, int size);
// ResStringCache::Reset of the process-wide cache; nothing without one.
void ResetStringCache(HINSTANCE module);
// ResStringCache::GetString of the process-wide cache; "" without one.
const char* LoadResString(UINT id);
