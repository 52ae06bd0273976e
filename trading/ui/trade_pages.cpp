#include "trading/ui/trade_pages.h"

#include "trading/ui/bank_view.h"
#include "trading/ui/change_pass_view.h"
#include "trading/ui/trade_deal_view.h"
#include "trading/ui/trade_kj_deal_dlg.h"
#include "trading/ui/trade_query_view.h"

namespace {
TradePagesMaker g_pagesMaker = nullptr;
QuickTradeRunner g_quickRunner = nullptr;
}  // namespace

void SetTradePagesMakerForTesting(TradePagesMaker maker) { g_pagesMaker = maker; }
void SetQuickTradeRunnerForTesting(QuickTradeRunner runner) { g_quickRunner = runner; }

TradePages MakeTradePages() {
  if (g_pagesMaker) return g_pagesMaker();
  TradePages pages;
  pages.order = std::make_unique<CTradeDealView>();
  pages.query = std::make_unique<CTradeQueryView>();
  pages.bank = std::make_unique<CBankView>();
  pages.password = std::make_unique<CChangePassView>();
  return pages;
}

void RunQuickTradeDialog(CWnd* parent, TradeSession* session, int side, const WCHAR* code) {
  if (g_quickRunner) return g_quickRunner(parent, session, side, code);
  CTradeKJDealDlg dialog(session, parent);
  dialog.SetKind(side);
  dialog.SetCode(code);
  dialog.DoModal();
}
