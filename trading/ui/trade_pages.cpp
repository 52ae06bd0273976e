#include "trading/ui/trade_pages.h"

#include "trading/ui/trade_deal_view.h"
#include "trading/ui/trade_page_placeholders.h"

namespace {
TradePagesMaker g_pagesMaker = nullptr;
QuickTradeRunner g_quickRunner = nullptr;
}  // namespace

void SetTradePagesMakerForTesting(TradePagesMaker maker) { g_pagesMaker = maker; }
void SetQuickTradeRunnerForTesting(QuickTradeRunner runner) { g_quickRunner = runner; }

TradePages MakeTradePages() {
  if (g_pagesMaker) return g_pagesMaker();
  TradePages pages = MakePlaceholderTradePages();
  pages.order = std::make_unique<CTradeDealView>();
  return pages;
}

void RunQuickTradeDialog(CWnd* parent, TradeSession* session, int side, const WCHAR* code) {
  if (g_quickRunner) return g_quickRunner(parent, session, side, code);
  RunPlaceholderQuickTrade(parent, session, side, code);
}
