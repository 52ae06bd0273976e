#include "shell/frame_factories.h"

#include "quotes/quote_view.h"
#include "shell/brisel_helper.h"
#include "shell/frame_placeholders.h"
#include "stockpage/find_stock_view.h"
#include "trading/ui/trade_view.h"

FrameFactories DefaultFrameFactories() {
  FrameFactories f;
  f.quoteView = [] { return std::unique_ptr<IQuoteView>(new CQuoteView); };
  f.tradeView = [] { return std::unique_ptr<ITradeView>(new CTradeView); };
  f.findStockView = [] { return std::unique_ptr<IFindStockView>(new CFindStockView); };
  f.popQuote = [] { return std::unique_ptr<IPopQuote>(new PlaceholderPopQuote); };
  f.popMsgDialog = [] { return std::unique_ptr<IPopMsgDialog>(new PlaceholderPopMsgDialog); };
  f.briselHelper = [] { return std::unique_ptr<IBriselHelper>(new VexloBriselHelper); };
  return f;
}
