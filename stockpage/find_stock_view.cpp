#include "stockpage/find_stock_view.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"
#include "quotes/quote_messages.h"

namespace {

const DialogTemplate kFindStockTemplate = {
    WS_POPUP | WS_CAPTION,
    0,
    0,
    0,
    82,
    135,
    u"",
    9,
    u"宋体",
    {
        {0xFFFF, WC_STATIC, u"请输入股票代码：", WS_VISIBLE, 2, 0, 67, 12},
        {IDC_FIND_STOCK_EDIT, WC_EDIT, u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 0, 13, 81, 17},
    },
};

// The one statement of the search; the typed text is a bound parameter, so
// nothing typed can change it.
constexpr char kSearchSql[] =
    "select code, name, abb, marketid, type from qdic "
    "where code like ?1 escape '\\' or abb like ?1 escape '\\' order by type, marketid, code";

constexpr size_t kMaxTypedBytes = 64;

// The typed text as a prefix pattern: ASCII letters upper-cased, the
// pattern characters and the escape character escaped, '%' appended.
std::string PrefixPattern(const std::string& typed) {
  std::string p;
  p.reserve(typed.size() * 2 + 1);
  for (char c : typed.substr(0, kMaxTypedBytes)) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c == '%' || c == '_' || c == '\\') p += '\\';
    p += c;
  }
  p += '%';
  return p;
}

const char* ColumnText(sqlite3_stmt* s, int column) {
  const unsigned char* t = sqlite3_column_text(s, column);
  return t ? reinterpret_cast<const char*>(t) : "";
}

// At most max bytes of text, never ending inside a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string EditTextUtf8(const CEdit& edit) {
  WCHAR text[64] = {};
  ::GetWindowTextW(edit.m_hWnd, text, 64);
  char* utf8 = Utf16ToUtf8Alloc(text);
  std::string out = utf8 ? utf8 : "";
  std::free(utf8);
  return out;
}

}  // namespace

std::vector<std::string> FindStockRows(sqlite3* db, const std::string& typedUtf8) {
  std::vector<std::string> rows;
  if (!db || typedUtf8.empty()) return rows;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, kSearchSql, -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return rows;
  }
  const std::string pattern = PrefixPattern(typedUtf8);
  sqlite3_bind_text(statement, 1, pattern.data(), static_cast<int>(pattern.size()), SQLITE_TRANSIENT);
  std::vector<std::string> indices;  // type-1 rows, appended after the others
  std::string row;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    row.clear();
    for (int c = 0; c < 5; ++c) {
      if (c) row += "|||";
      row += ColumnText(statement, c);
    }
    if (sqlite3_column_int(statement, 4) == 1)
      indices.push_back(row);
    else
      rows.push_back(row);
  }
  sqlite3_finalize(statement);
  rows.insert(rows.end(), std::make_move_iterator(indices.begin()), std::make_move_iterator(indices.end()));
  return rows;
}

StockKey StockKeyOfRow(const std::string& row) {
  StockKey key{};
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() < 5) {
    const size_t end = row.find("|||", start);
    parts.push_back(row.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 3;
  }
  parts.resize(5);
  std::strncpy(key.code, parts[0].c_str(), sizeof key.code - 1);
  const std::string name = CutUtf8(parts[1], sizeof key.name - 1);
  std::memcpy(key.name, name.data(), name.size());
  key.market = static_cast<uint8_t>(std::atoi(parts[3].c_str()));
  key.kind = static_cast<uint8_t>(std::atoi(parts[4].c_str()));
  return key;
}

int64_t FindStockListId(const StockKey& key) {
  if (key.market != 1 && key.market != 2) return -1;
  const bool shanghai = key.market == 1;
  if (std::strncmp(key.code, shanghai ? "900" : "200", 3) == 0) return shanghai ? 1108 : 1109;
  if (key.kind == 3) return shanghai ? 3105 : 3106;
  if (key.kind == 2) return shanghai ? 1102 : 1103;
  if (key.kind == 1) return 0;
  return -1;
}

CFindStockView::CFindStockView() : CDialog(IDD_FIND_STOCK, nullptr) {
  if (!FindDialogTemplate(IDD_FIND_STOCK)) RegisterDialogTemplate(IDD_FIND_STOCK, &kFindStockTemplate);
  font_ = CreateUiFont(GetUiFontFace(), 16);
}

