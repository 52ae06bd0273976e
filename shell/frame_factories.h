// How the main frame makes the windows of other libraries.
//
// The frame knows the quote view, the trade view, the keyboard wizard, the
// pop-up quote, the new-message notice and the browser helpers only by their
// interfaces. It makes every one of them through the functions of one
// FrameFactories record, given at its construction; DefaultFrameFactories()
// answers the program's real windows (a library whose window has not been
// built yet answers its placeholder from frame_placeholders.h). Tests give
// the frame their own record.
#pragma once

#include <functional>
#include <memory>

#include "quotes/quote_view_interface.h"
#include "shell/brisel_helper_interface.h"
#include "shell/pop_msg_interface.h"
#include "stockpage/find_stock_interface.h"
#include "stockpage/pop_quote_interface.h"
#include "trading/trade_view_interface.h"

struct FrameFactories {
  std::function<std::unique_ptr<IQuoteView>()> quoteView;
  std::function<std::unique_ptr<ITradeView>()> tradeView;
  std::function<std::unique_ptr<IFindStockView>()> findStockView;
  std::function<std::unique_ptr<IPopQuote>()> popQuote;
  std::function<std::unique_ptr<IPopMsgDialog>()> popMsgDialog;
  std::function<std::unique_ptr<IBriselHelper>()> briselHelper;
};

// The program's windows. Each call makes new, uncreated objects.
FrameFactories DefaultFrameFactories();
