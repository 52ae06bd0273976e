#include "addin/xml_profile.h"

#include <cstring>

#include "addin/framework_utils.h"

namespace {

const char kProfileSource[] = "Kelvra\\src\\litexml\\xmlprofile";

// Copies text into buffer cut to size - 1 bytes and terminated; nothing
// when size <= 0.
void CopyCut(char* buffer, int size, const char* text) {
  if (!buffer || size <= 0) return;
  std::size_t n = std::strlen(text);
  if (n > static_cast<std::size_t>(size - 1)) n = static_cast<std::size_t>(size - 1);
  std::memcpy(buffer, text, n);
  buffer[n] = 0;
}

}  // namespace

XmlProfile::XmlProfile(ILiteXmlDocument* document, int loading, int flags)
    : loading_(loading), flags_(flags), document_(document),
      root_(document ? document->GetRootElement() : nullptr) {}

XmlProfile::~XmlProfile() {
  if (owned_ && document_) {
    document_->Clear();
    delete document_;
  }
}

XmlProfileSection XmlProfile::GetRoot() { return XmlProfileSection(this, root_, defaultRoot_); }

XmlProfileSection XmlProfile::GetSection(const char* name, int flags) {
  if (!root_) ShowVerifyReport(kProfileSource, 108, "m_hRoot!=NULL");
  return ChildOf(root_, defaultRoot_, name, flags);
}

XmlProfileSection XmlProfile::ChildOf(HXMLNODE node, HXMLNODE defaultNode, const char* name, int flags) {
  HXMLNODE defaultChild =
      defaultDocument_ && defaultNode ? defaultDocument_->FindChild(defaultNode, name) : nullptr;
  if (!document_) return XmlProfileSection(this, nullptr, defaultChild);
  HXMLNODE child = IsStoring() || (flags & 1) ? document_->AddChild(node, name, 2, flags)
                                              : document_->FindChild(node, name);
  return XmlProfileSection(this, child, defaultChild);
}

XmlProfileSection XmlProfileSection::GetChild(const char* name, int flags) {
  if (!profile_) {
    ShowVerifyReport(kProfileSource, 275, "m_pPX!=NULL");
    return XmlProfileSection(nullptr, nullptr, nullptr);
  }
  if (!node_) return XmlProfileSection(profile_, nullptr, nullptr);
  return profile_->ChildOf(node_, defaultNode_, name, flags);
}

XmlProfileEnum XmlProfileSection::Enumerate(const char* pattern, int count) {
  if (!profile_) ShowVerifyReport(kProfileSource, 288, "m_pPX!=NULL");
  return XmlProfileEnum(profile_, node_, pattern, count);
}

int XmlProfileSection::UsesDefaultMarker() {
  if (!profile_) {
    ShowVerifyReport(kProfileSource, 231, "m_pPX!=NULL");
    return 0;
  }
  return profile_->UsesDefaultMarker();
}

ILiteXmlDocument* XmlProfileSection::GetDocument() {
  if (!profile_) {
    ShowVerifyReport(kProfileSource, 265, "m_pPX!=NULL");
    return nullptr;
  }
  return profile_->GetDocument();
}

ILiteXmlDocument* XmlProfileSection::GetDefaultDocument() {
  if (!profile_) {
    ShowVerifyReport(kProfileSource, 270, "m_pPX!=NULL");
    return nullptr;
  }
  return profile_->GetDefaultDocument();
}

const char* XmlProfileSection::LookUp(const char* key) {
  ILiteXmlDocument* document = GetDocument();
  const char* value = document && node_ ? document->GetAttributeValue(node_, key) : nullptr;
  const bool marker = UsesDefaultMarker() != 0;
  if (!value || (marker && EqualsNoCase(value, "[default]"))) {
    ILiteXmlDocument* defaults = GetDefaultDocument();
    value = defaults && defaultNode_ ? defaults->GetAttributeValue(defaultNode_, key) : nullptr;
    if (value && marker && EqualsNoCase(value, "[default]")) value = nullptr;
  }
  return value;
}

int XmlProfileSection::ReadString(const char* key, char* buffer, int size, const char* defaultText) {
  const char* value = LookUp(key);
  if (!value) {
    CopyCut(buffer, size, defaultText ? defaultText : "");
    return 0;
  }
  CopyCut(buffer, size, value);
  return 1;
}

int XmlProfileSection::ReadBool(const char* key, int* out, int defaultValue) {
  char text[260];
  const int found = ReadString(key, text, sizeof text, nullptr);
  if (out) *out = found ? ParseBoolText(text) : defaultValue;
  return found;
}

int XmlProfileSection::WriteString(const char* key, const char* value) {
  ILiteXmlDocument* document = GetDocument();
  return document ? document->SetAttribute(node_, key, value) : 0;
}

XmlProfileEnum::XmlProfileEnum(XmlProfile* profile, HXMLNODE parent, const char* pattern, int count)
    : profile_(profile), parent_(parent) {
  if (pattern) {
    std::strncpy(pattern_, pattern, sizeof pattern_ - 1);
    wildcard_ = std::strpbrk(pattern_, "*?") != nullptr;
  }
  ILiteXmlDocument* document = profile_ ? profile_->GetDocument() : nullptr;
  if (!document || !parent_) return;
  const bool storing = profile_->IsStoring() != 0;
  if (storing && wildcard_) ShowVerifyReport(kProfileSource, 142, "m_pPX->IsLoading()||!m_bLikeCompare");
  if (storing && count >= 0) {
    document->DeleteChildren(parent_, pattern_);
    for (int i = 0; i < count; ++i) document->AddChild(parent_, pattern_, 2, 10);
  }
  for (HXMLNODE n = document->GetFirstChild(parent_); n; n = document->GetNextSibling(n)) {
    if (pattern_[0] == 0 || Matches(n)) ++count_;
  }
}

bool XmlProfileEnum::Matches(HXMLNODE node) {
  ILiteXmlDocument* document = profile_->GetDocument();
  if (document->GetNodeType(node) == 5) return false;
  const char* name = document->GetNodeName(node);
  return wildcard_ ? WildcardMatch(name, pattern_) != 0 : EqualsNoCase(name, pattern_);
}

HXMLNODE XmlProfileEnum::First() {
  ILiteXmlDocument* document = profile_ ? profile_->GetDocument() : nullptr;
  if (!document || !parent_) return nullptr;
  for (HXMLNODE n = document->GetFirstChild(parent_); n; n = document->GetNextSibling(n)) {
    if (Matches(n)) return n;
  }
  return nullptr;
}

void XmlProfileEnum::Next(XmlProfileSection* section, HXMLNODE* position) {
  if (!position) return;
  if (section) *section = XmlProfileSection(profile_, *position, nullptr);
  ILiteXmlDocument* document = profile_ ? profile_->GetDocument() : nullptr;
  if (!document || !*position) {
    *position = nullptr;
    return;
  }
  HXMLNODE n = document->GetNextSibling(*position);
  while (n && !Matches(n)) n = document->GetNextSibling(n);
  *position = n;
}
