#include "foundation/json_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/debug_sink.h"

namespace {

// Compact picture of a tree: objects {label:value,...}, arrays [..], strings
// "..", numbers as written, t f n. Also checks every link.
std::string Dump(const JsonNode* node) {
  if (node == nullptr) return "";
  std::string out;
  switch (node->type) {
    case kJsonString:
      out = "\"" + std::string(node->text) + "\"";
      if (node->firstChild != nullptr) out += ":" + Dump(node->firstChild);
      return out;
    case kJsonNumber: return node->text;
    case kJsonTrue: return "t";
    case kJsonFalse: return "f";
    case kJsonNull: return "n";
    default: break;
  }
  out = node->type == kJsonObject ? "{" : "[";
  const JsonNode* previous = nullptr;
  for (const JsonNode* child = node->firstChild; child != nullptr; child = child->next) {
    EXPECT_EQ(child->parent, node);
    EXPECT_EQ(child->previous, previous);
    if (previous != nullptr) out += ",";
    out += Dump(child);
    previous = child;
  }
  EXPECT_EQ(node->lastChild, previous);
  out += node->type == kJsonObject ? "}" : "]";
  return out;
}

struct ResultCase {
  const char* name;
  std::string text;
  int wholeResult;  // ParseJsonText
  int onceResult;   // ParseJsonTextOnce
  const char* tree; // Dump on success
};

// Callers and stored traces know the results by number: the names keep them.
static_assert(kJsonDone == 1 && kJsonNeedMore == 2 && kJsonRootClosed == 3 && kJsonMalformed == 4 &&
              kJsonNoMemory == 6 && kJsonBadValue == 7 && kJsonCannotClose == 8 && kJsonBroken == 10);

TEST(JsonParse, ResultsAndTrees) {
  const ResultCase cases[] = {
      {"empty object", "{}", kJsonDone, kJsonDone, "{}"},
      {"top-level array", "[]", kJsonMalformed, kJsonMalformed, ""},
      {"top-level number", "5", kJsonMalformed, kJsonMalformed, ""},
      {"empty text", "", kJsonBroken, kJsonNeedMore, ""},
      {"whitespace only", "  \n ", kJsonMalformed, kJsonMalformed, ""},
      {"1,024 leading whitespace bytes", std::string(1024, ' ') + "{}", kJsonMalformed, kJsonDone, ""},
      {"1,023 leading whitespace bytes", std::string(1023, ' ') + "{}", kJsonDone, kJsonDone, "{}"},
      {"text after the root", "{\"a\":1}x", kJsonMalformed, kJsonMalformed, ""},
      {"trailing whitespace", "{\"a\":1} ", kJsonDone, kJsonDone, "{\"a\":1}"},
      {"second root", "{}{}", kJsonMalformed, kJsonMalformed, ""},
      {"trailing comma in array", "{\"a\":[1,2,]}", kJsonDone, kJsonDone, "{\"a\":[1,2]}"},
      {"trailing comma in object", "{\"a\":1,}", kJsonMalformed, kJsonMalformed, ""},
      {"bad keyword in value", "{\"a\":tru}", kJsonBadValue, kJsonBadValue, ""},
      {"text ends early", "{\"a\":1", kJsonBroken, kJsonNeedMore, ""},
      {"text ends inside a string", "{\"a\":\"x", kJsonBroken, kJsonNeedMore, ""},
      {"TAB inside a string", "{\"a\":\"x\ty\"}", kJsonBadValue, kJsonBadValue, ""},
      {"line break inside a string", "{\"a\":\"x\ny\"}", kJsonBadValue, kJsonBadValue, ""},
      {"line break inside a label", "{\"a\nb\":1}", kJsonMalformed, kJsonMalformed, ""},
      {"lexical error after a comma", "{\"a\":1,x}", kJsonBadValue, kJsonBadValue, ""},
      {"UTF-8 kept byte for byte", "{\"名\":\"中文\"}", kJsonDone, kJsonDone, "{\"名\":\"中文\"}"},
      {"number kept as written", "{\"a\":-0.5e+3}", kJsonDone, kJsonDone, "{\"a\":-0.5e+3}"},
      {"leading zero", "{\"a\":01}", kJsonBadValue, kJsonBadValue, ""},
      {"dot without digits", "{\"a\":1.}", kJsonBadValue, kJsonBadValue, ""},
      {"exponent without digits", "{\"a\":1e}", kJsonBadValue, kJsonBadValue, ""},
      {"minus alone", "{\"a\":-}", kJsonBadValue, kJsonBadValue, ""},
      {"numbers end at delimiters", "{\"a\":[0,1.5,2E-2 ]}", kJsonDone, kJsonDone, "{\"a\":[0,1.5,2E-2]}"},
      {"wrong closing bracket", "{\"a\":1]", kJsonMalformed, kJsonMalformed, ""},
      {"wrong closing brace", "{\"a\":[1}", kJsonMalformed, kJsonMalformed, ""},
      {"missing colon", "{\"a\" 1}", kJsonMalformed, kJsonMalformed, ""},
      {"keywords and nesting", "{\"a\":{\"b\":[true,false,null,{},[]]},\"c\":\"\"}", 1, 1,
       "{\"a\":{\"b\":[t,f,n,{},[]]},\"c\":\"\"}"},
      {"escapes stay raw", "{\"a\":\"x\\u4e2d\\n\\\"\"}", kJsonDone, kJsonDone, "{\"a\":\"x\\u4e2d\\n\\\"\"}"},
      {"bad escape", "{\"a\":\"\\x\"}", kJsonBadValue, kJsonBadValue, ""},
      {"short unicode escape", "{\"a\":\"\\u12\"}", kJsonBadValue, kJsonBadValue, ""},
      {"duplicate labels kept", "{\"a\":1,\"a\":2}", kJsonDone, kJsonDone, "{\"a\":1,\"a\":2}"},
      {"label without value closes", "{\"a\"}", kJsonMalformed, kJsonMalformed, ""},
      {"garbage before the root", "x{}", kJsonMalformed, kJsonMalformed, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DebugCapture quiet;
    JsonNode* root = reinterpret_cast<JsonNode*>(&root);  // sentinel
    EXPECT_EQ(ParseJsonText(&root, c.text.c_str()), c.wholeResult);
    if (c.wholeResult == kJsonDone) {
      EXPECT_EQ(Dump(root), c.tree);
      EXPECT_EQ(root->parent, nullptr);
    } else {
      EXPECT_EQ(root, nullptr);
    }
    FreeJsonTree(&root);
    root = reinterpret_cast<JsonNode*>(&root);
    EXPECT_EQ(ParseJsonTextOnce(&root, c.text.c_str()), c.onceResult);
    if (c.onceResult == kJsonDone) EXPECT_NE(root, nullptr);
    else EXPECT_EQ(root, nullptr);
    FreeJsonTree(&root);
  }
}

// Tokens split at the 1,024-byte piece boundary parse as if whole.
TEST(JsonParse, TokensSplitAcrossPieces) {
  struct Case {
    const char* name;
    std::string head;   // placed so that the token starts before byte 1,024
    std::string token;  // spans the boundary
    std::string tail;
  };
  auto pad = [](size_t n) { return std::string(n, ' '); };
  const Case cases[] = {
      {"string value", "{\"a\":" + pad(1014), "\"0123456789\"", "}"},
      {"label", "{" + pad(1019), "\"longlabel\"", ":1}"},
      {"number", "{\"a\":" + pad(1016), "-12345.5e+2", "}"},
      {"keyword true", "{\"a\":" + pad(1017), "true", "}"},
      {"keyword false", "{\"a\":" + pad(1017), "false", "}"},
      {"keyword null", "{\"a\":" + pad(1017), "null", "}"},
      {"escape", "{\"a\":" + pad(1014), "\"ab\\u4e2dcd\"", "}"},
      {"1,030-byte text with a string over byte 1,024", "{\"a\":\"", std::string(1022, 'x'),
       "\"}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.head + c.token + c.tail;
    ASSERT_LT(c.head.size(), 1024u);
    ASSERT_GT(c.head.size() + c.token.size(), 1024u);
    JsonNode* whole = nullptr;
    JsonNode* once = nullptr;
    ASSERT_EQ(ParseJsonText(&whole, text.c_str()), kJsonDone);
    ASSERT_EQ(ParseJsonTextOnce(&once, text.c_str()), kJsonDone);
    EXPECT_EQ(Dump(whole), Dump(once));
    FreeJsonTree(&whole);
    FreeJsonTree(&once);
  }
}

// What a parse fed in pieces of a given size ends with.
struct FedOutcome {
  int result;
  std::string tree;  // the whole tree built so far
  ptrdiff_t line;
  std::string trace;
};

FedOutcome FeedInPieces(const std::string& text, size_t pieceSize) {
  DebugCapture capture;
  JsonParser parser;
  InitJsonParser(&parser);
  int result = kJsonNeedMore;
  for (size_t at = 0; at < text.size() && (result == kJsonNeedMore || result == kJsonRootClosed); at += pieceSize) {
    result = ParseJsonFragment(&parser, text.substr(at, pieceSize).c_str());
  }
  const JsonNode* root = parser.current;
  while (root != nullptr && root->parent != nullptr) root = root->parent;
  FedOutcome outcome{result, root != nullptr ? Dump(root) : "", parser.line, capture.Text(DebugChannel::Stderr)};
  ReleaseJsonParser(&parser);
  return outcome;
}

// Tokens that lie wholly inside a piece are read in place; read one byte a
// piece, every token goes through the lexer's states. Both give the same
// result, tree, line count and trace, errors included.
TEST(JsonParse, TokensReadInPlaceMatchTokensReadByteByByte) {
  const std::string texts[] = {
      "{\"plain\":\"0123456789abcdefghij\",\"k\":\"\"}",
      "{\"esc\":\"a\\\"b\\\\c\\/d\\be\\ff\\ng\\rh\\ti\\u4e2Dj\"}",
      "{\"utf8\":\"沪深两市早盘震荡走高，创业板指涨\",\"x\":\"\xff\xfe\x80\"}",
      "{\"ctl\":\"abcdefgh\tij\"}",
      "{\"nl\":\"abcdefghijklmno\npq\"}",
      "{\"bad escape\":\"ab\\x\"}",
      "{\"short unicode\":\"ab\\u12g4\"}",
      "{\"label\\u0041\"\n:\"v\"}",
      "{\"n\":[0,-0,12,-3.25,1e5,2E+3,4e-2,0.5 ,6\t,7\n,8\r,9]}",
      "{\"a\":1\n,\"b\":2\r\n}",
      "{\"a\":-}",
      "{\"a\":01}",
      "{\"a\":1.}",
      "{\"a\":1e}",
      "{\"a\":1x}",
      "{\"a\":[1:2]}",
      "{\"a\":1,}",
      "{\"a\":\"unclosed",
      "{\"a\":12",
      "{\"a\":\"x\"}  \"y\"",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const FedOutcome whole = FeedInPieces(text, text.size());
    const FedOutcome bytes = FeedInPieces(text, 1);
    EXPECT_EQ(whole.result, bytes.result);
    EXPECT_EQ(whole.tree, bytes.tree);
    EXPECT_EQ(whole.line, bytes.line);
    EXPECT_EQ(whole.trace, bytes.trace);
  }
}

TEST(JsonParse, FragmentsKeepTheirPlace) {
  JsonParser parser;
  InitJsonParser(&parser);
  EXPECT_EQ(ParseJsonFragment(&parser, "{\"na"), kJsonNeedMore);
  EXPECT_EQ(ParseJsonFragment(&parser, "me\":12"), kJsonNeedMore);
  EXPECT_EQ(ParseJsonFragment(&parser, "3,\"b\":[tr"), kJsonNeedMore);
  EXPECT_EQ(ParseJsonFragment(&parser, "ue]}"), kJsonRootClosed);
  EXPECT_EQ(ParseJsonFragment(&parser, "  \r\n"), kJsonRootClosed);
  EXPECT_EQ(Dump(parser.current), "{\"name\":123,\"b\":[t]}");
  EXPECT_EQ(parser.line, 3);  // CR and LF each count
  EXPECT_EQ(ParseJsonFragment(&parser, "x"), kJsonMalformed);
  ReleaseJsonParser(&parser);
  EXPECT_EQ(parser.current, nullptr);
}

TEST(JsonParse, TraceTexts) {
  struct Case {
    const char* name;
    const char* text;
    const char* trace;
  } const cases[] = {
      {"comma before brace", "{\"a\":1,}", "JSON: state 4: defaulted at line 1\n"},
      {"line counted", "{\n\"a\":1,\r\n}", "JSON: state 4: defaulted at line 4\n"},
      {"array at the top", "[]", "JSON: state 0: defaulted at line 1\n"},
      {"no trace for a lexical error in a value", "{\"a\":tru}", ""},
      {"no trace after the root", "{}x", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DebugCapture capture;
    JsonNode* root = nullptr;
    ParseJsonTextOnce(&root, c.text);
    EXPECT_EQ(capture.Text(DebugChannel::Stderr), c.trace);
    FreeJsonTree(&root);
  }
}

TEST(JsonParse, UndefinedStatesTraceAndFail) {
  DebugCapture capture;
  JsonParser parser;
  InitJsonParser(&parser);
  parser.state = 42;
  EXPECT_EQ(ParseJsonFragment(&parser, "{}"), kJsonBroken);
  EXPECT_EQ(capture.Text(DebugChannel::Stderr), "JSON: state 42: defaulted at line 1\n");
  ReleaseJsonParser(&parser);

  capture.Clear();
  int lexState = 50;
  const char* cursor = nullptr;
  JsonText* token = nullptr;
  ptrdiff_t line = 1;
  EXPECT_EQ(NextJsonToken("x", &lexState, &cursor, &token, &line), kJsonTokError);
  EXPECT_EQ(capture.Text(DebugChannel::Stderr), "JSON: *state missing: 50\n");
}

TEST(JsonLexer, TokenBufferGrowsByFive) {
  int lexState = 0;
  const char* cursor = nullptr;
  JsonText* token = nullptr;
  ptrdiff_t line = 1;
  const char* piece = "\"abcdefghi";
  EXPECT_EQ(NextJsonToken(piece, &lexState, &cursor, &token, &line), kJsonTokEnd);
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(lexState, kLexString);
  ASSERT_NE(token, nullptr);
  EXPECT_EQ(token->length, 9u);
  EXPECT_EQ(token->capacity, 13u);
  EXPECT_STREQ(token->buffer, "abcdefghi");
  EXPECT_EQ(NextJsonToken("j\" ,", &lexState, &cursor, &token, &line), kJsonTokString);
  EXPECT_STREQ(token->buffer, "abcdefghij");
  free(token->buffer);
  free(token);
  token = nullptr;
  EXPECT_EQ(NextJsonToken("j\" ,", &lexState, &cursor, &token, &line), kJsonTokComma);
  EXPECT_EQ(NextJsonToken("j\" ,", &lexState, &cursor, &token, &line), kJsonTokEnd);
}

TEST(JsonTree, FindLabelFindsTheFirst) {
  JsonNode* root = nullptr;
  ASSERT_EQ(ParseJsonText(&root, "{\"a\":1,\"b\":{\"c\":\"x\"},\"a\":2}"), kJsonDone);
  JsonNode* a = FindJsonLabel(root, "a");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->firstChild->text, "1");
  EXPECT_STREQ(FindJsonLabel(FindJsonLabel(root, "b")->firstChild, "c")->firstChild->text, "x");
  EXPECT_EQ(FindJsonLabel(root, "z"), nullptr);
  EXPECT_EQ(FindJsonLabel(nullptr, "a"), nullptr);
  FreeJsonTree(&root);
}

TEST(JsonTree, LinkRules) {
  struct Case {
    const char* name;
    int32_t parentType;
    int32_t childType;
    bool childHasChild;
    int expected;
  } const cases[] = {
      {"object takes a label", kJsonObject, kJsonString, false, kJsonDone},
      {"object refuses a number", kJsonObject, kJsonNumber, false, kJsonCannotClose},
      {"object refuses an array", kJsonObject, kJsonArray, false, kJsonCannotClose},
      {"label takes an object", kJsonString, kJsonObject, true, kJsonDone},
      {"label takes a scalar", kJsonString, kJsonTrue, false, kJsonDone},
      {"label refuses a label", kJsonString, kJsonString, true, kJsonCannotClose},
      {"array takes an array", kJsonArray, kJsonArray, true, kJsonDone},
      {"array takes a string", kJsonArray, kJsonString, false, kJsonDone},
      {"number takes nothing", kJsonNumber, kJsonNull, false, kJsonCannotClose},
      {"true takes nothing", kJsonTrue, kJsonObject, false, kJsonCannotClose},
      {"child type above 6", kJsonArray, 7, false, kJsonCannotClose},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    JsonNode parent{};
    JsonNode child{};
    JsonNode grandchild{};
    parent.type = c.parentType;
    child.type = c.childType;
    if (c.childHasChild) child.firstChild = child.lastChild = &grandchild;
    EXPECT_EQ(AddJsonChild(&parent, &child), c.expected);
    EXPECT_EQ(parent.firstChild == &child, c.expected == kJsonDone);
    EXPECT_EQ(child.parent == &parent, c.expected == kJsonDone);
  }
}

TEST(JsonTree, FreeingAnInnerNodeKeepsTheRestConsistent) {
  JsonNode* root = nullptr;
  ASSERT_EQ(ParseJsonText(&root, "{\"a\":[1,2,3],\"b\":{\"c\":[4]},\"d\":5}"), kJsonDone);
  JsonNode* array = FindJsonLabel(root, "a")->firstChild;
  JsonNode* middle = array->firstChild->next;
  FreeJsonTree(&middle);
  EXPECT_EQ(middle, nullptr);
  JsonNode* first = array->firstChild;
  FreeJsonTree(&first);
  EXPECT_EQ(Dump(root), "{\"a\":[3],\"b\":{\"c\":[4]},\"d\":5}");
  JsonNode* b = FindJsonLabel(root, "b");
  FreeJsonTree(&b);
  EXPECT_EQ(Dump(root), "{\"a\":[3],\"d\":5}");
  JsonNode* d = FindJsonLabel(root, "d");
  FreeJsonTree(&d);
  EXPECT_EQ(Dump(root), "{\"a\":[3]}");
  FreeJsonTree(&root);
  EXPECT_EQ(root, nullptr);
  FreeJsonTree(&root);  // null is allowed
}

TEST(JsonParse, HundredThousandNestedArraysUseNoStack) {
  const int depth = 100000;
  std::string text = "{\"a\":" + std::string(depth, '[') + "7" + std::string(depth, ']') + "}";
  JsonNode* root = nullptr;
  ASSERT_EQ(ParseJsonText(&root, text.c_str()), kJsonDone);
  JsonNode* node = FindJsonLabel(root, "a")->firstChild;
  int levels = 0;
  while (node->type == kJsonArray) {
    node = node->firstChild;
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_STREQ(node->text, "7");
  FreeJsonTree(&root);

  std::string objects = "{";
  for (int i = 0; i < depth; ++i) objects += "\"k\":{";
  objects += std::string(depth + 1, '}');
  ASSERT_EQ(ParseJsonTextOnce(&root, objects.c_str()), kJsonDone);
  FreeJsonTree(&root);
}

TEST(JsonUnescape, Escapes) {
  struct Case {
    const char* name;
    const char* raw;
    std::string expected;
  } const cases[] = {
      {"chinese and line feed", "a\\u4e2d\\n", "a\xE4\xB8\xAD\n"},
      {"surrogate pair", "\\ud83d\\ude00", "\xF0\x9F\x98\x80"},
      {"upper-case pair", "\\uD83D\\uDE00!", "\xF0\x9F\x98\x80!"},
      {"two-byte form", "\\u00e9", "\xC3\xA9"},
      {"one-byte form", "\\u0041", "A"},
      {"simple escapes", "\\\"\\/\\\\\\b\\f\\r\\t", "\"/\\\b\f\r\t"},
      {"unknown escape dropped", "a\\qb", "ab"},
      {"nul escape ends the text", "ab\\u0000cd", "ab"},
      {"lone high surrogate at the end", "x\\ud83d", "x\xED\xA0\xBD"},
      {"high surrogate before a letter", "\\ud83dx", "\xED\xA0\xBDx"},
      {"high surrogate before a cut escape", "\\ud83d\\ude0", "\xED\xA0\xBD" "de0"},
      {"high surrogate before a non-low unit", "\\ud83d\\u0041", "\xED\xA0\xBD" "A"},
      {"lone low surrogate", "\\ude00", "\xED\xB8\x80"},
      {"cut escape at the end", "ab\\u12", "ab12"},
      {"backslash at the end", "ab\\", "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    size_t size = strlen(c.raw) + 1;
    char* raw = static_cast<char*>(malloc(size));  // exact size: over-reads are caught
    memcpy(raw, c.raw, size);
    char* text = UnescapeJsonString(raw);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), c.expected);
    free(text);
    free(raw);
  }
  EXPECT_EQ(UnescapeJsonString(nullptr), nullptr);
}

TEST(JsonParse, AllocationFailuresFreeEverything) {
  const char* text = "{\"a\":\"x\",\"b\":[1,{\"c\":null}],\"d\":\"longer than eight\"}";
  bool sawOutOfMemory = false;
  for (long n = 1; n < 200; ++n) {
    SCOPED_TRACE(n);
    DebugCapture quiet;
    FailJsonAllocationForTesting(n);
    JsonNode* root = nullptr;
    int result = ParseJsonText(&root, text);
    FailJsonAllocationForTesting(0);
    if (result == kJsonDone) {
      FreeJsonTree(&root);
      break;
    }
    EXPECT_EQ(root, nullptr);
    EXPECT_TRUE(result == kJsonNoMemory || result == kJsonMalformed) << result;
    sawOutOfMemory |= result == kJsonNoMemory;
  }
  EXPECT_TRUE(sawOutOfMemory);
}

}  // namespace
