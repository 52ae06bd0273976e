// PtrList: a plain doubly linked list of data pointers (menus, navigation,
// search lists), and TextList, the same list owning its texts.
//
// Invariants of a head: count is the number of nodes reachable from first;
// first and last are the two ends (both null when the list is empty);
// recent is the most recently appended node still in the list, or null.
// Heads and nodes come from calloc (zero-filled) and are freed with free();
// the texts of a TextList must come from malloc/calloc as well, because
// clearing the list frees them with free().
//
// No locks: a list belongs to one owner and is used on its owner's thread.
#pragma once

#include <cstdint>

struct PtrListNode {
  void* data;          // the element, not owned (owned text for a TextList)
  PtrListNode* prev;   // previous node, null for the first
  PtrListNode* next;   // following node, null for the last
};

struct PtrList {
  int32_t count;        // number of nodes
  PtrListNode* first;   // head end, null when empty
  PtrListNode* last;    // tail end, null when empty
  PtrListNode* recent;  // most recently appended node, null when removed
};

// New empty head; null when allocation fails. Freed with FreePtrList or
// FreeTextList.
PtrList* CreatePtrList();

// Appends a node holding data at the tail; it becomes the last and the most
// recently appended node (and the first when the list was empty); count + 1.
// Result: 1 when appended, 0 for a null list or when allocation fails (the
// data is then not in the list and stays the caller's).
int AppendPtrList(PtrList* list, void* data);

// Node at index counted from the first; null for a null list or an index not
// below the count. A negative index gives the first node.
PtrListNode* GetPtrListAt(const PtrList* list, int index);

// The node's data; null for a null node.
void* GetPtrListData(const PtrListNode* node);

// Number of nodes, counted by walking from the first; 0 for a null list.
int GetPtrListCount(const PtrList* list);

// Unlinks and frees the node at index (never its data); nothing for a null or
// empty list or an index not below the count (a negative index removes the
// first node, as GetPtrListAt finds it). When the node was the most recently
// appended one, that mark moves to its next node (null for the tail).
void RemovePtrListAt(PtrList* list, int index);

// Frees count nodes from the first on (not their data) and zeroes the head.
void ClearPtrList(PtrList* list);

// ClearPtrList, then frees the head. Null is allowed.
void FreePtrList(PtrList* list);

// Frees the text (free()) and the node of count nodes from the first on and
// zeroes the head.
void ClearTextList(PtrList* list);

// ClearTextList, then frees the head. Null is allowed.
void FreeTextList(PtrList* list);