CFindStockView::~CFindStockView() {
  if (m_hWnd) DestroyWindow();
  if (font_) DeleteGdiObject(font_);
}

BOOL CFindStockView::CreateWizard(CWnd* parent) {
  m_pParentWnd = parent;
  return Create(IDD_FIND_STOCK, parent);
}

void CFindStockView::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_FIND_STOCK_EDIT, edit_);
}

BOOL CFindStockView::OnInitDialog() {
  CDialog::OnInitDialog();
  if (font_) edit_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  return TRUE;
}

void CFindStockView::SetSearchText(const WCHAR* text) {
  if (!edit_.m_hWnd) return;
  edit_.LimitText(6);
  std::u16string lower = text ? text : u"";
  for (char16_t& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  edit_.SetWindowText(lower.c_str());
  edit_.SetSel(65535, -1);
}

void CFindStockView::MakeList() {
  CRect edit;
  edit_.GetClientRect(&edit);
  edit_.MapWindowPoints(this, reinterpret_cast<POINT*>(&edit), 2);
  CRect client;
  GetClientRect(&client);
  const int width = client.Width() - 2 * edit.left;
  const int height = client.Height() - edit.bottom - 8;
  if (!list_.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER,
                    CRect(edit.left, edit.bottom + 4, edit.left + width, edit.bottom + 4 + height), this,
                    IDC_FIND_STOCK_LIST))
    return;
  listMade_ = true;
  list_.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  if (font_) list_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  const int c = (width - 20) / 5;
  list_.InsertColumn(0, u"", LVCFMT_LEFT, c + 15);
  list_.InsertColumn(1, u"", LVCFMT_LEFT, 3 * c - 25);
  list_.InsertColumn(2, u"", LVCFMT_LEFT, c + 10);
}

void CFindStockView::Search() {
  if (!db_ || !m_hWnd) return;
  if (!listMade_) MakeList();
  if (!listMade_) return;
  list_.ResetContent();
  rows_.clear();
  const std::string typed = EditTextUtf8(edit_);
  if (typed.empty()) return;
  rows_ = FindStockRows(db_, typed);
  for (const std::string& row : rows_) list_.AddItem(row);
  list_.SetItemCount(static_cast<int>(rows_.size()));
  SetTimer(kFindStockFirstRowTimer, 100);
}

void CFindStockView::OnTimer(UINT_PTR id) {
  if (id != kFindStockFirstRowTimer) return CDialog::OnTimer(id);
  KillTimer(id);
  if (listMade_ && !rows_.empty() && list_.GetNextItem(-1, LVNI_SELECTED) < 0)
    list_.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CDialog::OnTimer(id);
}

void CFindStockView::Choose() {
  chosen_ = StockKey{};
  const std::string typed = m_hWnd ? EditTextUtf8(edit_) : std::string();
  if (db_ && !typed.empty()) {
    if (!rows_.empty()) {
      int selected = listMade_ ? list_.GetNextItem(-1, LVNI_SELECTED) : -1;
      if (selected < 0 || selected >= static_cast<int>(rows_.size())) selected = 0;
      chosen_ = StockKeyOfRow(rows_[selected]);
      if (chosen_.code[0] && owner_ && owner_->m_hWnd) {
        const HWND to = owner_->m_hWnd;
        PostShowStock(to, 0, chosen_);
        const int64_t listId = FindStockListId(chosen_);
        if (listId == 0) {
          PostShowIndexList(to, chosen_.code);
        } else if (listId > 0) {
          if (StockListInfo* info = EngineStockListInfo(engine_)) {
            info->requestType = chosen_.kind == 1 ? 43 : 40;
            info->sortField = 1;
            info->direction = 1;
            info->kind = kListRequested;
            info->currentIndex = selected;
            info->listId = listId;
            std::memset(info->code, 0, sizeof info->code);
            std::strncpy(info->code, chosen_.code, sizeof info->code - 1);
            PostStockList(to, info, nullptr);
          }
        }
      }
    } else if (AllDigits(typed) && typed.size() <= 6 && owner_ && owner_->m_hWnd) {
      // A command code: the frame runs it.
      std::strncpy(chosen_.code, typed.c_str(), sizeof chosen_.code - 1);
      PostShowStock(owner_->m_hWnd, 0, chosen_);
    }
  }
  if (m_hWnd) DestroyWindow();
}

