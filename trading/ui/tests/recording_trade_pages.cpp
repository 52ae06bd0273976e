#include "trading/ui/tests/recording_trade_pages.h"

#include "controls/control_messages.h"
#include "foundation/text_codec.h"
#include "trading/ui/trade_messages.h"

namespace {
std::string Utf8Of(const WCHAR* text) {
  if (!text) return "null";
  char* utf8 = Utf16ToUtf8Alloc(text);
  std::string out = utf8 ? utf8 : "";
  free(utf8);
  return out;
}
}  // namespace

std::vector<std::string>& TradePageJournal() {
  static std::vector<std::string> journal;
  return journal;
}

BOOL PlaceholderTradePage::CreateWindowOf(CWnd* parent, UINT id, TradeSession* session) {
  session_ = session;
  if (!Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), parent, id)) return FALSE;
  ShowWindow(SW_HIDE);
  return TRUE;
}

void PlaceholderTradePage::Note(const std::string& call) { TradePageJournal().push_back(std::string(name_) + "." + call); }

void PlaceholderTradePage::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  dc.FillSolidRect(&rc, RGB(16, 16, 24));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(128, 128, 140));
  WCHAR* name = Utf8ToUtf16Alloc(name_);
  dc.DrawText(name ? name : u"", &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  free(name);
}

void PlaceholderOrderPage::SetKind(int side) { Note("SetKind(" + std::to_string(side) + ")"); }
void PlaceholderOrderPage::ClearForm(bool clearCode) { Note(std::string("ClearForm(") + (clearCode ? "1" : "0") + ")"); }
void PlaceholderOrderPage::SetCode(const WCHAR* code) { Note("SetCode(" + Utf8Of(code) + ")"); }
void PlaceholderOrderPage::FillShareholders() { Note("FillShareholders"); }
void PlaceholderOrderPage::Refresh() { Note("Refresh"); }

void PlaceholderQueryPage::SetPage(int index) { Note("SetPage(" + std::to_string(index) + ")"); }
void PlaceholderQueryPage::Refresh() { Note("Refresh"); }
LRESULT PlaceholderQueryPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The program-wide key message shares its number with the panel's command.
  if (message == WM_KEY_COMMAND && wParam != kTradePanelCommandTag) return 1;
  return PlaceholderTradePage::WindowProc(message, wParam, lParam);
}

void PlaceholderBankPage::SetMode(int mode) { Note("SetMode(" + std::to_string(mode) + ")"); }
void PlaceholderBankPage::RequestBanks() { Note("RequestBanks"); }
void PlaceholderBankPage::FillBanks() { Note("FillBanks"); }

void PlaceholderPasswordPage::Reset() { Note("Reset"); }

TradePages MakePlaceholderTradePages() {
  TradePages pages;
  pages.order = std::make_unique<PlaceholderOrderPage>();
  pages.query = std::make_unique<PlaceholderQueryPage>();
  pages.bank = std::make_unique<PlaceholderBankPage>();
  pages.password = std::make_unique<PlaceholderPasswordPage>();
  return pages;
}

void RunPlaceholderQuickTrade(CWnd*, TradeSession* session, int side, const WCHAR* code) {
  TradePageJournal().push_back("quick.Run(" + std::to_string(side) + "," +
                               (session ? "session" : "null") + "," + Utf8Of(code) + ")");
}
