#include "addin/lite_xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/tests/report_recorder.h"

namespace {

// Names of the children of node (the top level for null), in order.
std::vector<std::string> Children(ILiteXmlDocument& doc, HXMLNODE node) {
  std::vector<std::string> names;
  for (HXMLNODE n = doc.GetFirstChild(node); n; n = doc.GetNextSibling(n)) names.push_back(doc.GetNodeName(n));
  return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(LiteXml, NewDocumentHasOneRootElement) {
  struct Case {
    const char* given;
    const char* expected;
  };
  const Case cases[] = {{nullptr, "ROOT"}, {"CONFIG", "CONFIG"}, {"", ""}};
  for (const Case& c : cases) {
    LiteXmlDocument doc(c.given);
    EXPECT_EQ(Children(doc, nullptr), Names{c.expected});
    HXMLNODE root = doc.GetRootElement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(doc.GetNodeType(root), 2);
    EXPECT_STREQ(doc.GetDocumentName(), c.expected);
  }
  const std::string longName(300, 'n');
  LiteXmlDocument doc(longName.c_str());
  EXPECT_EQ(std::string(doc.GetDocumentName()), longName.substr(0, 255));
}

TEST(LiteXml, TopLevelAddChildRenamesTheRoot) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  EXPECT_EQ(doc.AddChild(nullptr, "Settings", 2, kXmlAlwaysNew), root);  // flag 8 cleared at the top
  EXPECT_EQ(Children(doc, nullptr), Names{"Settings"});
  EXPECT_STREQ(doc.GetDocumentName(), "Settings");
  EXPECT_EQ(doc.AddChild(nullptr, "SETTINGS", 2, 0), root);  // equal without case: name kept
  EXPECT_EQ(Children(doc, nullptr), Names{"Settings"});
  // InsertNode at the top level with an element type renames it as well.
  EXPECT_EQ(doc.InsertNode(nullptr, nullptr, "OtherName", 5, 2), root);
  EXPECT_EQ(Children(doc, nullptr), Names{"Other"});
}

TEST(LiteXml, AddChildFlags) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  HXMLNODE a = doc.AddChild(root, "A", 2, 0);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(doc.AddChild(root, "a", 2, 0), a);  // found without regard to case
  HXMLNODE second = doc.AddChild(root, "A", 2, kXmlAlwaysNew);
  EXPECT_NE(second, a);
  HXMLNODE first = doc.AddChild(root, "Z", 1, kXmlAddFirst);
  EXPECT_EQ(Children(doc, root), (Names{"Z", "A", "A"}));
  EXPECT_EQ(doc.GetFirstChild(root), first);

  doc.AddChild(a, "child", 2, 0);
  doc.SetAttribute(a, "k", "v");
  EXPECT_EQ(doc.AddChild(root, "A", 2, 0), a);  // without 0x10 the found node keeps everything
  EXPECT_EQ(Children(doc, a), Names{"child"});
  EXPECT_EQ(doc.AddChild(root, "A", 2, kXmlEmptyFound), a);
  EXPECT_EQ(Children(doc, a), Names{});
  EXPECT_EQ(doc.GetFirstAttribute(a), nullptr);

  // Type 5 children are never found by name.
  HXMLNODE hidden = doc.AddChild(root, "H", 5, 0);
  EXPECT_EQ(doc.FindChild(root, "H"), nullptr);
  EXPECT_NE(doc.AddChild(root, "H", 2, 0), hidden);
}

TEST(LiteXml, AddChildUnderEachType) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  struct Case {
    int parentType;
    bool accepts;
    int typeAfter;
  };
  const Case cases[] = {{0, false, 0}, {1, true, 2}, {2, true, 2}, {3, false, 3}, {4, true, 4}, {5, true, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parentType);
    HXMLNODE parent = doc.AddChild(root, "P", c.parentType, kXmlAlwaysNew);
    EXPECT_EQ(doc.AddChild(parent, "child", 2, 0) != nullptr, c.accepts);
    EXPECT_EQ(doc.GetNodeType(parent), c.typeAfter);
  }
}

