// CFindStockView: the keyboard search window (template 101). The main frame
// opens it at its bottom-right corner when a letter or digit is typed in the
// main window; every change of its edit looks the text up in the code
// dictionary (qdic) by code prefix and by prefix of the initials, and Enter
// or a double click on a row posts the choice to the owner frame:
//   WM_SHOW_STOCK (0, heap StockKey)                     always first
//   WM_SET_STOCK_LIST (engine's StockListInfo, 0)        kind 17, the
//                                                        market category
//   WM_SHOW_INDEX_LIST (heap code, 0)                    for an index
// With no rows and a typed text of 1-6 digits it posts WM_SHOW_STOCK with a
// key whose code is the text and whose market and kind are 0: the frame
// runs that command code. The window closes after a choice, on Esc and
// when it loses activation; the object stays until its owner deletes it.
// UI thread only.
#pragma once

#include <string>
#include <vector>

#include "controls/virtual_list_box.h"
#include "marketdata/quote_record.h"
#include "platform/mfc/afx_controls.h"
#include "stockpage/find_stock_interface.h"

struct QuoteEngine;
struct StockListInfo;
struct sqlite3;

constexpr UINT IDD_FIND_STOCK = 101;
constexpr int IDC_FIND_STOCK_EDIT = 20001;
constexpr int IDC_FIND_STOCK_LIST = 1006;
constexpr UINT_PTR kFindStockFirstRowTimer = 20000;

// One keystroke's search: the rows of qdic whose code or initials begin
// with the typed text (ASCII letters upper-cased; quotes, % and _ are
// ordinary characters), ordered by type, market id and code, with the
// type-1 rows (indices) moved to the end in their order. Each row is
// "code|||name|||abb|||marketid|||type" as the database holds it. Empty for
// a null database, an empty text or a failed statement.
std::vector<std::string> FindStockRows(sqlite3* db, const std::string& typedUtf8);

// The stock a result row names: code and name (cut to 24 bytes on a
// character boundary), market and kind from their decimal texts (0 when not
// a number); decimals 0.
StockKey StockKeyOfRow(const std::string& row);

// The list id of the market category the stock belongs to, written into
// the browsing record: 1108/3105/1102 for market 1, 1109/3106/1103 for
// market 2 (code prefix "900"/"200", kind 3, kind 2). 0 for an index (kind
// 1 of those markets) and -1 for anything else.
int64_t FindStockListId(const StockKey& key);

class CFindStockView : public CDialog, public IFindStockView {
 public:
  CFindStockView();
  ~CFindStockView() override;

  CWnd* Window() override { return this; }
  BOOL CreateWizard(CWnd* parent) override;
  void SetOwnerFrame(CWnd* frame) override { owner_ = frame; }
  void SetEngine(QuoteEngine* engine) override { engine_ = engine; }
  void SetDatabase(sqlite3* db) override { db_ = db; }
  void SetSearchText(const WCHAR* text) override;

  // The result list once the first search made it, else null.
  CVListBox* ResultList() { return listMade_ ? &list_ : nullptr; }
  CEdit* Edit() { return &edit_; }
  const std::vector<std::string>& Rows() const { return rows_; }
  // The search of the edit's text (run on every change of it).
  void Search();
  // Posts the selected row (or row 0) to the owner frame and closes.
  void Choose();

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnOK() override { Choose(); }
  void OnCancel() override;
  void OnClose() override;
  void OnTimer(UINT_PTR id) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnActivate(UINT state, CWnd* other, BOOL minimized) override;
  void OnSize(UINT type, int cx, int cy) override;

 private:
  void MakeList();
  void ForwardKeyToList(UINT key);
  LRESULT DrawRow(NMLVCUSTOMDRAW* cd);

  sqlite3* db_ = nullptr;          // not owned
  CWnd* owner_ = nullptr;          // not owned
  QuoteEngine* engine_ = nullptr;  // not owned
  HFONT font_ = nullptr;           // owned
  CEdit edit_;
  CVListBox list_;
  bool listMade_ = false;
  std::vector<std::string> rows_;  // the rows shown, in list order
  StockKey chosen_{};
};
