// XML reader: the small element reader of the settings, server-directory and
// help files and of the XML service replies.
//
// It turns a zero-terminated byte text (UTF-8, never decoded) into chains of
// XmlNode records. It knows elements, quoted attributes, text, declarations
// ('<?') and other markup ('<!'); it decodes no entities, does not check that
// closing tags match and reports no errors other than leaving nodes out.
// Names are compared only by HashName: two names with equal hashes are the
// same name. Parsing never reads past the text's terminating zero; truncated
// markup ends the chains with the nodes read so far. Sibling chains and
// nesting are built iteratively (parent links), so neither costs stack.
//
// Ownership: whoever holds the first node of a chain owns the chain and frees
// it with FreeXmlTree. Every text of the tree is a copy; the parsed text is
// never modified or referenced. Records and texts come from malloc.
#pragma once

#include <cstdint>

// Node kinds.
enum XmlNodeKind : uint8_t {
  kXmlElement = 0,
  kXmlText = 1,
  kXmlDeclaration = 2,  // markup opened by '<?'
  kXmlComment = 3,      // any markup opened by '<!'
};

struct XmlAttribute {
  int32_t nameHash;     // HashName(name)
  char* name;           // owned, two spare zero bytes
  char* value;          // owned, one spare zero byte
  XmlAttribute* next;   // owned; the list keeps the order of the text
};

struct XmlNode {
  uint8_t kind;              // XmlNodeKind
  int32_t hash;              // HashName(text)
  char* text;                // owned, two spare zero bytes: name, characters or comment body
  XmlAttribute* attributes;  // owned; elements and declarations; null when none
  XmlNode* parent;           // element whose content holds the node; null at the top level
  XmlNode* firstChild;       // owned; null when the content is empty
  XmlNode* previous;         // null for the first node of a chain
  XmlNode* next;             // owned; null at the end of the chain
};

// Parses the chain that starts at *cursor and moves *cursor past everything
// consumed. Null (cursor unchanged) when cursor or *cursor is null or at the
// terminator; null as well when the first node is discarded (empty name,
// stray closing tag, unterminated comment) or only whitespace is left.
XmlNode* ParseXmlNode(const char** cursor);

// Frees the node, its attributes and text, its whole content and all its
// following siblings. Iterative. Null is allowed. Does not unlink the node
// from a preceding sibling or parent that is not freed.
void FreeXmlTree(XmlNode* node);

// The node itself or the first following sibling whose hash equals
// HashName(name); null when none (or node or name is null).
XmlNode* FindXmlSibling(XmlNode* node, const char* name);

// The same search starting at node's next sibling.
XmlNode* FindXmlNextSibling(XmlNode* node, const char* name);

// The first node of node's content whose hash equals HashName(name), or null.
XmlNode* FindXmlChild(XmlNode* node, const char* name);

// The value of the first attribute of the list whose name hash equals
// HashName(name), or null. attribute is a node's first attribute (may be null).
const char* FindXmlAttribute(const XmlAttribute* attribute, const char* name);

// The text of node's first child ('v' for '<k>v</k>'); null when node is null
// or has no content.
const char* XmlFirstChildText(const XmlNode* node);

// XmlFirstChildText(FindXmlSibling(node, name)): the value of a top-level
// '<name>value</name>' entry, or null (absent or empty).
const char* GetXmlValue(XmlNode* node, const char* name);

// A new text (caller frees with free(); two zero bytes after the copy) with
// the bytes between the first '<name>' of the text and the first '</name>'
// after it; an empty text when the two are adjacent; null when either tag is
// missing or an argument is null. Plain text search: an opening tag carrying
// attributes is not found.
char* ExtractXmlTagText(const char* text, const char* name);