TEST(LiteXml, MakePathAndFindPath) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  HXMLNODE b = doc.MakePath(" \t// A / B \t", 1, 0);
  ASSERT_NE(b, nullptr);
  HXMLNODE a = doc.FindChild(root, "A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(doc.GetNodeType(a), 2);
  EXPECT_EQ(doc.GetNodeType(b), 1);
  EXPECT_EQ(doc.GetParent(b), a);
  EXPECT_EQ(doc.FindPath("//a/b"), b);
  EXPECT_EQ(doc.FindPath("  //A//B/"), b);
  EXPECT_EQ(doc.FindPath("//a/missing"), nullptr);
  EXPECT_EQ(doc.FindPath("//"), root);
  EXPECT_EQ(doc.FindPath(""), nullptr);
  EXPECT_EQ(doc.FindPath("ROOT/A"), a);  // without "//" the walk starts at the top level
  EXPECT_EQ(doc.MakePath("//A/B", 1, 0), b);  // existing: returned as it is

  // Under an existing node that is not of type 2 nothing is made.
  EXPECT_EQ(doc.MakePath("//A/B/C", 2, 0), nullptr);
  EXPECT_EQ(Children(doc, b), Names{});

  // Type-0 nodes go after the leading run of type-0 siblings; flag 4 first.
  doc.MakePath("//A/x", 2, 0);
  doc.MakePath("//A/z0", 0, 0);
  doc.MakePath("//A/y0", 0, 0);
  doc.MakePath("//A/first", 2, kXmlAddFirst);
  EXPECT_EQ(Children(doc, a), (Names{"first", "z0", "y0", "B", "x"}));
  // Nodes made on the way become type 2; the last keeps the given type.
  HXMLNODE deep = doc.MakePath("//N1/N2/N3", 3, 0);
  EXPECT_EQ(doc.GetNodeType(deep), 3);
  EXPECT_EQ(doc.GetNodeType(doc.FindPath("//N1/N2")), 2);
  EXPECT_EQ(doc.GetNodeType(doc.FindPath("//N1")), 2);
}

TEST(LiteXml, DeletingTheTopLevelRemakesTheRoot) {
  LiteXmlDocument doc("DOC");
  HXMLNODE root = doc.GetRootElement();
  doc.AddChild(root, "A", 2, 0);
  doc.InsertNode(nullptr, nullptr, "pi", 2, 0);  // a type-0 node before the root
  EXPECT_EQ(Children(doc, nullptr), (Names{"pi", "DOC"}));
  EXPECT_EQ(doc.Clear(), 1);
  EXPECT_EQ(Children(doc, nullptr), Names{"DOC"});
  EXPECT_EQ(doc.GetNodeType(doc.GetRootElement()), 2);
  EXPECT_EQ(doc.GetFirstChild(doc.GetRootElement()), nullptr);

  EXPECT_EQ(doc.DeleteNode(doc.GetRootElement()), 1);  // the only node: made again
  EXPECT_EQ(Children(doc, nullptr), Names{"DOC"});
  EXPECT_EQ(doc.DeleteNode(nullptr), 0);

  EXPECT_EQ(doc.DeleteNode(XmlWholeTree()), 1);  // the whole tree: nothing is left
  EXPECT_EQ(doc.GetFirstChild(nullptr), nullptr);
  EXPECT_EQ(doc.GetRootElement(), nullptr);
  EXPECT_NE(doc.AddChild(nullptr, "NEW", 2, 0), nullptr);
  EXPECT_EQ(Children(doc, nullptr), Names{"NEW"});
}

TEST(LiteXml, DeleteChildrenByNameAndAttribute) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  const char* names[] = {"item", "ITEM", "other", "Item", "item"};
  const char* values[] = {"yes", "YES", "yes", "no", nullptr};
  for (int i = 0; i < 5; ++i) {
    HXMLNODE n = doc.AddChild(root, names[i], 2, kXmlAlwaysNew);
    if (values[i]) doc.SetAttribute(n, "flag", values[i]);
  }
  doc.DeleteChildrenByAttribute(root, "item", "flag", "yes");
  EXPECT_EQ(Children(doc, root), (Names{"other", "Item", "item"}));
  doc.DeleteChildrenByAttribute(root, nullptr, "flag", nullptr);  // any child with the attribute
  EXPECT_EQ(Children(doc, root), Names{"item"});
  doc.AddChild(root, "x", 5, 0);
  EXPECT_EQ(doc.DeleteChildren(root, "ITEM"), 1);
  EXPECT_EQ(Children(doc, root), Names{"x"});
  EXPECT_EQ(doc.DeleteAllChildren(root), 1);  // type 5 too
  EXPECT_EQ(Children(doc, root), Names{});
}

