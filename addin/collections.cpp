#include "addin/collections.h"

#include <cstdint>
#include <cstdlib>

#include "addin/framework_utils.h"

namespace {

const char kCollectionSource[] = "Kelvra\\src\\collection\\coll";

}  // namespace

PlexBlock* AllocPlexBlock(PlexBlock** chain, std::size_t count, std::size_t size) {
  if (size != 0 && count > (SIZE_MAX - sizeof(PlexBlock)) / size) return nullptr;
  auto* block = static_cast<PlexBlock*>(std::malloc(sizeof(PlexBlock) + count * size));
  if (!block) return nullptr;
  block->previous = *chain;
  *chain = block;
  return block;
}

void FreePlexChain(PlexBlock* newest) {
  while (newest) {
    PlexBlock* previous = newest->previous;
    std::free(newest);
    newest = previous;
  }
}

void PtrNodeList::Init(int nodesPerBlock) {
  RemoveAll();
  nodesPerBlock_ = nodesPerBlock > 0 ? nodesPerBlock : 1;
}

PtrNodeList::Node* PtrNodeList::AddTail(void* value) {
  if (!freeNodes_) {
    PlexBlock* block = AllocPlexBlock(&blocks_, static_cast<std::size_t>(nodesPerBlock_), sizeof(Node));
    if (!block) return nullptr;
    auto* nodes = static_cast<Node*>(block->Data());
    // Pushed from the last to the first, so they come off in address order.
    for (int i = nodesPerBlock_ - 1; i >= 0; --i) {
      nodes[i].next = freeNodes_;
      freeNodes_ = &nodes[i];
    }
  }
  Node* node = freeNodes_;
  freeNodes_ = node->next;
  node->previous = tail_;
  node->next = nullptr;
  node->value = value;
  ++count_;
  if (tail_) {
    tail_->next = node;
  } else {
    head_ = node;
  }
  tail_ = node;
  return node;
}

void* PtrNodeList::RemoveHead() {
  if (!head_) return nullptr;
  Node* old = head_;
  void* value = old->value;
  head_ = old->next;
  if (head_) {
    head_->previous = nullptr;
  } else {
    tail_ = nullptr;
  }
  old->next = freeNodes_;
  freeNodes_ = old;
  if (--count_ == 0) RemoveAll();
  return value;
}

void PtrNodeList::RemoveAll() {
  head_ = tail_ = nullptr;
  count_ = 0;
  freeNodes_ = nullptr;
  FreePlexChain(blocks_);
  blocks_ = nullptr;
}

FixedItemPool::~FixedItemPool() {
  freeList_.RemoveAll();
  while (!blockList_.IsEmpty()) std::free(blockList_.RemoveHead());
}

void FixedItemPool::Init(int initialBlocks, int itemsPerBlock, std::size_t itemSize, bool pooled) {
  itemsPerBlock_ = itemsPerBlock > 0 ? itemsPerBlock : 1;
  itemSize_ = itemSize > 0 ? itemSize : 1;
  pooled_ = pooled;
  blockList_.Init(10);
  freeList_.Init(itemsPerBlock_);
  if (!pooled_) return;
  for (int i = 0; i < initialBlocks; ++i) AddBlock(179);
}

bool FixedItemPool::AddBlock(int reportLine) {
  const std::size_t count = static_cast<std::size_t>(itemsPerBlock_);
  void* block = count > SIZE_MAX / itemSize_ ? nullptr : std::malloc(count * itemSize_);
  if (!block) {
    ShowVerifyReport(kCollectionSource, reportLine, "pBlock!=NULL");
    return false;
  }
  if (!blockList_.AddTail(block)) {
    std::free(block);
    return false;
  }
  auto* bytes = static_cast<unsigned char*>(block);
  for (std::size_t i = 0; i < count; ++i) {
    if (!freeList_.AddTail(bytes + i * itemSize_)) break;  // the items not listed are never handed out
  }
  return true;
}

void* FixedItemPool::Alloc() {
  if (!pooled_) return std::malloc(itemSize_);
  std::lock_guard<CriticalSection> guard(lock_);
  if (freeList_.IsEmpty() && !AddBlock(207)) return nullptr;
  return freeList_.RemoveHead();
}

void FixedItemPool::Free(void* item) {
  if (!item) return;
  if (!pooled_) {
    std::free(item);
    return;
  }
  std::lock_guard<CriticalSection> guard(lock_);
  freeList_.AddTail(item);
}
