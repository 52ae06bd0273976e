#include "quotes/quote_messages.h"

#include <cstdlib>
#include <cstring>

#include "marketdata/quote_engine.h"

namespace {

// The pages' shared block of the engine (QuoteEngine::pageShared).
struct QuotePageShared {
  StockListInfo listInfo;
};

}  // namespace

StockListInfo* EngineStockListInfo(QuoteEngine* engine) {
  if (!engine) return nullptr;
  if (!engine->pageShared) engine->pageShared = std::calloc(1, sizeof(QuotePageShared));
  auto* shared = static_cast<QuotePageShared*>(engine->pageShared);
  return shared ? &shared->listInfo : nullptr;
}

std::unique_ptr<StockListPayload> MakeListPayload(const StockKey* keys, int count) {
  auto payload = std::make_unique<StockListPayload>();
  if (keys && count > 0) payload->keys.assign(keys, keys + count);
  return payload;
}

std::unique_ptr<StockListPayload> MakeListPayload(const QuoteRecord* records, int count) {
  auto payload = std::make_unique<StockListPayload>();
  if (!records || count <= 0) return payload;
  payload->keys.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) payload->keys.push_back(records[i].key);
  return payload;
}

StockKey MakeStockKey(const char* code, int market, int kind, int decimals) {
  StockKey key{};
  if (code) std::strncpy(key.code, code, 6);
  key.market = static_cast<uint8_t>(market);
  key.kind = static_cast<uint8_t>(kind);
  key.decimals = static_cast<uint8_t>(decimals);
  return key;
}

BOOL PostShowStock(HWND to, WPARAM mode, const StockKey& key) {
  auto copy = std::make_unique<StockKey>(key);
  if (!PostMessageW(to, WM_SHOW_STOCK, mode, reinterpret_cast<LPARAM>(copy.get()))) return FALSE;
  copy.release();
  return TRUE;
}

BOOL PostFindStockCode(HWND to, const StockKey& key) {
  auto copy = std::make_unique<StockKey>(key);
  if (!PostMessageW(to, WM_FIND_STOCK_CODE, reinterpret_cast<WPARAM>(copy.get()), 0)) return FALSE;
  copy.release();
  return TRUE;
}

std::unique_ptr<StockKey> TakeShowStockKey(uintptr_t param) {
  return std::unique_ptr<StockKey>(reinterpret_cast<StockKey*>(param));
}

BOOL PostStockList(HWND to, StockListInfo* info, std::unique_ptr<StockListPayload> payload) {
  if (!PostMessageW(to, WM_SET_STOCK_LIST, reinterpret_cast<WPARAM>(info),
                    reinterpret_cast<LPARAM>(payload.get())))
    return FALSE;
  payload.release();
  return TRUE;
}

std::unique_ptr<StockListPayload> TakeStockListPayload(LPARAM lParam) {
  return std::unique_ptr<StockListPayload>(reinterpret_cast<StockListPayload*>(lParam));
}

BOOL PostShowIndexList(HWND to, const char* code) {
  if (!code) return PostMessageW(to, WM_SHOW_INDEX_LIST, 0, 0);
  std::unique_ptr<char[]> copy(new char[8]());
  std::strncpy(copy.get(), code, 7);
  if (!PostMessageW(to, WM_SHOW_INDEX_LIST, reinterpret_cast<WPARAM>(copy.get()), 0)) return FALSE;
  copy.release();
  return TRUE;
}

std::unique_ptr<char[]> TakeIndexListCode(WPARAM wParam) {
  return std::unique_ptr<char[]>(reinterpret_cast<char*>(wParam));
}