TEST(LiteXml, TextsPooledOrOnTheHeap) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  const std::string fifteen(15, 'a');
  const std::string sixteen(16, 'b');
  auto* shortNode = static_cast<LiteXmlNode*>(doc.AddChild(root, fifteen.c_str(), 2, 0));
  auto* longNode = static_cast<LiteXmlNode*>(doc.AddChild(root, sixteen.c_str(), 2, 0));
  EXPECT_EQ(shortNode->name.pooled, 1);
  EXPECT_EQ(longNode->name.pooled, 0);
  EXPECT_EQ(doc.GetNodeName(shortNode), fifteen);
  EXPECT_EQ(doc.GetNodeName(longNode), sixteen);
  doc.SetAttribute(root, "k", "");
  auto* attr = static_cast<LiteXmlAttribute*>(doc.FindAttribute(root, "K"));
  EXPECT_EQ(attr->value.pooled, 1);  // an empty text is pooled
}

TEST(LiteXml, NodeTextAndInsertNode) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE root = doc.GetRootElement();
  HXMLNODE n = doc.AddChild(root, "N", 1, 0);
  EXPECT_EQ(doc.GetNodeText(n), nullptr);
  EXPECT_EQ(doc.SetNodeText(n, "hello"), 1);
  EXPECT_STREQ(doc.GetNodeText(n), "hello");
  EXPECT_EQ(doc.SetNodeText(n, "a longer text than sixteen"), 1);
  EXPECT_STREQ(doc.GetNodeText(n), "a longer text than sixteen");
  EXPECT_EQ(doc.SetNodeText(n, nullptr), 0);
  EXPECT_EQ(doc.SetNodeText(nullptr, "x"), 0);
  HXMLNODE e = doc.AddChild(root, "E", 2, 0);
  doc.AddChild(e, "child", 2, 0);
  EXPECT_EQ(doc.SetNodeText(e, "x"), 0);  // first child is not a text node
  EXPECT_EQ(doc.GetNodeText(e), nullptr);

  // InsertNode: after a given sibling, the first length bytes; a type-1
  // parent keeps its type; an `after` of another parent is refused.
  HXMLNODE leaf = doc.AddChild(root, "leaf", 1, 0);
  HXMLNODE t1 = doc.InsertNode(leaf, nullptr, "first-text", 5, 3);
  HXMLNODE t2 = doc.InsertNode(leaf, t1, "second", -1, 4);
  HXMLNODE t0 = doc.InsertNode(leaf, nullptr, "zero", 100, 0);
  EXPECT_EQ(Children(doc, leaf), (Names{"zero", "first", "second"}));
  EXPECT_EQ(doc.GetNodeType(leaf), 1);
  EXPECT_EQ(doc.GetNodeType(t2), 4);
  EXPECT_EQ(doc.GetParent(t0), leaf);
  EXPECT_EQ(doc.InsertNode(root, t1, "x", 1, 3), nullptr);
}

TEST(LiteXml, InsertIntoAnEmptyDocumentUnderAForeignParent) {
  ReportRecorder recorder;
  LiteXmlDocument other(nullptr);
  LiteXmlDocument doc(nullptr);
  doc.DeleteNode(XmlWholeTree());
  HXMLNODE node = doc.InsertNode(other.GetRootElement(), nullptr, "t", 1, 3);
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(recorder.texts(), std::vector<std::string>{"FILE:Kelvra\\src\\litexml\\xml LINE:630 EXCEPTION: pParentNode==NULL"});
  EXPECT_EQ(doc.GetFirstChild(nullptr), node);
  EXPECT_EQ(doc.GetParent(node), nullptr);
  EXPECT_EQ(other.GetFirstChild(other.GetRootElement()), nullptr);  // the other tree is untouched
}

