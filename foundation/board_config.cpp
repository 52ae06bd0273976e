// Board configuration tables and their lookups.
#include "foundation/board_config.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "foundation/json_reader.h"
#include "foundation/user_folders.h"

namespace {

std::recursive_mutex gBoardLock;
BoardConfig* gBoardConfig = nullptr;                             // guarded by gBoardLock
auto* gReplacedConfigs = new std::vector<BoardConfig*>();        // guarded by gBoardLock

// The text of a member's value when it is a string or a number, else null.
const char* MemberText(const JsonNode* object, const char* name) {
  const JsonNode* label = FindJsonLabel(object, name);
  if (label == nullptr || label->firstChild == nullptr) return nullptr;
  const JsonNode* value = label->firstChild;
  if (value->type != kJsonString && value->type != kJsonNumber) return nullptr;
  return value->text;
}

// The member's array, or null when it is absent or no array.
const JsonNode* MemberArray(const JsonNode* object, const char* name) {
  const JsonNode* label = FindJsonLabel(object, name);
  if (label == nullptr || label->firstChild == nullptr) return nullptr;
  return label->firstChild->type == kJsonArray ? label->firstChild : nullptr;
}

int32_t CountElements(const JsonNode* array) {
  int32_t count = 0;
  for (const JsonNode* e = array != nullptr ? array->firstChild : nullptr; e != nullptr; e = e->next)
    ++count;
  return count;
}

// A decimal read the way the C library's atoi reads it, held to 32 bits.
int32_t ReadDecimal(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<int32_t>(value);
}

void CopyField(char* field, size_t size, const char* text) {
  if (text == nullptr) return;
  size_t n = strnlen(text, size - 1);
  memcpy(field, text, n);
  field[n] = 0;
}

void FillGroups(BoardConfig* config, const JsonNode* root) {
  const JsonNode* groups = MemberArray(root, "boardIndex");
  int32_t count = CountElements(groups);
  if (count == 0) return;
  config->groups = static_cast<IndexGroup*>(calloc(count, sizeof(IndexGroup)));
  if (config->groups == nullptr) return;
  config->groupCount = count;
  IndexGroup* group = config->groups;
  for (const JsonNode* g = groups->firstChild; g != nullptr; g = g->next, ++group) {
    group->id = ReadDecimal(MemberText(g, "id"));
    group->market = static_cast<uint8_t>(ReadDecimal(MemberText(g, "marketid")));
    const JsonNode* entries = MemberArray(g, "index");
    int32_t entryCount = CountElements(entries);
    if (entryCount == 0) continue;
    group->entries = static_cast<IndexEntry*>(calloc(entryCount, sizeof(IndexEntry)));
    if (group->entries == nullptr) continue;
    group->entryCount = entryCount;
    IndexEntry* entry = group->entries;
    for (const JsonNode* e = entries->firstChild; e != nullptr; e = e->next, ++entry) {
      CopyField(entry->name, sizeof entry->name, MemberText(e, "name"));
      entry->boardId = ReadDecimal(MemberText(e, "boardid"));
      CopyField(entry->code, sizeof entry->code, MemberText(e, "code"));
    }
  }
}

void FillRules(BoardRecord* board, const JsonNode* rules) {
  int32_t count = CountElements(rules);
  if (count == 0) return;
  board->rules = static_cast<CodeRule*>(calloc(count, sizeof(CodeRule)));
  if (board->rules == nullptr) return;
  board->ruleCount = count;
  CodeRule* rule = board->rules;
  for (const JsonNode* r = rules->firstChild; r != nullptr; r = r->next, ++rule) {
    rule->market = static_cast<uint8_t>(ReadDecimal(MemberText(r, "market")));
    CopyField(rule->type, sizeof rule->type, MemberText(r, "type"));
    if (strstr(rule->type, "list") != nullptr) {
      if (const char* value = MemberText(r, "value")) rule->value = strdup(value);
    } else {
      CopyField(rule->start, sizeof rule->start, MemberText(r, "start"));
      CopyField(rule->end, sizeof rule->end, MemberText(r, "end"));
    }
  }
}

void FillBoards(BoardConfig* config, const JsonNode* root) {
  const JsonNode* setLabel = FindJsonLabel(root, "boardset");
  const JsonNode* set = setLabel != nullptr ? setLabel->firstChild : nullptr;
  if (set == nullptr) return;
  config->timestamp = ReadDecimal(MemberText(set, "timestamp"));
  const JsonNode* boards = MemberArray(set, "board");
  int32_t count = CountElements(boards);
  if (count == 0) return;
  config->boards = static_cast<BoardRecord*>(calloc(count, sizeof(BoardRecord)));
  if (config->boards == nullptr) return;
  config->boardCount = count;
  BoardRecord* board = config->boards;
  for (const JsonNode* b = boards->firstChild; b != nullptr; b = b->next, ++board) {
    board->id = ReadDecimal(MemberText(b, "id"));
    CopyField(board->desc, sizeof board->desc, MemberText(b, "desc"));
    CopyField(board->name, sizeof board->name, MemberText(b, "name"));
    FillRules(board, MemberArray(b, "codeRules"));
  }
}

void FreeTables(BoardConfig* config) {
  if (config == nullptr) return;
  for (int32_t i = 0; i < config->boardCount; ++i) {
    BoardRecord& board = config->boards[i];
    for (int32_t j = 0; j < board.ruleCount; ++j) free(board.rules[j].value);
    free(board.rules);
  }
  for (int32_t i = 0; i < config->groupCount; ++i) free(config->groups[i].entries);
  free(config->boards);
  free(config->groups);
  free(config);
}

const BoardRecord* FindBoardLocked(int64_t id) {
  if (gBoardConfig == nullptr) return nullptr;
  for (int32_t i = 0; i < gBoardConfig->boardCount; ++i) {
    if (gBoardConfig->boards[i].id == id) return &gBoardConfig->boards[i];
  }
  return nullptr;
}

bool BoardMatches(const BoardRecord* board, const char* code) {
  for (int32_t i = 0; i < board->ruleCount; ++i) {
    if (BoardRuleMatches(&board->rules[i], code)) return true;
  }
  return false;
}

}  // namespace

