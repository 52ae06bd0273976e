// XML reader. ParseXmlNode reads one node head at a time (ParseXmlHead) and
// keeps its place in the tree with two pointers: the element whose content is
// being read (null at the top level of the call) and the last node of the
// chain at that level. An element with content makes its content the current
// level; a closing tag, a discarded node or the end of the text ends the
// current chain and returns to the enclosing element's sibling step.
#include "foundation/xml_reader.h"

#include <cstdlib>
#include <cstring>

#include "foundation/string_helpers.h"

namespace {

bool IsXmlSpace(char c) { return c == '\r' || c == '\n' || c == '\t' || c == ' '; }

bool EndsName(char c) {
  return c == 0 || IsXmlSpace(c) || c == '>' || c == '=' || c == '<' || c == '/';
}

const char* SkipSpace(const char* p) {
  while (IsXmlSpace(*p)) ++p;
  return p;
}

const char* NameEnd(const char* p) {
  while (!EndsName(*p)) ++p;
  return p;
}

// The first c at or after p, or the terminator.
const char* FindChar(const char* p, char c) {
  while (*p != 0 && *p != c) ++p;
  return p;
}

// One past the next '>' at or after p, or the terminator.
const char* PastNextGreater(const char* p) {
  p = FindChar(p, '>');
  return *p != 0 ? p + 1 : p;
}

// The first non-whitespace character after the one at p (p itself at the end).
const char* Lookahead(const char* p) { return *p == 0 ? p : SkipSpace(p + 1); }

// A zero-filled copy of [begin, end) with spare zero bytes after it.
char* CopyText(const char* begin, const char* end, size_t spare) {
  size_t length = static_cast<size_t>(end - begin);
  auto* copy = static_cast<char*>(calloc(length + spare, 1));
  if (copy != nullptr) memcpy(copy, begin, length);
  return copy;
}

void FreeXmlAttributes(XmlAttribute* attribute) {
  while (attribute != nullptr) {
    XmlAttribute* next = attribute->next;
    free(attribute->name);
    free(attribute->value);
    free(attribute);
    attribute = next;
  }
}

// Reads the attribute list at *cursor. Stops at '/', '?', '!', '>' or the
// terminator, leaving the cursor there. The value of an attribute runs from
// the first quote of either kind after the name's start to the next quote of
// either kind; '=' is not required. An attribute without an opening quote
// before the terminator is dropped.
XmlAttribute* ParseXmlAttributes(const char** cursor) {
  XmlAttribute* first = nullptr;
  XmlAttribute** tail = &first;
  const char* p = *cursor;
  for (;;) {
    p = SkipSpace(p);
    if (*p == 0 || *p == '/' || *p == '?' || *p == '!' || *p == '>') break;
    const char* nameEnd = NameEnd(p);
    const char* open = p;
    while (*open != 0 && *open != '"' && *open != '\'') ++open;
    if (*open == 0) {
      p = open;
      break;
    }
    const char* valueEnd = open + 1;
    while (*valueEnd != 0 && *valueEnd != '"' && *valueEnd != '\'') ++valueEnd;
    auto* attribute = static_cast<XmlAttribute*>(calloc(1, sizeof(XmlAttribute)));
    if (attribute == nullptr) {
      p = FindChar(p, 0);
      break;
    }
    attribute->name = CopyText(p, nameEnd, 2);
    attribute->value = CopyText(open + 1, valueEnd, 1);
    attribute->nameHash = attribute->name != nullptr ? HashName(attribute->name) : 0;
    *tail = attribute;
    tail = &attribute->next;
    p = *valueEnd != 0 ? valueEnd + 1 : valueEnd;
  }
  *cursor = p;
  return first;
}

// Reads one node's head at *cursor: its markup or text, its attributes and
// how its content starts. Returns the node (with *wantsContent set when the
// element's content follows at the cursor), or null when the node is
// discarded or nothing but whitespace is left; the cursor is moved past what
// was consumed.
XmlNode* ParseXmlHead(const char** cursor, bool* wantsContent) {
  *wantsContent = false;
  const char* p = SkipSpace(*cursor);
  if (*p == 0) {
    *cursor = p;
    return nullptr;
  }
  uint8_t kind = kXmlText;
  const char* start = p;
  const char* end = nullptr;
  if (*p == '<') {
    kind = kXmlElement;
    if (p[1] == '?') {
      kind = kXmlDeclaration;
      ++p;
    } else if (p[1] == '!') {
      kind = kXmlComment;
      ++p;
    }
    ++p;
    start = p;
    end = NameEnd(p);
  } else {
    end = FindChar(p + 1, '<');  // a text node has at least one character
  }
  if (kind == kXmlComment) {
    // The search starts after the scanned name, so '<!--x-->' needs a later "-->".
    const char* close = strstr(end, "-->");
    end = close != nullptr ? close + 2 : start;
  }
  if (end == start) {
    *cursor = PastNextGreater(p);
    return nullptr;
  }
  auto* node = static_cast<XmlNode*>(calloc(1, sizeof(XmlNode)));
  char* text = node != nullptr ? CopyText(start, end, 2) : nullptr;
  if (text == nullptr) {
    free(node);
    *cursor = FindChar(p, 0);
    return nullptr;
  }
  node->kind = kind;
  node->text = text;
  node->hash = HashName(text);
  if (kind == kXmlText) {
    *cursor = end;
    return node;
  }
  p = end;
  node->attributes = ParseXmlAttributes(&p);
  if (kind == kXmlDeclaration) {
    p = FindChar(p, '?');
    if (*p != 0) ++p;
  }
  p = SkipSpace(p);
  const char* look = Lookahead(p);
  if ((*p == '<' && *look == '/') || (*p == '/' && *look == '>')) {
    p = PastNextGreater(look);  // '<a/>', '<a />': no content
  } else if (kind != kXmlElement) {
    p = look;
  } else {
    if (*p != 0) ++p;  // the '>' that ends the start tag
    *wantsContent = true;
  }
  *cursor = p;
  return node;
}

}  // namespace

