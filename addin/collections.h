// Collections of the plug-in's framework library: a chain of raw blocks, a
// list of pointers whose nodes come from such blocks, and a pool of
// fixed-size items guarded by a critical section.
//
// Block chain: each block is one heap allocation that begins with the link
// to the block made before it, then room for count records. The chain is
// known by its newest block and freed whole.
//
// PtrNodeList: nodes come from a free-node list; when it is empty a block of
// nodesPerBlock nodes joins the chain and its nodes are handed out in address
// order. The list frees its node blocks whenever it becomes empty.
//
// FixedItemPool: items of one size, carved from blocks of itemsPerBlock; a
// free list holds the address of every free item, and freed items are reused
// first in, first out. Blocks go back to the heap only in the destructor. A
// pool made "not pooled" hands out plain heap blocks without a lock.
#pragma once

#include <cstddef>

#include "platform/kernel/kernel_sync.h"

// A block of a chain: the link to the previous block, then the records.
struct PlexBlock {
  PlexBlock* previous;  // the block made before this one, or null

  // The room for the records, right after the link.
  void* Data() { return this + 1; }
};

// Allocates a block with room for count records of size bytes and links it
// at the head of *chain. Returns the block, or null (chain unchanged) when
// the size overflows or memory is exhausted. Free with FreePlexChain.
PlexBlock* AllocPlexBlock(PlexBlock** chain, std::size_t count, std::size_t size);

// Frees newest and every block made before it. Null does nothing.
void FreePlexChain(PlexBlock* newest);

class PtrNodeList {
 public:
  struct Node {
    Node* next;      // toward the tail
    Node* previous;  // toward the head
    void* value;
  };

  PtrNodeList() = default;
  ~PtrNodeList() { RemoveAll(); }
  PtrNodeList(const PtrNodeList&) = delete;
  PtrNodeList& operator=(const PtrNodeList&) = delete;

  // Empties the list and sets the number of nodes made per block (at least 1).
  void Init(int nodesPerBlock);
  // Appends value; returns its node, or null when no node could be made.
  Node* AddTail(void* value);
  // Removes the head and returns its value; null for an empty list. When the
  // list becomes empty its node blocks are freed.
  void* RemoveHead();
  // Empties the list and frees every node block.
  void RemoveAll();

  int GetCount() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  Node* GetHead() const { return head_; }

 private:
  Node* head_ = nullptr;        // first node, null when empty
  Node* tail_ = nullptr;        // last node, null when empty
  int count_ = 0;               // nodes in the list
  Node* freeNodes_ = nullptr;   // nodes ready for reuse, in address order
  PlexBlock* blocks_ = nullptr; // every node block made
  int nodesPerBlock_ = 10;      // nodes made per block
};

class FixedItemPool {
 public:
  FixedItemPool() = default;
  virtual ~FixedItemPool();
  FixedItemPool(const FixedItemPool&) = delete;
  FixedItemPool& operator=(const FixedItemPool&) = delete;

  // Sets the pool up (once, before any use): with pooled, makes
  // initialBlocks blocks of itemsPerBlock items of itemSize bytes at once. A
  // block that cannot be allocated is reported ("pBlock!=NULL", line 179)
  // and skipped. Not locked: must not overlap other use.
  void Init(int initialBlocks, int itemsPerBlock, std::size_t itemSize, bool pooled);

  // An item of itemSize bytes, not cleared. Pooled: the oldest free item,
  // making a block first when none is free (a failure is reported with line
  // 207 and null returned). Not pooled: a plain heap block. Thread-safe.
  void* Alloc();
  // Returns an item of this pool (null is ignored). Thread-safe.
  void Free(void* item);

  // Blocks of items made so far (0 when not pooled).
  int GetBlockCount() const { return blockList_.GetCount(); }

 private:
  bool AddBlock(int reportLine);  // caller holds lock_ (or is Init)

  CriticalSection lock_;        // guards blockList_ and freeList_ after Init
  int itemsPerBlock_ = 0;       // set by Init
  std::size_t itemSize_ = 0;    // set by Init
  bool pooled_ = false;         // set by Init
  PtrNodeList blockList_;       // every heap block of items
  PtrNodeList freeList_;        // the address of every free item, oldest first
};