void LoadBoardConfig() {
  auto* config = static_cast<BoardConfig*>(calloc(1, sizeof(BoardConfig)));
  if (FileBlob* blob = ReadDataFile("res\\boardconfig.json")) {
    JsonNode* root = nullptr;
    if (config != nullptr && ParseJsonText(&root, blob->data) == kJsonDone) {
      FillGroups(config, root);
      FillBoards(config, root);
    }
    FreeJsonTree(&root);
    FreeFileBlob(blob);
  }
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  if (gBoardConfig != nullptr) gReplacedConfigs->push_back(gBoardConfig);
  gBoardConfig = config;
}

void FreeBoardConfig() {
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  FreeTables(gBoardConfig);
  gBoardConfig = nullptr;
  for (BoardConfig* config : *gReplacedConfigs) FreeTables(config);
  gReplacedConfigs->clear();
}

int32_t GetBoardConfigTimestamp() {
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  return gBoardConfig != nullptr ? gBoardConfig->timestamp : 0;
}

const BoardRecord* FindBoard(int64_t id) {
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  return FindBoardLocked(id);
}

int BoardRuleMatches(const CodeRule* rule, const char* code) {
  if (rule == nullptr || code == nullptr) return 0;
  if (strstr(rule->type, "list") != nullptr)
    return rule->value != nullptr && strstr(rule->value, code) != nullptr ? 1 : 0;
  return strcmp(rule->start, code) <= 0 && strcmp(code, rule->end) <= 0 ? 1 : 0;
}

int64_t FindBoardIdByCode(const char* code, uint8_t market) {
  if (code == nullptr || *code == 0 || market == 0) return 0;
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  if (gBoardConfig == nullptr) return 0;
  int64_t id = 0;
  for (int32_t i = 0; i < gBoardConfig->groupCount; ++i) {
    const IndexGroup& group = gBoardConfig->groups[i];
    if (group.market != market) continue;
    for (int32_t j = 0; j < group.entryCount; ++j) {
      if (strstr(group.entries[j].code, code) != nullptr) {
        id = group.entries[j].boardId;  // a later group replaces an earlier one
        break;
      }
    }
  }
  return id;
}

char* ListBoardMembers(const char* code, uint8_t /*market*/, int* length) {
  if (length != nullptr) *length = 0;
  auto* buffer = static_cast<char*>(calloc(2048, 1));
  if (buffer == nullptr || code == nullptr) return buffer;
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  if (gBoardConfig == nullptr) return buffer;
  int count = 0;
  for (int32_t b = 0; b < gBoardConfig->boardCount && count < kMaxBoardMembers; ++b) {
    const BoardRecord& board = gBoardConfig->boards[b];
    if (!BoardMatches(&board, code)) continue;
    for (int32_t g = 0; g < gBoardConfig->groupCount && count < kMaxBoardMembers; ++g) {
      const IndexGroup& group = gBoardConfig->groups[g];
      for (int32_t e = 0; e < group.entryCount && count < kMaxBoardMembers; ++e) {
        if (group.entries[e].boardId != board.id) continue;
        memcpy(buffer + 7 * count, group.entries[e].code, 6);
        buffer[7 * count + 6] = static_cast<char>(group.market);
        ++count;
      }
    }
  }
  if (length != nullptr) *length = 7 * count;
  return buffer;
}

int IsCodeInBoard(int64_t id, const char* code) {
  if (code == nullptr) return 0;
  std::lock_guard<std::recursive_mutex> guard(gBoardLock);
  const BoardRecord* board = FindBoardLocked(id);
  return board != nullptr && BoardMatches(board, code) ? 1 : 0;
}
