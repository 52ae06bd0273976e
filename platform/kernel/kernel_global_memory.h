// Movable global memory: GlobalAlloc, GlobalLock, GlobalUnlock,
// GlobalReAlloc, GlobalSize and GlobalFree with the platform's semantics for
// movable blocks.
//
// A block is known by its handle, which stays the same for the block's whole
// life; its address is obtained with GlobalLock and may change whenever the
// block is reallocated with GMEM_MOVEABLE. Only movable blocks are provided
// (GMEM_MOVEABLE is required at allocation). Every call checks its handle
// against the live blocks, so a stale, freed or made-up handle is refused
// with a "Global...:" trace instead of touching memory; handles are never
// reused within a process. Safe from any thread; the contents of a block are
// the caller's to guard.
#pragma once

#include <cstddef>

#include "platform/kernel/win_types.h"

using HGLOBAL = void*;
using SIZE_T = std::size_t;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Allocates a movable block of bytes (0 allowed: a block with no memory,
// whose lock gives null). GMEM_ZEROINIT fills it with zeros. Returns the
// handle, or null when flags lack GMEM_MOVEABLE or memory is exhausted.
// The caller frees the block with GlobalFree.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);

// Increments the block's lock count and returns its current address; null
// for an invalid handle or a block of size 0.
void* GlobalLock(HGLOBAL block);

// Decrements the lock count. Returns TRUE while the block stays locked,
// FALSE when the count reached zero, was already zero or the handle is
// invalid.
BOOL GlobalUnlock(HGLOBAL block);

// Resizes the block to bytes (> 0) and returns the same handle, or null on
// failure (invalid handle, size 0, memory exhausted, or growth without
// GMEM_MOVEABLE); on failure the block is unchanged. With GMEM_MOVEABLE the
// contents may move, even while locked: addresses from earlier locks are
// then stale. Without it only shrinking succeeds, in place. GMEM_ZEROINIT
// zeroes the added bytes when the block grows.
HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);

// The block's size in bytes; 0 for an invalid handle.
SIZE_T GlobalSize(HGLOBAL block);

// Frees the block (also while locked). Returns null on success, the handle
// itself when it is not a live block. Null is accepted and returns null.
HGLOBAL GlobalFree(HGLOBAL block);
