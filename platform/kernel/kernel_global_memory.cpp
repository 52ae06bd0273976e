#include "platform/kernel/kernel_global_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <cstdint>
#include <unordered_map>

#include "platform/kernel/debug_sink.h"

namespace {

// One movable block. Handles are numbers drawn from a counter and never
// reused within the process, so a freed handle stays invalid for good.
struct GlobalBlock {
  unsigned char* data = nullptr;  // null when size is 0
  SIZE_T size = 0;                // bytes of data
  UINT lockCount = 0;             // GlobalLock calls not yet undone
};

// Live blocks, guarded by BlockLock(). The lock is held for each call's
// bookkeeping only, never while a caller uses the data.
std::mutex& BlockLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_map<std::uintptr_t, GlobalBlock*>& LiveBlocks() {
  static auto* blocks = new std::unordered_map<std::uintptr_t, GlobalBlock*>();  // never destroyed: usable at exit
  return *blocks;
}

std::uintptr_t g_lastHandle = 0;  // guarded by BlockLock()

// The live block behind a handle, or null. Caller holds BlockLock().
GlobalBlock* FindBlock(HGLOBAL handle) {
  auto it = LiveBlocks().find(reinterpret_cast<std::uintptr_t>(handle));
  return it == LiveBlocks().end() ? nullptr : it->second;
}

void TraceBadHandle(const char* function, HGLOBAL handle) {
  char line[96];
  std::snprintf(line, sizeof line, "%s: invalid handle %p\n", function, handle);
  OutputDebugStringA(line);
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  if (!(flags & GMEM_MOVEABLE)) {
    OutputDebugStringA("GlobalAlloc: only movable blocks are supported\n");
    return nullptr;
  }
  auto* block = new (std::nothrow) GlobalBlock();
  if (!block) return nullptr;
  if (bytes > 0) {
    block->data = static_cast<unsigned char*>((flags & GMEM_ZEROINIT) ? std::calloc(bytes, 1)
                                                                      : std::malloc(bytes));
    if (!block->data) {
      delete block;
      return nullptr;
    }
  }
  block->size = bytes;
  std::lock_guard<std::mutex> guard(BlockLock());
  g_lastHandle += 0x10;  // spaced like addresses, never 0
  LiveBlocks().emplace(g_lastHandle, block);
  return reinterpret_cast<HGLOBAL>(g_lastHandle);
}

void* GlobalLock(HGLOBAL handle) {
  std::lock_guard<std::mutex> guard(BlockLock());
  GlobalBlock* block = FindBlock(handle);
  if (!block) {
    TraceBadHandle("GlobalLock", handle);
    return nullptr;
  }
  if (!block->data) return nullptr;
  ++block->lockCount;
  return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
  std::lock_guard<std::mutex> guard(BlockLock());
  GlobalBlock* block = FindBlock(handle);
  if (!block) {
    TraceBadHandle("GlobalUnlock", handle);
    return FALSE;
  }
  if (block->lockCount == 0) return FALSE;
  --block->lockCount;
  return block->lockCount > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, SIZE_T bytes, UINT flags) {
  std::lock_guard<std::mutex> guard(BlockLock());
  GlobalBlock* block = FindBlock(handle);
  if (!block) {
    TraceBadHandle("GlobalReAlloc", handle);
    return nullptr;
  }
  if (bytes == 0) return nullptr;  // discarding is not supported
  if (bytes <= block->size && block->data) {
    if (flags & GMEM_MOVEABLE) {
      // Give the unused tail back; a failed shrink keeps the larger memory.
      if (void* moved = std::realloc(block->data, bytes)) block->data = static_cast<unsigned char*>(moved);
    }
    block->size = bytes;
    return handle;
  }
  if (!(flags & GMEM_MOVEABLE)) return nullptr;  // would have to move to grow
  void* moved = std::realloc(block->data, bytes);
  if (!moved) return nullptr;
  block->data = static_cast<unsigned char*>(moved);
  if (flags & GMEM_ZEROINIT) std::memset(block->data + block->size, 0, bytes - block->size);
  block->size = bytes;
  return handle;
}

SIZE_T GlobalSize(HGLOBAL handle) {
  std::lock_guard<std::mutex> guard(BlockLock());
  GlobalBlock* block = FindBlock(handle);
  return block ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  if (!handle) return nullptr;
  GlobalBlock* block = nullptr;
  {
    std::lock_guard<std::mutex> guard(BlockLock());
    block = FindBlock(handle);
    if (!block) {
      TraceBadHandle("GlobalFree", handle);
      return handle;
    }
    LiveBlocks().erase(reinterpret_cast<std::uintptr_t>(handle));
  }
  std::free(block->data);
  delete block;
  return nullptr;
}
