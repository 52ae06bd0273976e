// The placeholders stand in for windows of other libraries; the frame's tests
// rely on them behaving as the real windows' contracts say.
#include <gtest/gtest.h>

#include <cstring>

#include "controls/control_messages.h"
#include "marketdata/quote_engine.h"
#include "platform/window/win_desktop.h"
#include "shell/frame_placeholders.h"

namespace {

// A top-level window that records what is posted to it.
class Owner : public CWnd {
 public:
  std::vector<std::pair<UINT, WPARAM>> got;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_BROWSER_READY || msg == WM_RELAYOUT_MAIN) got.push_back({msg, wParam});
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

TEST(FramePlaceholders, BrowserHelperKeepsValuesUntilReadyAndSendsThemInOrder) {
  TestDesktop desk;
  Owner owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 300), nullptr, 0));
  PlaceholderBriselHelper helper;
  helper.SetOwner(owner.GetSafeHwnd());
  ASSERT_TRUE(helper.Window()->Create(nullptr, u"", WS_CHILD, CRect(), &owner, 0));

  helper.StartBrowser(u"about:blank", &owner, CRect(0, 0, 400, 300));
  helper.Navigate(u"http://a/");
  helper.MoveBrowser(CRect(0, 71, 400, 280));
  helper.SetCookies(u"username=demo|");
  helper.Navigate(u"http://b/");
  EXPECT_TRUE(helper.sent.empty());
  desk.RunUntilIdle();

  const std::vector<std::string> expected = {"move:0,71,400,280", "cookies:username=demo|", "navigate:http://b/"};
  EXPECT_EQ(helper.sent, expected);
  ASSERT_EQ(owner.got.size(), 1u);
  EXPECT_EQ(owner.got[0].first, WM_BROWSER_READY);
  EXPECT_EQ(owner.got[0].second, reinterpret_cast<WPARAM>(static_cast<IBriselHelper*>(&helper)));

  EXPECT_TRUE(helper.TerminateBrowser());
  EXPECT_FALSE(helper.IsRunning());
  EXPECT_EQ(helper.ViewWindow(), nullptr);
  owner.DestroyWindow();
}

TEST(FramePlaceholders, QuoteViewOwnsARealEngineAndFreesPostedKeys) {
  TestDesktop desk;
  PlaceholderQuoteView view;
  ASSERT_NE(view.Engine(), nullptr);
  ASSERT_NE(view.History(), nullptr);
  ASSERT_TRUE(view.Window()->CreateEx(0, nullptr, u"", WS_POPUP, CRect(0, 0, 200, 100), nullptr, 0));
  auto* key = new StockKey{};
  std::memcpy(key->code, "600000", 7);
  key->market = 1;
  key->kind = 2;
  view.PostMessage(WM_SHOW_STOCK, 1, reinterpret_cast<LPARAM>(key));
  desk.RunUntilIdle();
  ASSERT_EQ(view.received.size(), 1u);
  EXPECT_EQ(view.received[0].code, "600000");
  EXPECT_EQ(view.received[0].market, 1);
  EXPECT_EQ(view.calls.back(), "WM_SHOW_STOCK(1,600000,1,2)");
  view.DestroyWindow();
}

}  // namespace
