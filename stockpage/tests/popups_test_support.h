// Shared pieces of the search, pop-up quote, cycle view and F10 tests: a
// frame stand-in that records (and frees) what the windows post to it, and
// the delivered code dictionary copied into a temporary folder.
#pragma once

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/kernel_utf.h"
#include "platform/mfc/afx.h"
#include "quotes/quote_messages.h"

namespace popup_test {

// One message the stand-in received, with copies of what it carried.
struct Posted {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  StockKey key{};                 // WM_SHOW_STOCK
  bool hasKey = false;
  StockListInfo info{};           // WM_SET_STOCK_LIST: the record as it was
  std::vector<StockKey> payload;  // WM_SET_STOCK_LIST: the payload's keys
  bool hasPayload = false;
  std::string code;               // WM_SHOW_INDEX_LIST
  std::u16string text;            // WM_POP_HTML
};

// Records WM_SHOW_STOCK, WM_SET_STOCK_LIST, WM_SHOW_INDEX_LIST,
// WM_POP_HTML, WM_KEY_COMMAND, WM_KEYDOWN, WM_COMMAND and 20007 and frees
// their heap payloads as the final handlers do.
class FrameStandIn : public CWnd {
 public:
  std::vector<Posted> Of(UINT message) const {
    std::vector<Posted> out;
    for (const Posted& p : heard)
      if (p.message == message) out.push_back(p);
    return out;
  }
  BOOL Make(int x, int y, int w, int h) {
    return CreateEx(0, nullptr, u"frame", WS_POPUP | WS_VISIBLE, CRect(x, y, x + w, y + h), nullptr, 0);
  }
  std::vector<Posted> heard;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    Posted p;
    p.message = message;
    p.wParam = wParam;
    p.lParam = lParam;
    switch (message) {
      case WM_SHOW_STOCK: {
        auto key = TakeShowStockKey(static_cast<uintptr_t>(lParam));
        if (key) p.key = *key, p.hasKey = true;
        heard.push_back(p);
        return 0;
      }
      case WM_SET_STOCK_LIST: {
        if (wParam) p.info = *reinterpret_cast<StockListInfo*>(wParam);
        auto payload = TakeStockListPayload(lParam);
        if (payload) p.payload = payload->keys, p.hasPayload = true;
        heard.push_back(p);
        return 0;
      }
      case WM_SHOW_INDEX_LIST: {
        auto code = TakeIndexListCode(wParam);
        if (code) p.code = code.get();
        heard.push_back(p);
        return 0;
      }
      case WM_POP_HTML: {
        std::unique_ptr<WCHAR[]> text(reinterpret_cast<WCHAR*>(wParam));
        if (text) p.text = text.get();
        heard.push_back(p);
        return 0;
      }
      case WM_KEY_COMMAND:
      case WM_KEYDOWN:
      case WM_COMMAND:
      case 20007:
        heard.push_back(p);
        return 0;
      default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
  }
};

// A temporary folder removed with the object.
class TempFolder {
 public:
  TempFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("orv-popups-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path path_;
};

// The delivered dictionary (res/pellune.db of the build) copied into a
// temporary folder and opened read-write, as the frame opens it.
class DeliveredDictionary {
 public:
  DeliveredDictionary() {
    const std::filesystem::path copy = folder_.Path() / "pellune.db";
    std::filesystem::copy_file(std::string(ORV_BINARY_DIR) + "/res/pellune.db", copy);
    if (sqlite3_open_v2(copy.string().c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
    }
  }
  ~DeliveredDictionary() { sqlite3_close(db_); }
  sqlite3* Db() const { return db_; }

 private:
  TempFolder folder_;
  sqlite3* db_ = nullptr;
};

// A small dictionary of the delivered schema holding the rows given, each
// inserted with bound values: market, type, code, name, abb as texts (so a
// test can store a market that is not a number).
struct DictRow {
  const char* market;
  const char* type;
  const char* code;
  const char* name;
  const char* abb;
};

inline sqlite3* MakeDictionary(const std::vector<DictRow>& rows) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db,
               "CREATE TABLE qdic (marketid INTEGER, type INTEGER, code TEXT, name TEXT, abb TEXT, "
               "PRIMARY KEY(marketid, code))",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "insert into qdic values (?1, ?2, ?3, ?4, ?5)", -1, &s, nullptr);
  for (const DictRow& r : rows) {
    const char* values[] = {r.market, r.type, r.code, r.name, r.abb};
    for (int i = 0; i < 5; ++i) sqlite3_bind_text(s, i + 1, values[i], -1, SQLITE_TRANSIENT);
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  return db;
}

}  // namespace popup_test