XmlNode* ParseXmlNode(const char** cursor) {
  if (cursor == nullptr || *cursor == nullptr || **cursor == 0) return nullptr;
  const char* p = *cursor;
  XmlNode* first = nullptr;   // first node of the top-level chain
  XmlNode* parent = nullptr;  // element whose content is being read
  XmlNode* previous = nullptr;  // last node of the chain at this level
  for (;;) {
    bool wantsContent = false;
    XmlNode* node = ParseXmlHead(&p, &wantsContent);
    if (node != nullptr) {
      node->parent = parent;
      node->previous = previous;
      if (previous != nullptr) previous->next = node;
      else if (parent != nullptr) parent->firstChild = node;
      else first = node;
      if (wantsContent) {
        parent = node;
        previous = nullptr;
        continue;
      }
      previous = node;
    } else {
      // A discarded node (or the end of the text) ends this chain.
      if (parent == nullptr) break;
      previous = parent;
      parent = parent->parent;
    }
    // Sibling step of `previous`: a closing tag ends the chain (its name is
    // not examined) and the enclosing element goes on with its own siblings.
    bool finished = false;
    for (;;) {
      p = SkipSpace(p);
      const char* look = Lookahead(p);
      if (!(*p == '<' && *look == '/')) break;
      p = PastNextGreater(look);
      if (parent == nullptr) {
        finished = true;
        break;
      }
      previous = parent;
      parent = parent->parent;
    }
    if (finished || *p == 0) break;
  }
  *cursor = p;
  return first;
}

void FreeXmlTree(XmlNode* node) {
  // Splices each node's content into the chain in front of its next sibling,
  // so the whole tree is freed as one flat chain.
  while (node != nullptr) {
    if (node->firstChild != nullptr) {
      XmlNode* last = node->firstChild;
      while (last->next != nullptr) last = last->next;
      last->next = node->next;
      node->next = node->firstChild;
      node->firstChild = nullptr;
    }
    XmlNode* next = node->next;
    FreeXmlAttributes(node->attributes);
    free(node->text);
    free(node);
    node = next;
  }
}

XmlNode* FindXmlSibling(XmlNode* node, const char* name) {
  if (name == nullptr) return nullptr;
  int hash = HashName(name);
  for (; node != nullptr; node = node->next) {
    if (node->hash == hash) return node;
  }
  return nullptr;
}

XmlNode* FindXmlNextSibling(XmlNode* node, const char* name) {
  return node != nullptr ? FindXmlSibling(node->next, name) : nullptr;
}

XmlNode* FindXmlChild(XmlNode* node, const char* name) {
  return node != nullptr ? FindXmlSibling(node->firstChild, name) : nullptr;
}

const char* FindXmlAttribute(const XmlAttribute* attribute, const char* name) {
  if (name == nullptr) return nullptr;
  int hash = HashName(name);
  for (; attribute != nullptr; attribute = attribute->next) {
    if (attribute->nameHash == hash) return attribute->value;
  }
  return nullptr;
}

const char* XmlFirstChildText(const XmlNode* node) {
  if (node == nullptr || node->firstChild == nullptr) return nullptr;
  return node->firstChild->text;
}

const char* GetXmlValue(XmlNode* node, const char* name) {
  return XmlFirstChildText(FindXmlSibling(node, name));
}

char* ExtractXmlTagText(const char* text, const char* name) {
  if (text == nullptr || name == nullptr) return nullptr;
  size_t nameLength = strlen(name);
  auto* open = static_cast<char*>(malloc(nameLength + 8));
  auto* close = static_cast<char*>(malloc(nameLength + 8));
  char* result = nullptr;
  if (open != nullptr && close != nullptr) {
    memcpy(open, "<", 1);
    memcpy(open + 1, name, nameLength);
    memcpy(open + 1 + nameLength, ">", 2);
    memcpy(close, "</", 2);
    memcpy(close + 2, name, nameLength);
    memcpy(close + 2 + nameLength, ">", 2);
    const char* begin = strstr(text, open);
    // The closing tag is looked for after the opening one, so a stray closing
    // tag in front never gives a negative length.
    const char* end = begin != nullptr ? strstr(begin + nameLength + 2, close) : nullptr;
    if (end != nullptr) result = CopyText(begin + nameLength + 2, end, 2);
  }
  free(open);
  free(close);
  return result;
}
