#include "foundation/plain_lists.h"

#include <cstdlib>
#include <cstring>

namespace {

// Frees count nodes from the first on, and each node's data when freeData is
// set; then zeroes the head. Stops early at a null link, so a head whose
// count disagrees with its nodes is never followed off the end.
void ClearNodes(PtrList* list, bool freeData) {
  if (!list) return;
  PtrListNode* node = list->first;
  for (int32_t i = 0; i < list->count && node; ++i) {
    PtrListNode* next = node->next;
    if (freeData) std::free(node->data);
    std::free(node);
    node = next;
  }
  std::memset(list, 0, sizeof *list);
}

}  // namespace

PtrList* CreatePtrList() { return static_cast<PtrList*>(std::calloc(1, sizeof(PtrList))); }

int AppendPtrList(PtrList* list, void* data) {
  if (!list) return 0;
  auto* node = static_cast<PtrListNode*>(std::calloc(1, sizeof(PtrListNode)));
  if (!node) return 0;
  node->data = data;
  node->prev = list->last;
  if (list->last) {
    list->last->next = node;
  } else {
    list->first = node;
  }
  list->last = node;
  list->recent = node;
  ++list->count;
  return 1;
}

PtrListNode* GetPtrListAt(const PtrList* list, int index) {
  if (!list || index >= list->count) return nullptr;
  PtrListNode* node = list->first;
  for (int i = 0; i < index && node; ++i) node = node->next;
  return node;
}

void* GetPtrListData(const PtrListNode* node) { return node ? node->data : nullptr; }

int GetPtrListCount(const PtrList* list) {
  if (!list) return 0;
  int n = 0;
  for (const PtrListNode* node = list->first; node; node = node->next) ++n;
  return n;
}

void RemovePtrListAt(PtrList* list, int index) {
  if (!list || list->count <= 0) return;
  PtrListNode* node = GetPtrListAt(list, index);
  if (!node) return;
  if (node->prev) {
    node->prev->next = node->next;
  } else {
    list->first = node->next;
  }
  if (node->next) {
    node->next->prev = node->prev;
  } else {
    list->last = node->prev;
  }
  if (list->recent == node) list->recent = node->next;
  --list->count;
  std::free(node);
}

void ClearPtrList(PtrList* list) { ClearNodes(list, false); }

void FreePtrList(PtrList* list) {
  ClearPtrList(list);
  std::free(list);
}

void ClearTextList(PtrList* list) { ClearNodes(list, true); }

void FreeTextList(PtrList* list) {
  ClearTextList(list);
  std::free(list);
}
