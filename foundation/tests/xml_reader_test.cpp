#include "foundation/xml_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/string_helpers.h"

namespace {

// Compact picture of a chain: "E:a{x=1}[T:1] E:b". Also checks the links
// that every node must have (parent, previous, hash).
std::string Dump(const XmlNode* node, const XmlNode* parent = nullptr) {
  std::string out;
  const XmlNode* previous = nullptr;
  for (; node != nullptr; node = node->next) {
    EXPECT_EQ(node->parent, parent) << node->text;
    EXPECT_EQ(node->previous, previous) << node->text;
    EXPECT_EQ(node->hash, HashName(node->text));
    if (!out.empty()) out += ' ';
    out += "ETDC"[node->kind];
    out += ':';
    out += node->text;
    if (node->attributes != nullptr) {
      out += '{';
      for (const XmlAttribute* a = node->attributes; a != nullptr; a = a->next) {
        EXPECT_EQ(a->nameHash, HashName(a->name));
        out += a->name;
        out += '=';
        out += a->value;
        if (a->next != nullptr) out += ',';
      }
      out += '}';
    }
    if (node->firstChild != nullptr) out += "[" + Dump(node->firstChild, node) + "]";
    previous = node;
  }
  return out;
}

struct ParseCase {
  const char* name;
  const char* text;
  const char* tree;  // Dump of the result; "" for null
  const char* rest;  // what the cursor points at afterwards
};

TEST(XmlParse, Shapes) {
  const ParseCase cases[] = {
      {"two flat entries", "<a>1</a><b>2</b>", "E:a[T:1] E:b[T:2]", ""},
      {"empty content", "<a></a>", "E:a", ""},
      {"whitespace content", "<a>   </a>", "E:a", ""},
      {"self-closing", "<a/>", "E:a", ""},
      {"self-closing with space", "<a />", "E:a", ""},
      {"leading space skipped, trailing kept", "<a>  x y  </a>", "E:a[T:x y  ]", ""},
      {"declaration first", "<?xml version=\"1.0\"?><r><k>1</k></r>",
       "D:xml{version=1.0} E:r[E:k[T:1]]", ""},
      {"comment first", "<!-- note --><a>1</a>", "C:-- note -- E:a[T:1]", ""},
      {"closing names not checked", "<a><b>x</c></d>", "E:a[E:b[T:x]]", ""},
      {"same as matching tags", "<a><b>x</b></a>", "E:a[E:b[T:x]]", ""},
      {"mixed quotes end values", "<a x=\"1' y='2\">v</a>", "E:a{x=1,y=2}[T:v]", ""},
      {"attribute order kept", "<a z='1' y=\"2\" x='3'/>", "E:a{z=1,y=2,x=3}", ""},
      {"no equals sign needed", "<a k \"v\"/>", "E:a{k=v}", ""},
      {"comment needs space after dashes", "<!--x--><a/><!-- y -->",
       "C:--x--><a/><!-- y --", ""},
      {"unterminated comment discarded", "<!--x--><a/>", "", "<a/>"},
      {"stray closing tag first", "</x><a/>", "", "<a/>"},
      {"closing tag ends the top chain", "<a>1</a></b><c/>", "E:a[T:1]", "<c/>"},
      {"text after discarded markup joins the enclosing chain", "<a><>x</a>", "E:a T:x", ""},
      {"mixed content", "<a>t<b/>u</a>", "E:a[T:t E:b T:u]", ""},
      {"entities stay", "<a>&amp;x</a>", "E:a[T:&amp;x]", ""},
      {"line breaks and tabs are whitespace", "\r\n\t<a>\n1</a>\n", "E:a[T:1]", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const char* cursor = c.text;
    XmlNode* root = ParseXmlNode(&cursor);
    EXPECT_EQ(Dump(root), c.tree);
    EXPECT_STREQ(cursor, c.rest);
    FreeXmlTree(root);
  }
}

// Truncated markup stops at the terminator; the nodes read so far stay.
TEST(XmlParse, TruncatedInputStopsAtTerminator) {
  const ParseCase cases[] = {
      {"open tag without '>'", "<a", "E:a", ""},
      {"attribute without closing quote", "<a b=\"x", "E:a{b=x}", ""},
      {"attribute without any quote", "<a b=", "E:a", ""},
      {"declaration without '?'", "<?xml", "D:xml", ""},
      {"content runs to the end", "<a>   ", "E:a", ""},
      {"text runs to the end", "<a>xy", "E:a[T:xy]", ""},
      {"closing tag cut", "<a>1</a", "E:a[T:1]", ""},
      {"whitespace only", "  \r\n", "", ""},
      {"lone '<'", "<", "", ""},
      {"lone '</'", "</", "", ""},
      {"nested and cut", "<a><b><c>1", "E:a[E:b[E:c[T:1]]]", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // An exact-size heap copy lets the address sanitizer catch any read past
    // the terminator.
    size_t size = strlen(c.text) + 1;
    char* text = static_cast<char*>(malloc(size));
    memcpy(text, c.text, size);
    const char* cursor = text;
    XmlNode* root = ParseXmlNode(&cursor);
    EXPECT_EQ(Dump(root), c.tree);
    EXPECT_EQ(cursor, text + size - 1);
    FreeXmlTree(root);
    free(text);
  }
}

TEST(XmlParse, NullAndEmptyCursor) {
  EXPECT_EQ(ParseXmlNode(nullptr), nullptr);
  const char* nothing = nullptr;
  EXPECT_EQ(ParseXmlNode(&nothing), nullptr);
  const char* empty = "";
  const char* cursor = empty;
  EXPECT_EQ(ParseXmlNode(&cursor), nullptr);
  EXPECT_EQ(cursor, empty);
}

TEST(XmlParse, TextsAreCopiesWithSpareZeros) {
  std::string text = "<key a='v'>value</key>";
  const char* cursor = text.c_str();
  XmlNode* root = ParseXmlNode(&cursor);
  ASSERT_NE(root, nullptr);
  text.assign(text.size(), '#');  // the tree must not refer to the text
  EXPECT_STREQ(root->text, "key");
  EXPECT_EQ(root->text[4], 0);
  EXPECT_STREQ(root->firstChild->text, "value");
  EXPECT_EQ(root->firstChild->text[6], 0);
  EXPECT_STREQ(root->attributes->name, "a");
  EXPECT_EQ(root->attributes->name[2], 0);
  EXPECT_STREQ(root->attributes->value, "v");
  FreeXmlTree(root);
}

TEST(XmlLookup, ValuesChildrenSiblingsAttributes) {
  const char* cursor =
      "<?xml version='1.0'?><r id=\"7\"><k>1</k><i>a</i><i>b</i></r><host>h</host><empty/>";
  XmlNode* root = ParseXmlNode(&cursor);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->kind, kXmlDeclaration);
  EXPECT_STREQ(FindXmlAttribute(root->attributes, "version"), "1.0");

  XmlNode* r = FindXmlSibling(root, "r");
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(FindXmlAttribute(r->attributes, "id"), "7");
  EXPECT_EQ(FindXmlAttribute(r->attributes, "missing"), nullptr);
  EXPECT_STREQ(XmlFirstChildText(FindXmlChild(r, "k")), "1");

  XmlNode* i = FindXmlChild(r, "i");
  ASSERT_NE(i, nullptr);
  EXPECT_STREQ(XmlFirstChildText(i), "a");
  XmlNode* second = FindXmlNextSibling(i, "i");
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(XmlFirstChildText(second), "b");
  EXPECT_EQ(FindXmlNextSibling(second, "i"), nullptr);

  EXPECT_STREQ(GetXmlValue(root, "host"), "h");
  EXPECT_EQ(GetXmlValue(root, "empty"), nullptr);  // present but empty reads as absent
  EXPECT_EQ(GetXmlValue(root, "k"), nullptr);      // not at the top level
  EXPECT_EQ(GetXmlValue(root, "nothing"), nullptr);
  EXPECT_EQ(FindXmlSibling(nullptr, "x"), nullptr);
  EXPECT_EQ(FindXmlChild(nullptr, "x"), nullptr);
  EXPECT_EQ(FindXmlNextSibling(nullptr, "x"), nullptr);
  EXPECT_EQ(XmlFirstChildText(nullptr), nullptr);
  FreeXmlTree(root);
}

TEST(XmlLookup, HashMatchesTextAndCommentNodes) {
  const char* cursor = "<a>word</a><!-- c -->";
  XmlNode* root = ParseXmlNode(&cursor);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(FindXmlChild(root, "word"), root->firstChild);
  XmlNode* comment = FindXmlSibling(root, "-- c --");
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(comment->kind, kXmlComment);
  FreeXmlTree(root);
}

TEST(XmlParse, HundredThousandFlatSiblingsAndNestingUseNoStack) {
  const int count = 100000;
  std::string flat;
  for (int i = 0; i < count; ++i) flat += "<a>1</a>";
  const char* cursor = flat.c_str();
  XmlNode* root = ParseXmlNode(&cursor);
  int n = 0;
  for (XmlNode* node = root; node != nullptr; node = node->next) ++n;
  EXPECT_EQ(n, count);
  FreeXmlTree(root);

  std::string deep;
  for (int i = 0; i < count; ++i) deep += "<a>";
  deep += "x";
  for (int i = 0; i < count; ++i) deep += "</a>";
  cursor = deep.c_str();
  root = ParseXmlNode(&cursor);
  int depth = 0;
  XmlNode* node = root;
  while (node->firstChild != nullptr) {
    node = node->firstChild;
    ++depth;
  }
  EXPECT_EQ(depth, count);
  EXPECT_STREQ(node->text, "x");
  EXPECT_EQ(*cursor, 0);
  FreeXmlTree(root);
}

TEST(XmlExtract, TagText) {
  struct Case {
    const char* name;
    const char* text;
    const char* tag;
    const char* expected;  // null for a null result
  } const cases[] = {
      {"plain", "<x>1</x>", "x", "1"},
      {"adjacent tags", "<x></x>", "x", ""},
      {"opening tag with attribute", "<x a=\"1\">v</x>", "x", nullptr},
      {"missing closing tag", "<x>1", "x", nullptr},
      {"missing opening tag", "1</x>", "x", nullptr},
      {"closing tag before opening tag", "</x>a<x>b</x>", "x", "b"},
      {"only a closing tag before the opening one", "</x><x>b", "x", nullptr},
      {"nested: first closing tag wins", "<x><x>1</x></x>", "x", "<x>1"},
      {"inside a reply", "<r><PCSevList><a>1</a></PCSevList></r>", "PCSevList", "<a>1</a>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char* result = ExtractXmlTagText(c.text, c.tag);
    if (c.expected == nullptr) {
      EXPECT_EQ(result, nullptr);
    } else {
      ASSERT_NE(result, nullptr);
      EXPECT_STREQ(result, c.expected);
      EXPECT_EQ(result[strlen(c.expected) + 1], 0);  // the second spare zero
    }
    free(result);
  }
  EXPECT_EQ(ExtractXmlTagText(nullptr, "x"), nullptr);
  EXPECT_EQ(ExtractXmlTagText("<x>1</x>", nullptr), nullptr);
}

}  // namespace
