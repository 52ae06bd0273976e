// JSON reader: a resumable lexer and parser that turn a zero-terminated UTF-8
// JSON text into a tree of JsonNode records.
//
// The lexer (NextJsonToken) can stop at the end of any piece of text and go on
// with the next piece; the parser (ParseJsonFragment) keeps its position in a
// JsonParser record between pieces. ParseJsonText feeds a text in pieces of at
// most 1,024 bytes, ParseJsonTextOnce in one piece. String values stay in the
// tree exactly as written between the quotes, escapes included; callers decode
// them with UnescapeJsonString. The top level of a document must be an object.
//
// Parser states (the numbers are part of the trace texts and of the result
// codes' meaning, so they are kept as the stored files and callers know them):
//   0 before the root        --'{'-->  1 open object --> 2
//   2 object just opened     --'}'--> close | --string--> label, 5
//   3 after a member         --','--> 4 | --'}'--> close
//   4 after ',' in an object --string--> label, 5
//   5 after a label          --':'--> 6
//   6 member value           --scalar--> 3 | --'{'--> 1 | --'['--> 7
//   7 open array --> 8
//   8 element expected       --scalar--> 9 | --'{'--> 1 | --'['--> 7 | --']'--> close
//   9 after an element       --','--> 8 | --']'--> close
//   99 root closed           (only whitespace may follow)
// Closing walks up by parent links, so nesting depth costs no stack; freeing
// is iterative as well.
//
// Traces: the two messages of the parser and lexer go to the standard-error
// channel of the debug sink.
//
// Memory: the nodes of a document and their texts live in the document's own
// storage, freed at once by FreeJsonTree of the root; FreeJsonTree of an
// inner node unlinks it (its bytes go with the root). The thread that frees a
// document keeps up to 8 MB of its largest blocks for the next documents it
// parses, so a large reply read again and again does not fault its pages in
// every time. Node texts are read
// only, never freed or replaced. Parser buffers come from malloc, and a text
// this reader returns (UnescapeJsonString) is freed by the caller with free().
#pragma once

#include <cstddef>
#include <cstdint>

// Node types.
enum JsonNodeType : int32_t {
  kJsonString = 0,  // string value, or a member's label when it has a child
  kJsonNumber = 1,
  kJsonObject = 2,
  kJsonArray = 3,
  kJsonTrue = 4,
  kJsonFalse = 5,
  kJsonNull = 6,
};

// Result codes of ParseJsonFragment, ParseJsonText and ParseJsonTextOnce.
enum JsonResult : int {
  kJsonDone = 1,          // the tree is complete
  kJsonNeedMore = 2,      // the piece ended, the document is not complete
  kJsonRootClosed = 3,    // the root closed and the piece ended
  kJsonMalformed = 4,     // token not allowed here, or text after the root
  kJsonNoMemory = 6,      // out of memory
  kJsonBadValue = 7,      // lexical error where a value or label was expected
  kJsonCannotClose = 8,   // a closed container cannot be held by its parent
  kJsonBroken = 10,       // link failure, undefined state, or text ended early
};

// Token codes of NextJsonToken.
enum JsonToken : int {
  kJsonTokEnd = 0,         // the piece ended (state kept)
  kJsonTokError = 1,       // lexical error
  kJsonTokTrue = 2,
  kJsonTokFalse = 3,
  kJsonTokNull = 4,
  kJsonTokOpenObject = 5,
  kJsonTokCloseObject = 6,
  kJsonTokOpenArray = 7,
  kJsonTokCloseArray = 8,
  kJsonTokColon = 9,
  kJsonTokComma = 10,
  kJsonTokString = 11,     // string complete; its text is in the token buffer
  kJsonTokNumber = 12,     // number complete; its text is in the token buffer
  kJsonTokNoMemory = 14,
};

// One node of the tree. An object's children are labels (type 0, text = the
// member's name) whose only child is the member's value; an array's children
// are its values in order.
struct JsonNode {
  int32_t type;           // JsonNodeType
  char* text;             // string or number text as written, else null; in the document's storage
  JsonNode* next;         // following sibling, or null
  JsonNode* previous;     // preceding sibling, or null
  JsonNode* parent;       // null for the root
  JsonNode* firstChild;   // null when there is none
  JsonNode* lastChild;    // null when there is none
};

// Growable token buffer of the lexer. Once the first byte is appended the
// buffer holds length bytes and a terminating zero and has room for capacity
// bytes plus the zero; before that it is null.
struct JsonText {
  char* buffer;     // owned, capacity + 1 bytes, or null while the token is empty
  size_t length;    // bytes of text
  size_t capacity;  // starts at 8, grows by 5
};