void CFindStockView::OnCancel() {
  if (m_hWnd) DestroyWindow();
}

void CFindStockView::OnClose() {
  if (m_hWnd) DestroyWindow();
}

void CFindStockView::ForwardKeyToList(UINT key) {
  if (!listMade_) return;
  list_.SetFocus();
  list_.PostMessage(WM_KEYDOWN, key, key);
}

BOOL CFindStockView::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && m_hWnd && (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd))) {
    const UINT key = static_cast<UINT>(msg->wParam);
    if ((key == VK_UP || key == VK_DOWN) && msg->hwnd == edit_.m_hWnd && listMade_) {
      ForwardKeyToList(key);
      return TRUE;
    }
    if (key == VK_RETURN) {
      Choose();
      return TRUE;
    }
    if (key == VK_ESCAPE) {
      OnCancel();
      return TRUE;
    }
  }
  return CDialog::PreTranslateMessage(msg);
}

void CFindStockView::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (key == VK_UP || key == VK_DOWN) return ForwardKeyToList(key);
  CDialog::OnKeyDown(key, repeat, flags);
}

BOOL CFindStockView::OnCmdMsg(UINT id, int code) {
  if (id == IDC_FIND_STOCK_EDIT && code == EN_CHANGE) {
    Search();
    return TRUE;
  }
  return CDialog::OnCmdMsg(id, code);
}

BOOL CFindStockView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
  if (hdr && hdr->idFrom == IDC_FIND_STOCK_LIST && listMade_ && hdr->hwndFrom == list_.m_hWnd) {
    if (hdr->code == NM_DBLCLK) {
      Choose();
      *result = 0;
      return TRUE;
    }
    if (hdr->code == NM_CUSTOMDRAW) {
      *result = DrawRow(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
      return TRUE;
    }
  }
  return CDialog::OnNotify(wParam, lParam, result);
}

LRESULT CFindStockView::DrawRow(NMLVCUSTOMDRAW* cd) {
  const DWORD stage = cd->nmcd.dwDrawStage;
  if (stage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (stage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYSUBITEMDRAW;
  if (stage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) return CDRF_DODEFAULT;
  const int item = static_cast<int>(cd->nmcd.dwItemSpec);
  const int sub = cd->iSubItem;
  if (item < 0 || item >= static_cast<int>(rows_.size()) || sub < 0 || sub > 2) return CDRF_SKIPDEFAULT;
  CRect cell;
  list_.GetSubItemRect(item, sub, sub == 0 ? LVIR_LABEL : LVIR_BOUNDS, cell);
  const bool selected = (list_.GetItemState(item, LVIS_SELECTED) & LVIS_SELECTED) != 0;
  HDC dc = cd->nmcd.hdc;
  FillRectColor(dc, &cell, selected ? 0x5CB4FF : 0xFFFFFF);
  const std::string& row = rows_[item];
  size_t start = 0;
  for (int i = 0; i < sub && start != std::string::npos; ++i) {
    start = row.find("|||", start);
    if (start != std::string::npos) start += 3;
  }
  std::string part;
  if (start != std::string::npos) {
    const size_t end = row.find("|||", start);
    part = row.substr(start, end == std::string::npos ? std::string::npos : end - start);
  }
  WCHAR* wide = Utf8ToUtf16Alloc(part.c_str());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(0, 0, 0));
  CRect text = cell;
  text.left += 2;
  ::DrawTextW(dc, wide ? wide : u"", -1, &text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  std::free(wide);
  return CDRF_SKIPDEFAULT;
}

void CFindStockView::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CDialog::OnActivate(state, other, minimized);
  if (state == WA_INACTIVE && m_hWnd) PostMessage(WM_CLOSE);
}

void CFindStockView::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (!edit_.m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  CRect edit;
  edit_.GetWindowRect(&edit);
  ScreenToClient(&edit);
  CRect editClient;
  edit_.GetClientRect(&editClient);
  edit_.MoveWindow(edit.left, edit.top, client.Width() - 2 * edit.left, editClient.Height() + 4);
  if (listMade_) {
    CRect list;
    list_.GetWindowRect(&list);
    ScreenToClient(&list);
    list_.MoveWindow(list.left, list.top, client.Width() - 2 * list.left, client.Height() - list.top);
  }
  if (font_) edit_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}
