// The lite XML document: an in-memory XML tree of element, text and other
// nodes with attributes, reached only through 28 virtual operations in a
// fixed order (ILiteXmlDocument), so that a derived class can put another
// tree behind the same interface - the plug-in forwards them to the host
// terminal's XML objects, which offer the same 28 operations in the same
// order. LiteXmlDocument keeps its own tree, whose node and attribute
// records and texts of up to 15 characters come from item pools.
//
// Node types: 0 never gets children and is placed by MakePath after the
// leading run of type-0 siblings; 1 an element without children (becomes 2
// when AddChild adds one); 2 an element with children (the root element,
// sections, nodes made on the way by MakePath); 3 a text node (the first
// child that GetNodeText and SetNodeText use; never gets children); 5
// skipped by every lookup by name, by the root-element search and by the
// profile's enumeration. Other values have no special handling.
//
// The root element is the first top-level node whose type is neither 0 nor
// 5. The document always keeps one: deleting the whole top level makes it
// again with the document name and type 2 (except DeleteNode of the whole
// tree, which leaves the document empty).
//
// Names compare without regard to ASCII case. Texts are narrow strings as
// the callers give them. A null node or parent means the top level. Not
// locked: one document is used by one thread at a time (its pools lock
// themselves, so two documents may live on two threads).
#pragma once

#include <cstddef>
#include <cstdint>

#include "addin/collections.h"

using HXMLNODE = void*;  // a node of a document, or null
using HXMLATTR = void*;  // an attribute of a node, or null

// The node argument of DeleteNode that means the whole tree.
inline HXMLNODE XmlWholeTree() { return reinterpret_cast<HXMLNODE>(static_cast<std::intptr_t>(-1)); }

// AddChild and MakePath flags.
constexpr int kXmlAddFirst = 0x4;     // insert as first child instead of last
constexpr int kXmlAlwaysNew = 0x8;    // always make a new node
constexpr int kXmlEmptyFound = 0x10;  // a found node loses its children and attributes

// The 28 operations, in slot order after the destructor (slot 0). The order
// is an interface with the host terminal: never reorder, insert or remove.
class ILiteXmlDocument {
 public:
  virtual ~ILiteXmlDocument() = default;                                                       // 0
  virtual int GetNodeType(HXMLNODE node) = 0;                                                  // 1
  virtual const char* GetNodeName(HXMLNODE node) = 0;                                          // 2
  virtual const char* GetNodeText(HXMLNODE node) = 0;                                          // 3
  virtual HXMLNODE GetParent(HXMLNODE node) = 0;                                               // 4
  virtual HXMLNODE GetFirstChild(HXMLNODE node) = 0;                                           // 5
  virtual HXMLNODE GetNextSibling(HXMLNODE node) = 0;                                          // 6
  virtual HXMLNODE FindChild(HXMLNODE parent, const char* name) = 0;                           // 7
  virtual HXMLNODE InsertNode(HXMLNODE parent, HXMLNODE after, const char* text, int length, int type) = 0;  // 8
  virtual HXMLNODE AddChild(HXMLNODE parent, const char* name, int type, int flags) = 0;       // 9
  virtual HXMLNODE MakePath(const char* path, int type, int flags) = 0;                        // 10
  virtual HXMLNODE FindPath(const char* path) = 0;                                             // 11
  virtual int DeleteChildrenByAttribute(HXMLNODE parent, const char* name, const char* attrName,
                                        const char* attrValue) = 0;                            // 12
  virtual int DeleteChildren(HXMLNODE parent, const char* name) = 0;                           // 13
  virtual int DeleteNode(HXMLNODE node) = 0;                                                   // 14
  virtual int SetNodeText(HXMLNODE node, const char* text) = 0;                                // 15
  virtual int SetNodeType(HXMLNODE node, int type) = 0;                                        // 16
  virtual const char* GetAttrName(HXMLATTR attr) = 0;                                          // 17
  virtual const char* GetAttributeValue(HXMLNODE node, const char* name) = 0;                  // 18
  virtual const char* GetAttrValue(HXMLATTR attr) = 0;                                         // 19
  virtual HXMLATTR GetFirstAttribute(HXMLNODE node) = 0;                                       // 20
  virtual HXMLATTR GetNextAttribute(HXMLATTR attr) = 0;                                        // 21
  virtual HXMLATTR FindAttribute(HXMLNODE node, const char* name) = 0;                         // 22
  virtual HXMLATTR AppendAttribute(HXMLNODE node, HXMLATTR last) = 0;                          // 23
  virtual HXMLATTR AddEmptyAttribute(HXMLNODE node, const char* name) = 0;                     // 24
  virtual int SetAttribute(HXMLNODE node, const char* name, const char* value) = 0;            // 25
  virtual int SetAttrNameValue(HXMLATTR attr, const char* name, const char* value) = 0;        // 26
  virtual int RemoveAttribute(HXMLNODE node, const char* name) = 0;                            // 27
  virtual int RemoveAllAttributes(HXMLNODE node) = 0;                                          // 28

  // Operations over the slots (they reach the tree only through them).
  // The first top-level node whose type is neither 0 nor 5, or null.
  HXMLNODE GetRootElement();
  // Deletes the whole top level (the root element is made again).
  int Clear() { return DeleteChildren(nullptr, nullptr); }
  // Deletes every child of node.
  int DeleteAllChildren(HXMLNODE node) { return DeleteChildren(node, nullptr); }
};

// A text of a node or attribute: n characters take n + 1 bytes, from the
// text pool when that is at most 16 (pooled 1), else from the heap.
struct LiteXmlString {
  char* text;  // zero-terminated; null only in a fresh zeroed record
  int pooled;  // 1: from the text pool, 0: a heap block
};

