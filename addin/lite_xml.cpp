#include "addin/lite_xml.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "addin/framework_utils.h"

namespace {

constexpr int kItemsPerBlock = 128;
constexpr std::size_t kPooledTextBytes = 16;
constexpr std::size_t kMaxNameLength = 255;
const char kXmlSource[] = "Kelvra\\src\\litexml\\xml";

LiteXmlNode* AsNode(HXMLNODE node) { return static_cast<LiteXmlNode*>(node); }
LiteXmlAttribute* AsAttr(HXMLATTR attr) { return static_cast<LiteXmlAttribute*>(attr); }

const char* TextOf(const LiteXmlString& s) { return s.text ? s.text : ""; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

HXMLNODE ILiteXmlDocument::GetRootElement() {
  for (HXMLNODE node = GetFirstChild(nullptr); node; node = GetNextSibling(node)) {
    const int type = GetNodeType(node);
    if (type != 0 && type != 5) return node;
  }
  return nullptr;
}

LiteXmlDocument::LiteXmlDocument(const char* name) {
  nodePool_.Init(1, kItemsPerBlock, sizeof(LiteXmlNode), true);
  attributePool_.Init(1, kItemsPerBlock, sizeof(LiteXmlAttribute), true);
  textPool_.Init(1, kItemsPerBlock, kPooledTextBytes, true);
  if (!name) name = "ROOT";
  SetDocumentName(name, std::strlen(name));
  LiteXmlDocument::AddChild(nullptr, name_, 2, 2);
}

LiteXmlDocument::~LiteXmlDocument() {
  LiteXmlDocument::DeleteChildren(nullptr, nullptr);
  while (LiteXmlNode* node = firstTopLevel_) {
    firstTopLevel_ = node->next;
    DeleteTree(node);
  }
}

void LiteXmlDocument::SetDocumentName(const char* name, std::size_t length) {
  char copy[kMaxNameLength + 1] = {};
  if (name) std::memcpy(copy, name, length < kMaxNameLength ? length : kMaxNameLength);
  std::memcpy(name_, copy, sizeof name_);
}

bool LiteXmlDocument::SetString(LiteXmlString* target, const char* text, std::size_t length) {
  LiteXmlString fresh{nullptr, 0};
  if (!text) length = 0;
  if (length + 1 <= kPooledTextBytes) {
    fresh.text = static_cast<char*>(textPool_.Alloc());
    fresh.pooled = 1;
  } else {
    fresh.text = static_cast<char*>(std::calloc(length + 1, 1));
  }
  if (!fresh.text) return false;
  if (length > 0) std::memcpy(fresh.text, text, length);
  fresh.text[length] = 0;
  FreeString(target);
  *target = fresh;
  return true;
}

void LiteXmlDocument::FreeString(LiteXmlString* target) {
  if (target->text) {
    if (target->pooled) {
      textPool_.Free(target->text);
    } else {
      std::free(target->text);
    }
  }
  target->text = nullptr;
  target->pooled = 0;
}

LiteXmlNode* LiteXmlDocument::NewNode(const char* name, std::size_t length, int type) {
  auto* node = static_cast<LiteXmlNode*>(nodePool_.Alloc());
  if (!node) return nullptr;
  std::memset(node, 0, sizeof *node);
  node->type = type;
  if (!SetString(&node->name, name, length)) {
    nodePool_.Free(node);
    return nullptr;
  }
  return node;
}

void LiteXmlDocument::LinkAfter(LiteXmlNode* parent, LiteXmlNode* after, LiteXmlNode* node) {
  node->parent = parent;
  if (after) {
    node->next = after->next;
    after->next = node;
    return;
  }
  LiteXmlNode*& first = parent ? parent->firstChild : firstTopLevel_;
  node->next = first;
  first = node;
}

void LiteXmlDocument::LinkLast(LiteXmlNode* parent, LiteXmlNode* node) {
  LiteXmlNode* last = parent ? parent->firstChild : firstTopLevel_;
  while (last && last->next) last = last->next;
  LinkAfter(parent, last, node);
}

void LiteXmlDocument::LinkAfterLeadingTypeZero(LiteXmlNode* parent, LiteXmlNode* node) {
  LiteXmlNode* after = nullptr;
  for (LiteXmlNode* n = parent ? parent->firstChild : firstTopLevel_; n && n->type == 0; n = n->next) after = n;
  LinkAfter(parent, after, node);
}

bool LiteXmlDocument::Unlink(LiteXmlNode* node) {
  for (LiteXmlNode** link = node->parent ? &node->parent->firstChild : &firstTopLevel_; *link;
       link = &(*link)->next) {
    if (*link == node) {
      *link = node->next;
      node->next = nullptr;
      return true;
    }
  }
  return false;
}

void LiteXmlDocument::DeleteTree(LiteXmlNode* node) {
  while (LiteXmlNode* child = node->firstChild) {
    node->firstChild = child->next;
    DeleteTree(child);
  }
  LiteXmlDocument::RemoveAllAttributes(node);
  FreeString(&node->name);
  nodePool_.Free(node);
}

void LiteXmlDocument::FreeAttribute(LiteXmlAttribute* attr) {
  FreeString(&attr->name);
  FreeString(&attr->value);
  attributePool_.Free(attr);
}

void LiteXmlDocument::RemakeRootIfEmpty() {
  if (firstTopLevel_) return;
  if (LiteXmlNode* root = NewNode(name_, std::strlen(name_), 2)) LinkAfter(nullptr, nullptr, root);
}

LiteXmlNode* LiteXmlDocument::RootElement() const {
  for (LiteXmlNode* n = firstTopLevel_; n; n = n->next) {
    if (n->type != 0 && n->type != 5) return n;
  }
  return nullptr;
}

int LiteXmlDocument::GetNodeType(HXMLNODE node) { return node ? AsNode(node)->type : -1; }

const char* LiteXmlDocument::GetNodeName(HXMLNODE node) { return node ? TextOf(AsNode(node)->name) : ""; }

const char* LiteXmlDocument::GetNodeText(HXMLNODE node) {
  if (!node) return nullptr;
  LiteXmlNode* child = AsNode(node)->firstChild;
  return child && child->type == 3 ? TextOf(child->name) : nullptr;
}

HXMLNODE LiteXmlDocument::GetParent(HXMLNODE node) { return node ? AsNode(node)->parent : nullptr; }

HXMLNODE LiteXmlDocument::GetFirstChild(HXMLNODE node) {
  return node ? AsNode(node)->firstChild : firstTopLevel_;
}

HXMLNODE LiteXmlDocument::GetNextSibling(HXMLNODE node) { return node ? AsNode(node)->next : nullptr; }

HXMLNODE LiteXmlDocument::FindChild(HXMLNODE parent, const char* name) {
  if (!name) return nullptr;
  for (LiteXmlNode* n = parent ? AsNode(parent)->firstChild : firstTopLevel_; n; n = n->next) {
    if (n->type != 5 && EqualsNoCase(TextOf(n->name), name)) return n;
  }
  return nullptr;
}

HXMLNODE LiteXmlDocument::InsertNode(HXMLNODE parent, HXMLNODE after, const char* text, int length, int type) {
  LiteXmlNode* p = AsNode(parent);
  const std::size_t available = text ? std::strlen(text) : 0;
  const std::size_t count =
      length < 0 || static_cast<std::size_t>(length) > available ? available : static_cast<std::size_t>(length);
  if (!p && type != 0 && type != 5) {
    SetDocumentName(text, count);
    if (LiteXmlNode* root = RootElement()) {
      if (!EqualsNoCase(TextOf(root->name), name_)) SetString(&root->name, name_, std::strlen(name_));
      return root;
    }
  }
  if (after) {
    bool isChild = false;
    for (LiteXmlNode* n = p ? p->firstChild : firstTopLevel_; n && !isChild; n = n->next) isChild = n == after;
    if (!isChild) return nullptr;
  }
  LiteXmlNode* node = NewNode(text, count, type);
  if (!node) return nullptr;
  if (!firstTopLevel_ && p) {
    // A parent while the document has no node at all cannot be one of ours.
    ShowVerifyReport(kXmlSource, 630, "pParentNode==NULL");
    LinkAfter(nullptr, nullptr, node);
    return node;
  }
  LinkAfter(p, AsNode(after), node);
  return node;
}

HXMLNODE LiteXmlDocument::AddChild(HXMLNODE parent, const char* name, int type, int flags) {
  LiteXmlNode* p = AsNode(parent);
  if (p && (p->type == 0 || p->type == 3)) return nullptr;
  if (!name) name = "";
  if (!p && type != 0) {
    SetDocumentName(name, std::strlen(name));
    LiteXmlNode* root = RootElement();
    if (root && !EqualsNoCase(TextOf(root->name), name)) SetString(&root->name, name, std::strlen(name));
    flags &= ~kXmlAlwaysNew;
  }
  if (!(flags & kXmlAlwaysNew)) {
    for (LiteXmlNode* n = p ? p->firstChild : firstTopLevel_; n; n = n->next) {
      if (n->type == 5 || !EqualsNoCase(TextOf(n->name), name)) continue;
      if (flags & kXmlEmptyFound) {
        while (LiteXmlNode* child = n->firstChild) {
          n->firstChild = child->next;
          DeleteTree(child);
        }
        LiteXmlDocument::RemoveAllAttributes(n);
      }
      return n;
    }
  }
  LiteXmlNode* node = NewNode(name, std::strlen(name), type);
  if (!node) return nullptr;
  if (flags & kXmlAddFirst) {
    LinkAfter(p, nullptr, node);
  } else {
    LinkLast(p, node);
  }
  if (p && p->type == 1) p->type = 2;
  return node;
}

HXMLNODE LiteXmlDocument::WalkPath(const char* path, bool make, int type, int flags) {
  if (!path) return nullptr;
  const std::string copy(path);
  std::size_t at = 0;
  while (at < copy.size() && IsBlank(copy[at])) ++at;
  LiteXmlNode* current = nullptr;
  if (copy.compare(at, 2, "//") == 0) current = AsNode(FindChild(nullptr, name_));
  bool madeEarlier = false;
  for (;;) {
    while (at < copy.size() && (IsBlank(copy[at]) || copy[at] == '/')) ++at;
    if (at >= copy.size()) return current;
    std::size_t end = copy.find('/', at);
    if (end == std::string::npos) end = copy.size();
    std::size_t segmentEnd = end;
    while (segmentEnd > at && IsBlank(copy[segmentEnd - 1])) --segmentEnd;
    const std::string segment = copy.substr(at, segmentEnd - at);
    at = end;
    if (LiteXmlNode* found = AsNode(FindChild(current, segment.c_str()))) {
      current = found;
      continue;
    }
    if (!make) return nullptr;
    if (madeEarlier) current->type = 2;
    if (current && current->type != 2) return nullptr;
    LiteXmlNode* node = NewNode(segment.c_str(), segment.size(), type);
    if (!node) return nullptr;
    if (flags & kXmlAddFirst) {
      LinkAfter(current, nullptr, node);
    } else if (type != 0) {
      LinkLast(current, node);
    } else {
      LinkAfterLeadingTypeZero(current, node);
    }
    current = node;
    madeEarlier = true;
  }
}

HXMLNODE LiteXmlDocument::MakePath(const char* path, int type, int flags) { return WalkPath(path, true, type, flags); }

HXMLNODE LiteXmlDocument::FindPath(const char* path) { return WalkPath(path, false, 0, 0); }

int LiteXmlDocument::DeleteChildrenByAttribute(HXMLNODE parent, const char* name, const char* attrName,
                                               const char* attrValue) {
  LiteXmlNode** link = parent ? &AsNode(parent)->firstChild : &firstTopLevel_;
  while (LiteXmlNode* n = *link) {
    const char* value = LiteXmlDocument::GetAttributeValue(n, attrName);
    const bool match = (!name || EqualsNoCase(TextOf(n->name), name)) && value &&
                       (!attrValue || EqualsNoCase(value, attrValue));
    if (!match) {
      link = &n->next;
      continue;
    }
    *link = n->next;
    DeleteTree(n);
  }
  RemakeRootIfEmpty();
  return 1;
}

int LiteXmlDocument::DeleteChildren(HXMLNODE parent, const char* name) {
  LiteXmlNode** link = parent ? &AsNode(parent)->firstChild : &firstTopLevel_;
  while (LiteXmlNode* n = *link) {
    if (name && !EqualsNoCase(TextOf(n->name), name)) {
      link = &n->next;
      continue;
    }
    *link = n->next;
    DeleteTree(n);
  }
  RemakeRootIfEmpty();
  return 1;
}

int LiteXmlDocument::DeleteNode(HXMLNODE node) {
  if (!node) return 0;
  if (node == XmlWholeTree()) {
    LiteXmlDocument::DeleteChildren(nullptr, nullptr);
    while (LiteXmlNode* n = firstTopLevel_) {
      firstTopLevel_ = n->next;
      DeleteTree(n);
    }
    return 1;
  }
  LiteXmlNode* n = AsNode(node);
  if (!Unlink(n)) return 0;
  DeleteTree(n);
  RemakeRootIfEmpty();
  return 1;
}

int LiteXmlDocument::SetNodeText(HXMLNODE node, const char* text) {
  if (!node || !text) return 0;
  LiteXmlNode* n = AsNode(node);
  if (!n->firstChild) {
    LiteXmlNode* child = NewNode(text, std::strlen(text), 3);
    if (!child) return 0;
    LinkAfter(n, nullptr, child);
    return 1;
  }
  if (n->firstChild->type != 3) return 0;
  return SetString(&n->firstChild->name, text, std::strlen(text)) ? 1 : 0;
}

int LiteXmlDocument::SetNodeType(HXMLNODE node, int type) {
  if (!node) return 0;
  AsNode(node)->type = type;
  return 1;
}

const char* LiteXmlDocument::GetAttrName(HXMLATTR attr) { return attr ? TextOf(AsAttr(attr)->name) : ""; }

const char* LiteXmlDocument::GetAttributeValue(HXMLNODE node, const char* name) {
  LiteXmlAttribute* attr = AsAttr(LiteXmlDocument::FindAttribute(node, name));
  return attr ? TextOf(attr->value) : nullptr;
}

const char* LiteXmlDocument::GetAttrValue(HXMLATTR attr) { return attr ? TextOf(AsAttr(attr)->value) : ""; }

HXMLATTR LiteXmlDocument::GetFirstAttribute(HXMLNODE node) { return node ? AsNode(node)->firstAttribute : nullptr; }

HXMLATTR LiteXmlDocument::GetNextAttribute(HXMLATTR attr) { return attr ? AsAttr(attr)->next : nullptr; }

HXMLATTR LiteXmlDocument::FindAttribute(HXMLNODE node, const char* name) {
  if (!node || !name) return nullptr;
  for (LiteXmlAttribute* a = AsNode(node)->firstAttribute; a; a = a->next) {
    if (EqualsNoCase(TextOf(a->name), name)) return a;
  }
  return nullptr;
}

HXMLATTR LiteXmlDocument::AppendAttribute(HXMLNODE node, HXMLATTR last) {
  if (!node) return nullptr;
  LiteXmlNode* n = AsNode(node);
  LiteXmlAttribute** link = &n->firstAttribute;
  if (last) {
    while (*link && *link != last) link = &(*link)->next;
    if (!*link) return nullptr;  // not an attribute of this node
    link = &(*link)->next;
  } else {
    while (*link) link = &(*link)->next;
  }
  auto* attr = static_cast<LiteXmlAttribute*>(attributePool_.Alloc());
  if (!attr) return nullptr;
  std::memset(attr, 0, sizeof *attr);
  attr->next = *link;
  *link = attr;
  return attr;
}

HXMLATTR LiteXmlDocument::AddEmptyAttribute(HXMLNODE node, const char* name) {
  if (!node || !name) return nullptr;
  auto* attr = AsAttr(LiteXmlDocument::FindAttribute(node, name));
  if (!attr) {
    attr = AsAttr(LiteXmlDocument::AppendAttribute(node, nullptr));
    if (!attr || !SetString(&attr->name, name, std::strlen(name))) return attr;
  }
  SetString(&attr->value, "", 0);
  return attr;
}

int LiteXmlDocument::SetAttribute(HXMLNODE node, const char* name, const char* value) {
  if (!node || !name || !value) return 0;
  auto* attr = AsAttr(LiteXmlDocument::FindAttribute(node, name));
  if (!attr) {
    attr = AsAttr(LiteXmlDocument::AppendAttribute(node, nullptr));
    if (!attr || !SetString(&attr->name, name, std::strlen(name))) return 0;
  }
  return SetString(&attr->value, value, std::strlen(value)) ? 1 : 0;
}

int LiteXmlDocument::SetAttrNameValue(HXMLATTR attr, const char* name, const char* value) {
  if (!attr) return 0;
  LiteXmlAttribute* a = AsAttr(attr);
  const bool ok = SetString(&a->name, name, name ? std::strlen(name) : 0) &&
                  SetString(&a->value, value, value ? std::strlen(value) : 0);
  return ok ? 1 : 0;
}

int LiteXmlDocument::RemoveAttribute(HXMLNODE node, const char* name) {
  if (!node || !name) return 0;
  LiteXmlAttribute** link = &AsNode(node)->firstAttribute;
  while (LiteXmlAttribute* a = *link) {
    if (!EqualsNoCase(TextOf(a->name), name)) {
      link = &a->next;
      continue;
    }
    *link = a->next;
    FreeAttribute(a);
  }
  return 1;
}

int LiteXmlDocument::RemoveAllAttributes(HXMLNODE node) {
  if (!node) return 1;
  LiteXmlNode* n = AsNode(node);
  while (LiteXmlAttribute* a = n->firstAttribute) {
    n->firstAttribute = a->next;
    FreeAttribute(a);
  }
  return 1;
}

LiteXmlDocumentEx::LiteXmlDocumentEx(const char* name, int codePage) : LiteXmlDocument(name), codePage(codePage) {}

const XmlEscapeTable& GetXmlEscapeTable() {
  static const XmlEscapeTable table = [] {
    XmlEscapeTable t{};
    for (int b = 0; b < 256; ++b) {
      t.flag[b] = (b >= 1 && b <= 31) || b == '&' || b == '<' || b == '>' || b == '"';
      const int n = std::snprintf(t.reference[b], sizeof t.reference[b], "&#%d;", b);
      t.length[b] = static_cast<std::uint8_t>(n < static_cast<int>(sizeof t.reference[b]) ? n : 6);
    }
    return t;
  }();
  return table;
}
