#include "addin/res_string_cache.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kBucketCount = 256;
constexpr int kMinimumBuffer = 2048;
const char kEmptyText[] = "";

ResStringCache* g_processCache = nullptr;  // the process-wide cache; one thread at a time

}  // namespace

ResStringCache::~ResStringCache() {
  DropMap();
  std::free(buffer_);
}

void ResStringCache::DropMap() {
  std::free(buckets_);
  buckets_ = nullptr;
  FreePlexChain(entryBlocks_);
  entryBlocks_ = nullptr;
  freeEntries_ = nullptr;
  entryCount_ = 0;
}

void ResStringCache::Init(HINSTANCE module, int size) {
  DropMap();
  defaultModule_ = currentModule_ = module;
  buckets_ = static_cast<Entry**>(std::calloc(kBucketCount, sizeof(Entry*)));
  std::free(buffer_);
  const int bufferSize = size > kMinimumBuffer ? size : kMinimumBuffer;
  buffer_ = static_cast<char*>(std::calloc(static_cast<std::size_t>(bufferSize), 1));
  capacity_ = buffer_ ? size : 0;
  used_ = 0;
}

void ResStringCache::Reset(HINSTANCE module) {
  currentModule_ = module ? module : defaultModule_;
  DropMap();
  if (buffer_ && capacity_ > 0) std::memset(buffer_, 0, static_cast<std::size_t>(capacity_));
  used_ = 0;
  if (loadedLibrary_ && loadedLibrary_ != currentModule_) {
    FreeResourceModule(loadedLibrary_);
    loadedLibrary_ = nullptr;
  }
}

void ResStringCache::LoadResourceLibrary(const char* fileName) {
  if (loadedLibrary_) {
    FreeResourceModule(loadedLibrary_);
    loadedLibrary_ = nullptr;
  }
  if (fileName) loadedLibrary_ = LoadResourceModule(fileName);
  Reset(loadedLibrary_);
}

const char* ResStringCache::GetString(UINT id) {
  const WORD key = static_cast<WORD>(id & 0xFFFF);
  if (buckets_) {
    for (Entry* e = buckets_[key % kBucketCount]; e; e = e->next) {
      if (e->id == key) return e->text;
    }
  }
  if (!buffer_ || capacity_ - used_ < 2) return kEmptyText;

  char* text = buffer_ + used_;
  const int n = LoadStringA(currentModule_, key, text, capacity_ - used_);
  if (!buckets_) buckets_ = static_cast<Entry**>(std::calloc(kBucketCount, sizeof(Entry*)));
  if (!freeEntries_) {
    if (PlexBlock* block = AllocPlexBlock(&entryBlocks_, 2, sizeof(Entry))) {
      auto* entries = static_cast<Entry*>(block->Data());
      entries[1].next = nullptr;
      entries[0].next = &entries[1];
      freeEntries_ = &entries[0];
    }
  }
  if (buckets_ && freeEntries_) {
    Entry* entry = freeEntries_;
    freeEntries_ = entry->next;
    entry->id = key;
    entry->text = text;
    entry->next = buckets_[key % kBucketCount];
    buckets_[key % kBucketCount] = entry;
    ++entryCount_;
  }
  // Without a map entry (memory exhausted) the text is still returned and
  // keeps its room; it is loaded again next time.
  used_ += n + 1;
  return text;
}

void InstallStringCache(ResStringCache* cache, HINSTANCE module, int size) {
  if (g_processCache) g_processCache->LoadResourceLibrary(nullptr);
  g_processCache = cache;
  if (cache) cache->Init(module, size);
}

void ResetStringCache(HINSTANCE module) {
  if (g_processCache) g_processCache->Reset(module);
}

const char* LoadResString(UINT id) { return g_processCache ? g_processCache->GetString(id) : kEmptyText; }
