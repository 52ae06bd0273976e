#include "addin/xml_profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "addin/tests/report_recorder.h"

namespace {

using Names = std::vector<std::string>;

// A document that keeps no tree of its own and forwards slots 1 to 28 to
// another one, as the plug-in's adaptor does with the host's XML objects.
class ForwardingDocument : public LiteXmlDocumentEx {
 public:
  explicit ForwardingDocument(ILiteXmlDocument* target) : LiteXmlDocumentEx("ROOT", 936), t_(target) {}
  int calls = 0;

  int GetNodeType(HXMLNODE n) override { return ++calls, t_->GetNodeType(n); }
  const char* GetNodeName(HXMLNODE n) override { return ++calls, t_->GetNodeName(n); }
  const char* GetNodeText(HXMLNODE n) override { return ++calls, t_->GetNodeText(n); }
  HXMLNODE GetParent(HXMLNODE n) override { return ++calls, t_->GetParent(n); }
  HXMLNODE GetFirstChild(HXMLNODE n) override { return ++calls, t_->GetFirstChild(n); }
  HXMLNODE GetNextSibling(HXMLNODE n) override { return ++calls, t_->GetNextSibling(n); }
  HXMLNODE FindChild(HXMLNODE p, const char* name) override { return ++calls, t_->FindChild(p, name); }
  HXMLNODE InsertNode(HXMLNODE p, HXMLNODE a, const char* s, int l, int type) override {
    return ++calls, t_->InsertNode(p, a, s, l, type);
  }
  HXMLNODE AddChild(HXMLNODE p, const char* name, int type, int flags) override {
    return ++calls, t_->AddChild(p, name, type, flags);
  }
  HXMLNODE MakePath(const char* path, int type, int flags) override { return ++calls, t_->MakePath(path, type, flags); }
  HXMLNODE FindPath(const char* path) override { return ++calls, t_->FindPath(path); }
  int DeleteChildrenByAttribute(HXMLNODE p, const char* n, const char* an, const char* av) override {
    return ++calls, t_->DeleteChildrenByAttribute(p, n, an, av);
  }
  int DeleteChildren(HXMLNODE p, const char* name) override { return ++calls, t_->DeleteChildren(p, name); }
  int DeleteNode(HXMLNODE n) override { return ++calls, t_->DeleteNode(n); }
  int SetNodeText(HXMLNODE n, const char* s) override { return ++calls, t_->SetNodeText(n, s); }
  int SetNodeType(HXMLNODE n, int type) override { return ++calls, t_->SetNodeType(n, type); }
  const char* GetAttrName(HXMLATTR a) override { return ++calls, t_->GetAttrName(a); }
  const char* GetAttributeValue(HXMLNODE n, const char* name) override {
    return ++calls, t_->GetAttributeValue(n, name);
  }
  const char* GetAttrValue(HXMLATTR a) override { return ++calls, t_->GetAttrValue(a); }
  HXMLATTR GetFirstAttribute(HXMLNODE n) override { return ++calls, t_->GetFirstAttribute(n); }
  HXMLATTR GetNextAttribute(HXMLATTR a) override { return ++calls, t_->GetNextAttribute(a); }
  HXMLATTR FindAttribute(HXMLNODE n, const char* name) override { return ++calls, t_->FindAttribute(n, name); }
  HXMLATTR AppendAttribute(HXMLNODE n, HXMLATTR last) override { return ++calls, t_->AppendAttribute(n, last); }
  HXMLATTR AddEmptyAttribute(HXMLNODE n, const char* name) override {
    return ++calls, t_->AddEmptyAttribute(n, name);
  }
  int SetAttribute(HXMLNODE n, const char* k, const char* v) override { return ++calls, t_->SetAttribute(n, k, v); }
  int SetAttrNameValue(HXMLATTR a, const char* k, const char* v) override {
    return ++calls, t_->SetAttrNameValue(a, k, v);
  }
  int RemoveAttribute(HXMLNODE n, const char* name) override { return ++calls, t_->RemoveAttribute(n, name); }
  int RemoveAllAttributes(HXMLNODE n) override { return ++calls, t_->RemoveAllAttributes(n); }