struct LiteXmlAttribute {
  LiteXmlAttribute* next;  // next attribute of the node
  LiteXmlString name;
  LiteXmlString value;
};

struct LiteXmlNode {
  LiteXmlNode* parent;               // null for a top-level node
  LiteXmlNode* next;                 // next sibling
  LiteXmlNode* firstChild;
  LiteXmlString name;                // for a text node: its text
  LiteXmlAttribute* firstAttribute;
  int type;
};

class LiteXmlDocument : public ILiteXmlDocument {
 public:
  // name: the document name and the root element's name (null: "ROOT"; at
  // most 255 characters are kept).
  explicit LiteXmlDocument(const char* name);
  ~LiteXmlDocument() override;
  LiteXmlDocument(const LiteXmlDocument&) = delete;
  LiteXmlDocument& operator=(const LiteXmlDocument&) = delete;

  // Slots 1, 2, 16, 17 and 19 need a record: without one they give -1,
  // "", 0, "" and "".
  int GetNodeType(HXMLNODE node) override;
  const char* GetNodeName(HXMLNODE node) override;
  const char* GetNodeText(HXMLNODE node) override;
  HXMLNODE GetParent(HXMLNODE node) override;
  HXMLNODE GetFirstChild(HXMLNODE node) override;
  HXMLNODE GetNextSibling(HXMLNODE node) override;
  HXMLNODE FindChild(HXMLNODE parent, const char* name) override;
  // Without a parent and with a type other than 0 and 5, the text becomes
  // the document name and the root element's, which is returned (no node is
  // made). Otherwise links a node with the first length bytes of text (a
  // negative length or one past the text's end: the whole text) directly
  // after `after` (null: first), or gives null when `after` is not a child
  // of parent. A node linked into an empty top level under a parent is
  // reported ("pParentNode==NULL", line 630) and becomes a top-level node.
  HXMLNODE InsertNode(HXMLNODE parent, HXMLNODE after, const char* text, int length, int type) override;
  HXMLNODE AddChild(HXMLNODE parent, const char* name, int type, int flags) override;
  HXMLNODE MakePath(const char* path, int type, int flags) override;
  HXMLNODE FindPath(const char* path) override;
  int DeleteChildrenByAttribute(HXMLNODE parent, const char* name, const char* attrName,
                                const char* attrValue) override;
  int DeleteChildren(HXMLNODE parent, const char* name) override;
  // 1 when done; 0 for no node or a node not linked in this document.
  int DeleteNode(HXMLNODE node) override;
  int SetNodeText(HXMLNODE node, const char* text) override;
  int SetNodeType(HXMLNODE node, int type) override;
  const char* GetAttrName(HXMLATTR attr) override;
  const char* GetAttributeValue(HXMLNODE node, const char* name) override;
  const char* GetAttrValue(HXMLATTR attr) override;
  HXMLATTR GetFirstAttribute(HXMLNODE node) override;
  HXMLATTR GetNextAttribute(HXMLATTR attr) override;
  HXMLATTR FindAttribute(HXMLNODE node, const char* name) override;
  // Links a new empty attribute behind last, or at the end of the node's
  // list when last is null. Null for no node or when no record is left.
  HXMLATTR AppendAttribute(HXMLNODE node, HXMLATTR last) override;
  HXMLATTR AddEmptyAttribute(HXMLNODE node, const char* name) override;
  int SetAttribute(HXMLNODE node, const char* name, const char* value) override;
  int SetAttrNameValue(HXMLATTR attr, const char* name, const char* value) override;
  int RemoveAttribute(HXMLNODE node, const char* name) override;
  int RemoveAllAttributes(HXMLNODE node) override;

  const char* GetDocumentName() const { return name_; }

 private:
  bool SetString(LiteXmlString* target, const char* text, std::size_t length);
  void FreeString(LiteXmlString* target);
  LiteXmlNode* NewNode(const char* name, std::size_t length, int type);
  void LinkAfter(LiteXmlNode* parent, LiteXmlNode* after, LiteXmlNode* node);
  void LinkLast(LiteXmlNode* parent, LiteXmlNode* node);
  void LinkAfterLeadingTypeZero(LiteXmlNode* parent, LiteXmlNode* node);
  bool Unlink(LiteXmlNode* node);
  void DeleteTree(LiteXmlNode* node);
  void FreeAttribute(LiteXmlAttribute* attr);
  void RemakeRootIfEmpty();
  void SetDocumentName(const char* name, std::size_t length);
  LiteXmlNode* RootElement() const;
  HXMLNODE WalkPath(const char* path, bool make, int type, int flags);

  FixedItemPool nodePool_;        // LiteXmlNode records, 128 a block
  FixedItemPool attributePool_;   // LiteXmlAttribute records, 128 a block
  FixedItemPool textPool_;        // 16-byte texts, 128 a block
  LiteXmlNode* firstTopLevel_ = nullptr;  // the top-level sibling list
  char name_[256] = {};           // the document name, at most 255 characters
};

// LiteXmlDocument with four fields set at construction and read by no
// operation: the caller's code page, 936, 65001 and a scale of 1.0.
class LiteXmlDocumentEx : public LiteXmlDocument {
 public:
  LiteXmlDocumentEx(const char* name, int codePage);

  int codePage = 0;            // as given (936 in every use)
  int ansiCodePage = 936;
  int utf8CodePage = 65001;
  float scale = 1.0f;
};

// The library's escape table, built once: for every byte value a flag (1
// for the bytes 1 to 31 and & < > "), the character reference "&#%d;" in a
// 7-byte slot and its length. The apostrophe and 127 are not in it.
struct XmlEscapeTable {
  std::uint8_t flag[256];
  char reference[256][7];
  std::uint8_t length[256];
};
const XmlEscapeTable& GetXmlEscapeTable();