TEST(LiteXml, Attributes) {
  LiteXmlDocument doc(nullptr);
  HXMLNODE n = doc.AddChild(doc.GetRootElement(), "N", 2, 0);
  EXPECT_EQ(doc.SetAttribute(n, "Name", "v1"), 1);
  EXPECT_EQ(doc.SetAttribute(n, "name", "v2"), 1);  // same attribute, any case
  EXPECT_STREQ(doc.GetAttributeValue(n, "NAME"), "v2");
  EXPECT_STREQ(doc.GetAttrName(doc.GetFirstAttribute(n)), "Name");
  EXPECT_EQ(doc.SetAttribute(n, nullptr, "v"), 0);
  EXPECT_EQ(doc.SetAttribute(n, "k", nullptr), 0);
  EXPECT_EQ(doc.SetAttribute(nullptr, "k", "v"), 0);

  HXMLATTR empty = doc.AddEmptyAttribute(n, "second");
  EXPECT_STREQ(doc.GetAttrValue(empty), "");
  EXPECT_EQ(doc.GetNextAttribute(doc.GetFirstAttribute(n)), empty);
  EXPECT_EQ(doc.AddEmptyAttribute(n, "NAME"), doc.GetFirstAttribute(n));  // existing: value emptied
  EXPECT_STREQ(doc.GetAttributeValue(n, "name"), "");
  EXPECT_EQ(doc.AddEmptyAttribute(n, nullptr), nullptr);

  HXMLATTR appended = doc.AppendAttribute(n, doc.GetFirstAttribute(n));  // between the two
  EXPECT_EQ(doc.SetAttrNameValue(appended, "mid", "m"), 1);
  std::vector<std::string> order;
  for (HXMLATTR a = doc.GetFirstAttribute(n); a; a = doc.GetNextAttribute(a)) order.push_back(doc.GetAttrName(a));
  EXPECT_EQ(order, (Names{"Name", "mid", "second"}));
  EXPECT_EQ(doc.SetAttrNameValue(nullptr, "a", "b"), 0);
  EXPECT_EQ(doc.SetAttrNameValue(appended, nullptr, nullptr), 1);
  EXPECT_STREQ(doc.GetAttrName(appended), "");

  doc.SetAttribute(n, "dup", "1");
  doc.AppendAttribute(n, nullptr);
  doc.SetAttrNameValue(doc.FindAttribute(n, ""), "DUP", "2");
  EXPECT_EQ(doc.RemoveAttribute(n, "Dup"), 1);  // every attribute of that name
  EXPECT_EQ(doc.FindAttribute(n, "dup"), nullptr);
  EXPECT_EQ(doc.RemoveAttribute(n, nullptr), 0);
  EXPECT_EQ(doc.RemoveAllAttributes(n), 1);
  EXPECT_EQ(doc.GetFirstAttribute(n), nullptr);
  EXPECT_EQ(doc.GetAttributeValue(n, "Name"), nullptr);
}

TEST(LiteXml, RecordsAreRequiredWhereTheyMustBeGiven) {
  LiteXmlDocument doc(nullptr);
  EXPECT_EQ(doc.GetNodeType(nullptr), -1);
  EXPECT_STREQ(doc.GetNodeName(nullptr), "");
  EXPECT_EQ(doc.SetNodeType(nullptr, 2), 0);
  EXPECT_STREQ(doc.GetAttrName(nullptr), "");
  EXPECT_STREQ(doc.GetAttrValue(nullptr), "");
  EXPECT_EQ(doc.GetParent(nullptr), nullptr);
  EXPECT_EQ(doc.GetNextSibling(nullptr), nullptr);
  EXPECT_EQ(doc.GetNodeText(nullptr), nullptr);
  EXPECT_EQ(doc.GetFirstAttribute(nullptr), nullptr);
  EXPECT_EQ(doc.GetNextAttribute(nullptr), nullptr);
  EXPECT_EQ(doc.AppendAttribute(nullptr, nullptr), nullptr);
  EXPECT_EQ(doc.RemoveAllAttributes(nullptr), 1);
}

TEST(LiteXml, ManyNodesAcrossPoolBlocks) {
  // More records and texts than one block of 128 holds, then all freed.
  LiteXmlDocumentEx doc("ROOT", 936);
  EXPECT_EQ(doc.codePage, 936);
  EXPECT_EQ(doc.utf8CodePage, 65001);
  HXMLNODE root = doc.GetRootElement();
  for (int i = 0; i < 400; ++i) {
    HXMLNODE n = doc.AddChild(root, ("n" + std::to_string(i)).c_str(), 2, 0);
    doc.SetAttribute(n, "a", std::to_string(i).c_str());
  }
  EXPECT_STREQ(doc.GetAttributeValue(doc.FindChild(root, "N399"), "A"), "399");
  doc.Clear();
  EXPECT_EQ(Children(doc, root), Names{});
}

TEST(LiteXml, EscapeTable) {
  const XmlEscapeTable& t = GetXmlEscapeTable();
  for (int b : {1, 9, 31, int{'&'}, int{'<'}, int{'>'}, int{'"'}}) EXPECT_EQ(t.flag[b], 1) << b;
  for (int b : {0, int{' '}, int{'\''}, int{'a'}, 127, 200}) EXPECT_EQ(t.flag[b], 0) << b;
  EXPECT_STREQ(t.reference['&'], "&#38;");
  EXPECT_EQ(t.length['&'], 5);
  EXPECT_STREQ(t.reference[1], "&#1;");
  EXPECT_EQ(t.length[1], 4);
  EXPECT_STREQ(t.reference[255], "&#255;");
}