 private:
  ILiteXmlDocument* t_;
};

// A document with a "Config" section under the root and a few settings.
struct ProfileFixture {
  LiteXmlDocument doc{"ROOT"};
  HXMLNODE config = doc.AddChild(doc.GetRootElement(), "Config", 2, 0);
  ProfileFixture() {
    doc.SetAttribute(config, "Name", "value");
    doc.SetAttribute(config, "yesLower", "yes");
    doc.SetAttribute(config, "two", "2");
    doc.SetAttribute(config, "marker", "[DeFault]");
  }
};

std::string Read(XmlProfileSection& s, const char* key, int size, const char* deflt, int* result) {
  char buffer[64];
  std::memset(buffer, '#', sizeof buffer);
  *result = s.ReadString(key, buffer, size, deflt);
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace

TEST(XmlProfile, ReadStringAndReadBool) {
  ProfileFixture f;
  XmlProfile profile(&f.doc, 1, 0);
  XmlProfileSection config = profile.GetSection("CONFIG", 0);
  ASSERT_TRUE(config.IsValid());
  struct Case {
    const char* name;
    const char* key;
    int size;
    const char* deflt;
    std::string expected;
    int result;
  };
  const Case cases[] = {
      {"present", "name", 64, "d", "value", 1},
      {"present, cut", "Name", 4, "d", "val", 1},
      {"missing, default cut", "nothing", 4, "defaul", "def", 0},
      {"missing, null default", "nothing", 8, nullptr, "", 0},
      {"marker without the mode", "marker", 64, "d", "[DeFault]", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int result = -1;
    EXPECT_EQ(Read(config, c.key, c.size, c.deflt, &result), c.expected);
    EXPECT_EQ(result, c.result);
  }
  char untouched[4] = "abc";
  EXPECT_EQ(config.ReadString("Name", untouched, 0, "x"), 1);
  EXPECT_STREQ(untouched, "abc");  // size 0: nothing written

  int value = -1;
  EXPECT_EQ(config.ReadBool("yesLower", &value, 0), 1);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(config.ReadBool("two", &value, 1), 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(config.ReadBool("missing", &value, 7), 0);
  EXPECT_EQ(value, 7);
}

TEST(XmlProfile, DefaultMarkerMode) {
  ProfileFixture f;
  for (int flags : {1, 2}) {
    XmlProfile profile(&f.doc, 1, flags);
    XmlProfileSection config = profile.GetRoot().GetChild("Config", 0);
    int result = -1;
    EXPECT_EQ(Read(config, "marker", 64, "fallback", &result), "fallback");
    EXPECT_EQ(result, 0);
  }
}

TEST(XmlProfile, SectionsLoadingAndStoring) {
  ProfileFixture f;
  HXMLNODE root = f.doc.GetRootElement();
  {
    XmlProfile loading(&f.doc, 1, 0);
    EXPECT_FALSE(loading.GetSection("Missing", 0).IsValid());  // loading: looked up only
    EXPECT_EQ(f.doc.FindChild(root, "Missing"), nullptr);
    EXPECT_TRUE(loading.GetSection("Made", 1).IsValid());  // flags bit 0: made
    EXPECT_NE(f.doc.FindChild(root, "Made"), nullptr);
    XmlProfileSection none = loading.GetSection("Missing", 0).GetChild("Child", 1);
    EXPECT_FALSE(none.IsValid());  // no node, no child
    int result = -1;
    EXPECT_EQ(Read(none, "k", 8, "dflt", &result), "dflt");
    EXPECT_EQ(result, 0);
  }
  XmlProfile storing(&f.doc, 0, 0);
  EXPECT_TRUE(storing.IsStoring());
  XmlProfileSection summary = storing.GetRoot().GetChild("Summary", 2);
  ASSERT_TRUE(summary.IsValid());
  EXPECT_EQ(summary.WriteString("QXDM", "123"), 1);
  EXPECT_STREQ(f.doc.GetAttributeValue(f.doc.FindPath("//Summary"), "qxdm"), "123");
  XmlProfileSection again = storing.GetSection("summary", 2);
  EXPECT_EQ(again.GetNode(), summary.GetNode());  // found again, not made twice
  EXPECT_EQ(summary.WriteString(nullptr, "v"), 0);
}

TEST(XmlProfile, Enumerations) {
  LiteXmlDocument doc("ROOT");
  HXMLNODE list = doc.AddChild(doc.GetRootElement(), "List", 2, 0);
  const char* names[] = {"ITEM", "item", "ITEMS", "Other", "ITEM"};
  for (const char* n : names) doc.AddChild(list, n, 2, kXmlAlwaysNew);
  doc.AddChild(list, "ITEM", 5, kXmlAlwaysNew);  // never enumerated by name
  XmlProfile profile(&doc, 1, 0);
  XmlProfileSection section(&profile, list, nullptr);

  struct Case {
    const char* pattern;
    int count;
    Names walked;
  };
  const Case cases[] = {
      {"ITEM", 3, {"ITEM", "item", "ITEM"}},
      {"IT*", 3, {"ITEM", "ITEMS", "ITEM"}},  // case-sensitive: "item" is not found
      {"?tem", 1, {"item"}},
      {"", 6, {}},  // every child counts; the walk compares names with ""
      {"nothing", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    XmlProfileEnum items = section.Enumerate(c.pattern, 0);
    EXPECT_EQ(items.GetCount(), c.count);
    Names walked;
    for (HXMLNODE pos = items.First(); pos;) {
      XmlProfileSection item(nullptr, nullptr, nullptr);
      items.Next(&item, &pos);
      ASSERT_TRUE(item.IsValid());
      EXPECT_NE(doc.GetNodeType(item.GetNode()), 5);
      walked.push_back(doc.GetNodeName(item.GetNode()));
    }
    EXPECT_EQ(walked, c.walked);
  }
  // An invalid section enumerates nothing.
  XmlProfileEnum none = profile.GetSection("Missing", 0).Enumerate("ITEM", 0);
  EXPECT_EQ(none.GetCount(), 0);
  EXPECT_EQ(none.First(), nullptr);
}

TEST(XmlProfile, StoringEnumerationMakesCountSections) {
  ReportRecorder recorder;
  LiteXmlDocument doc("ROOT");
  HXMLNODE list = doc.AddChild(doc.GetRootElement(), "List", 2, 0);
  HXMLNODE old = doc.AddChild(list, "item", 2, kXmlAlwaysNew);
  doc.SetAttribute(old, "k", "v");
  doc.AddChild(list, "Keep", 2, 0);
  XmlProfile profile(&doc, 0, 0);
  XmlProfileEnum items = XmlProfileSection(&profile, list, nullptr).Enumerate("ITEM", 3);
  EXPECT_EQ(items.GetCount(), 3);
  Names names;
  for (HXMLNODE n = doc.GetFirstChild(list); n; n = doc.GetNextSibling(n)) {
    names.push_back(doc.GetNodeName(n));
    EXPECT_EQ(doc.GetFirstAttribute(n), nullptr);  // new and empty
    EXPECT_EQ(doc.GetFirstChild(n), nullptr);
  }
  EXPECT_EQ(names, (Names{"Keep", "ITEM", "ITEM", "ITEM"}));
  EXPECT_TRUE(recorder.reports().empty());

  // Storing with a wildcard pattern is reported and goes on.
  XmlProfileEnum wild = XmlProfileSection(&profile, list, nullptr).Enumerate("IT*", -1);
  EXPECT_EQ(wild.GetCount(), 3);
  EXPECT_EQ(recorder.texts(), std::vector<std::string>{
                                  "FILE:Kelvra\\src\\litexml\\xmlprofile LINE:142 EXCEPTION: "
                                  "m_pPX->IsLoading()||!m_bLikeCompare"});
}

TEST(XmlProfile, ReportsCarryTheirLines) {
  ReportRecorder recorder;
  LiteXmlDocument doc("ROOT");
  doc.DeleteNode(XmlWholeTree());
  XmlProfile noRoot(&doc, 1, 0);
  noRoot.GetSection("x", 0);
  XmlProfileSection orphan(nullptr, nullptr, nullptr);
  orphan.UsesDefaultMarker();
  orphan.GetDocument();
  orphan.GetDefaultDocument();
  orphan.GetChild("x", 0);
  orphan.Enumerate("x", 0);
  const std::string prefix = "FILE:Kelvra\\src\\litexml\\xmlprofile LINE:";
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{
                                  prefix + "108 EXCEPTION: m_hRoot!=NULL",
                                  prefix + "231 EXCEPTION: m_pPX!=NULL",
                                  prefix + "265 EXCEPTION: m_pPX!=NULL",
                                  prefix + "270 EXCEPTION: m_pPX!=NULL",
                                  prefix + "275 EXCEPTION: m_pPX!=NULL",
                                  prefix + "288 EXCEPTION: m_pPX!=NULL",
                              }));
  for (const auto& r : recorder.reports()) EXPECT_EQ(r.caption, "CLIBVERIFY");
}

TEST(XmlProfile, WorksThroughAForwardingDocument) {
  // The profile reaches the tree only through the slots, so a document
  // that forwards them sees every read and write land in the backing tree.
  LiteXmlDocument backing("ROOT");
  ForwardingDocument forward(&backing);
  {
    XmlProfile storing(&forward, 0, 0);
    XmlProfileSection uid = storing.GetRoot().GetChild("UID", 2);
    ASSERT_TRUE(uid.IsValid());
    EXPECT_EQ(uid.WriteString("F1264", "token"), 1);
    uid.Enumerate("ITEM", 2);
  }
  EXPECT_STREQ(backing.GetAttributeValue(backing.FindPath("//UID"), "F1264"), "token");
  EXPECT_EQ(backing.GetNodeName(backing.GetFirstChild(backing.FindPath("//UID"))), std::string("ITEM"));
  XmlProfile loading(&forward, 1, 0);
  XmlProfileSection uid = loading.GetRoot().GetChild("uid", 2);
  char value[16];
  EXPECT_EQ(uid.ReadString("f1264", value, sizeof value, ""), 1);
  EXPECT_STREQ(value, "token");
  EXPECT_EQ(uid.Enumerate("ITEM", 0).GetCount(), 2);
  EXPECT_GT(forward.calls, 10);
  // The forwarding document's own tree was never touched.
  HXMLNODE ownRoot = forward.LiteXmlDocument::GetFirstChild(nullptr);
  EXPECT_STREQ(forward.LiteXmlDocument::GetNodeName(ownRoot), "ROOT");
  EXPECT_EQ(forward.LiteXmlDocument::GetFirstChild(ownRoot), nullptr);
}

TEST(LiteXmlSlots, OperationsKeepTheirSlotOrder) {
  // The host calls the operations by position: slot k (after the two
  // destructor entries of this ABI) must stay at vtable index k + 1.
  struct Slot {
    int slot;
    std::ptrdiff_t entry;
  };
  auto index = [](auto member) {
    static_assert(sizeof(member) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t raw[2];
    std::memcpy(raw, &member, sizeof raw);
    return (raw[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));  // virtual: 1 + byte offset
  };
  const Slot slots[] = {
      {1, index(&ILiteXmlDocument::GetNodeType)},
      {2, index(&ILiteXmlDocument::GetNodeName)},
      {3, index(&ILiteXmlDocument::GetNodeText)},
      {4, index(&ILiteXmlDocument::GetParent)},
      {5, index(&ILiteXmlDocument::GetFirstChild)},
      {6, index(&ILiteXmlDocument::GetNextSibling)},
      {7, index(&ILiteXmlDocument::FindChild)},
      {8, index(&ILiteXmlDocument::InsertNode)},
      {9, index(&ILiteXmlDocument::AddChild)},
      {10, index(&ILiteXmlDocument::MakePath)},
      {11, index(&ILiteXmlDocument::FindPath)},
      {12, index(&ILiteXmlDocument::DeleteChildrenByAttribute)},
      {13, index(&ILiteXmlDocument::DeleteChildren)},
      {14, index(&ILiteXmlDocument::DeleteNode)},
      {15, index(&ILiteXmlDocument::SetNodeText)},
      {16, index(&ILiteXmlDocument::SetNodeType)},
      {17, index(&ILiteXmlDocument::GetAttrName)},
      {18, index(&ILiteXmlDocument::GetAttributeValue)},
      {19, index(&ILiteXmlDocument::GetAttrValue)},
      {20, index(&ILiteXmlDocument::GetFirstAttribute)},
      {21, index(&ILiteXmlDocument::GetNextAttribute)},
      {22, index(&ILiteXmlDocument::FindAttribute)},
      {23, index(&ILiteXmlDocument::AppendAttribute)},
      {24, index(&ILiteXmlDocument::AddEmptyAttribute)},
      {25, index(&ILiteXmlDocument::SetAttribute)},
      {26, index(&ILiteXmlDocument::SetAttrNameValue)},
      {27, index(&ILiteXmlDocument::RemoveAttribute)},
      {28, index(&ILiteXmlDocument::RemoveAllAttributes)},
  };
  for (const Slot& s : slots) EXPECT_EQ(s.entry, s.slot + 1) << "slot " << s.slot;
}