// Position of a parse between pieces. Zero-filled (or InitJsonParser) is the
// start state. Owned by one thread at a time.
struct JsonParser {
  int state;              // parser state (see the table above)
  int lexState;           // lexer state, kept across pieces
  JsonText* token;        // token record, owned; reused from token to token
  const char* cursor;     // into the current piece; null at its end
  ptrdiff_t line;         // line number for traces, starts at 1
  JsonNode* current;      // innermost open object, label or array; the root when complete
  struct JsonArena* storage;  // the storage of the document being built (the reader's own), or null
};

// Puts the parser into its start state (line 1, nothing read).
void InitJsonParser(JsonParser* parser);

// Frees what the parser owns: the token being read and the whole partial tree
// (found from the current node by parent links). Leaves the start state.
void ReleaseJsonParser(JsonParser* parser);

// Parses a whole zero-terminated text in pieces of at most 1,024 bytes. On 1
// *root receives the tree (caller frees with FreeJsonTree). On any other
// result *root is null and the partial tree has been freed. root must not be
// null; a null text is treated as empty (result 10).
int ParseJsonText(JsonNode** root, const char* text);

// As ParseJsonText with the whole text given as one piece. A text that ends
// before the document is complete returns 2 (not 10).
int ParseJsonTextOnce(JsonNode** root, const char* text);

// Consumes one zero-terminated piece and returns the result code:
// kJsonNeedMore, kJsonRootClosed when the root closed and the piece ended,
// or an error. The tree
// built so far stays reachable from parser->current; after an error the
// caller frees it with ReleaseJsonParser.
int ParseJsonFragment(JsonParser* parser, const char* piece);

// Lexer states (JsonParser::lexState): where the lexer stands between two
// bytes, kept across pieces. 0 is the start state.
enum JsonLexState : int {
  kLexBetween = 0,          // between tokens
  kLexString = 1,           // inside a string
  kLexEscape = 2,           // after a backslash
  kLexUnicode1 = 3,         // after "\u", expecting the first of four hex digits
  kLexUnicode2 = 4,
  kLexUnicode3 = 5,
  kLexUnicode4 = 6,         // expecting the last hex digit
  kLexT = 7,                // "t" of true read
  kLexTr = 8,
  kLexTru = 9,
  kLexF = 10,               // "f" of false read
  kLexFa = 11,
  kLexFal = 12,
  kLexFals = 13,
  kLexN = 14,               // "n" of null read
  kLexNu = 15,
  kLexNul = 16,
  kLexMinus = 17,           // after a number's '-'
  kLexZero = 18,            // after a leading '0'
  kLexInteger = 19,         // in the integer digits
  kLexPoint = 20,           // after '.'
  kLexFraction = 21,        // in the fraction digits
  kLexExponent = 22,        // after 'e' or 'E'
  kLexExponentSign = 23,    // after the exponent's sign
  kLexExponentDigits = 24,  // in the exponent digits
};

// Reads the next token of the piece. A null *cursor stands for the start of
// the piece. At the end of the piece *cursor becomes null, the lexer state is
// kept and kJsonTokEnd is returned, so a token may span pieces. String and
// number texts accumulate in *token (allocated here, reused when it is
// already there); on kJsonTokString and kJsonTokNumber the caller takes the
// text (and frees the record when done).
int NextJsonToken(const char* piece, int* lexState, const char** cursor, JsonText** token,
                  ptrdiff_t* line);

// Links child after parent's last child: kJsonDone, or kJsonCannotClose when
// the parent cannot take it (then nothing is linked). Objects take labels only; labels and arrays
// take containers, and scalars without children.
int AddJsonChild(JsonNode* parent, JsonNode* child);

// First child of the object whose text equals label byte for byte, or null.
// Its first child is the member's value. object may be null (result null).
JsonNode* FindJsonLabel(const JsonNode* object, const char* label);

// Decodes the escapes of a raw string text into a new text of the raw text's
// length plus one byte (caller frees). '\u' escapes become UTF-8; a high
// surrogate followed by "\u" and a low surrogate becomes one 4-byte form,
// otherwise each unit is written alone (3 bytes). '\u0000' ends the text
// there. An unknown escape letter is dropped with its backslash. Never reads
// past the raw text's terminator. Null for a null text or no memory.
char* UnescapeJsonString(const char* raw);

// Unlinks *node from its parent and siblings and sets *node to null; for the
// root of a document it frees the whole document. Constant time. Null is
// allowed. Only nodes this reader made may be given.
void FreeJsonTree(JsonNode** node);

// Tests only: the n-th following allocation of this reader fails (1 = the
// next one); 0 turns failures off. Process-wide.
void FailJsonAllocationForTesting(long n);
