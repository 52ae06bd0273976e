// The XML profile: a settings reader and writer over any ILiteXmlDocument,
// in the manner of a property exchange. A profile is either loading
// (reading) or storing (writing); sections are element nodes, settings are
// the attributes of a section, and lists of like sections are enumerated by
// a name pattern. Every operation reaches the document through its virtual
// slots. Sections and enumerators are small value objects kept on the
// caller's stack; they own nothing and must not outlive their profile. A
// failed consistency check is reported (ShowVerifyReport) and the operation
// goes on.
#pragma once

#include "addin/lite_xml.h"

class XmlProfile;
class XmlProfileEnum;

class XmlProfileSection {
 public:
  XmlProfileSection(XmlProfile* profile, HXMLNODE node, HXMLNODE defaultNode)
      : profile_(profile), node_(node), defaultNode_(defaultNode) {}

  // A section without a node is invalid; it may still be asked and finds
  // nothing.
  bool IsValid() const { return node_ != nullptr; }
  HXMLNODE GetNode() const { return node_; }

  // The child section name: made (AddChild, type 2, flags) when storing or
  // when flags bit 0 is set, else looked up. No node gives no child.
  XmlProfileSection GetChild(const char* name, int flags);
  // The children matching pattern (see XmlProfileEnum).
  XmlProfileEnum Enumerate(const char* pattern, int count);

  // Copies the value of key (or, when it is missing or - in default-marker
  // mode - "[default]", the default document's value) into buffer, cut to
  // size - 1 bytes and terminated, and returns 1. Without a value copies
  // defaultText (null: empty) the same way and returns 0. Nothing is
  // written when size <= 0.
  int ReadString(const char* key, char* buffer, int size, const char* defaultText);
  // Reads key; when found *out := ParseBoolText of it and returns 1, else
  // *out := defaultValue and returns 0.
  int ReadBool(const char* key, int* out, int defaultValue);
  // Sets the attribute key to value (whether loading or storing); the
  // result of SetAttribute.
  int WriteString(const char* key, const char* value);

  // The profile's view for this section (each reports line 231, 265, 270
  // or 275 without a profile and gives 0 or null).
  int UsesDefaultMarker();
  ILiteXmlDocument* GetDocument();
  ILiteXmlDocument* GetDefaultDocument();

 private:
  const char* LookUp(const char* key);

  XmlProfile* profile_;    // the profile, or null (then every call finds nothing)
  HXMLNODE node_;          // the section's node, or null
  HXMLNODE defaultNode_;   // the matching node of the default document, or null
};

class XmlProfile {
 public:
  // loading: 1 reads, 0 writes. flags bits 0 and 1 turn on the
  // default-marker mode. The document is the caller's and must outlive the
  // profile.
  XmlProfile(ILiteXmlDocument* document, int loading, int flags);
  ~XmlProfile();
  XmlProfile(const XmlProfile&) = delete;
  XmlProfile& operator=(const XmlProfile&) = delete;

  int IsLoading() const { return loading_; }
  int IsStoring() const { return !loading_; }
  ILiteXmlDocument* GetDocument() const { return document_; }
  ILiteXmlDocument* GetDefaultDocument() const { return defaultDocument_; }
  int UsesDefaultMarker() const { return (flags_ & 3) != 0; }

  // The section of the root element.
  XmlProfileSection GetRoot();
  // The root's child section name (as XmlProfileSection::GetChild); without
  // a root element reports "m_hRoot!=NULL" (line 108) and goes on.
  XmlProfileSection GetSection(const char* name, int flags);

 private:
  friend class XmlProfileSection;
  XmlProfileSection ChildOf(HXMLNODE node, HXMLNODE defaultNode, const char* name, int flags);

  int loading_;                                 // 1 loading, 0 storing
  int flags_;                                   // bits 0 and 1: default-marker mode
  ILiteXmlDocument* document_;                  // the caller's document
  int owned_ = 0;                               // never set: the document stays the caller's
  HXMLNODE root_;                               // the root element at construction
  ILiteXmlDocument* defaultDocument_ = nullptr; // none: no operation sets one
  HXMLNODE defaultRoot_ = nullptr;
};

class XmlProfileEnum {
 public:
  // Copies pattern (null: empty; at most 259 characters); '*' or '?' in it
  // make the match a wildcard match (case-sensitive), else names compare
  // without regard to case. When storing with a count >= 0, replaces the
  // parent's children named pattern by count new empty sections (storing
  // with wildcards is reported, line 142). No parent: nothing is changed and
  // the count is 0.
  XmlProfileEnum(XmlProfile* profile, HXMLNODE parent, const char* pattern, int count);

  // Matching children (every child, type 5 too, for an empty pattern).
  int GetCount() const { return count_; }
  // The first matching child (type 5 skipped), or null.
  HXMLNODE First();
  // *section := the section of *position; *position := the next matching
  // sibling, or null.
  void Next(XmlProfileSection* section, HXMLNODE* position);

 private:
  bool Matches(HXMLNODE node);

  XmlProfile* profile_;      // the profile
  HXMLNODE parent_;          // whose children are enumerated
  char pattern_[260] = {};   // the name pattern
  bool wildcard_ = false;    // the pattern holds '*' or '?'
  int count_ = 0;            // matching children at construction
};
