// The keyboard search inside the main frame: a typed digit opens the search
// at the frame's bottom-right corner, more typing and Enter open the stock
// at the quote view with its browsing list.
#include "quotes/quote_messages.h"
#include "shell/tests/frame/frame_fixture.h"
#include "stockpage/find_stock_view.h"

namespace frametest {
namespace {

class FrameSearchTest : public FrameTest {
 protected:
  void MakeSearchFrame() {
    FrameFactories f = RecordingFactories(&made_);
    f.findStockView = [this] {
      auto p = std::make_unique<CFindStockView>();
      search_ = p.get();
      return std::unique_ptr<IFindStockView>(std::move(p));
    };
    frame_ = std::make_unique<CMainFrame>(std::move(f));
    frame_->SetCredentials("10001", "0123456789abcdef0123456789abcdef");
    frame_->SetAccount("demo", "demo123");
    frame_->SetUserName(u"demo");
    app_.m_pMainWnd = frame_.get();
    ASSERT_TRUE(frame_->CreateFrame());
    frame_->MoveWindow(0, 0, 1288, 1032, TRUE);
    frame_->ShowWindow(SW_SHOW);
    desk_->RunUntilIdle();
  }
  CFindStockView* search_ = nullptr;
};

TEST_F(FrameSearchTest, TypingACodeOpensTheStock) {
  MakeSearchFrame();
  frame_->SendMessage(WM_KEY_COMMAND, 0, '6');
  desk_->RunUntilIdle();
  ASSERT_NE(search_, nullptr);
  ASSERT_TRUE(search_->m_hWnd);
  CRect frameRc, searchRc;
  frame_->GetWindowRect(&frameRc);
  search_->GetWindowRect(&searchRc);
  EXPECT_EQ(searchRc, CRect(frameRc.right - 240, frameRc.bottom - 240, frameRc.right, frameRc.bottom));
  EXPECT_TRUE(search_->IsWindowVisible());
  WCHAR text[16] = {};
  ::GetWindowTextW(search_->Edit()->m_hWnd, text, 16);
  EXPECT_EQ(std::u16string(text), u"6");
  EXPECT_FALSE(search_->Rows().empty());

  desk_->Type(u"00000");
  desk_->Advance(150);
  desk_->RunUntilIdle();
  ASSERT_FALSE(search_->Rows().empty());
  EXPECT_EQ(search_->Rows()[0].substr(0, 6), "600000");
  made_.quote->received.clear();
  desk_->Key(VK_RETURN);
  desk_->RunUntilIdle();
  EXPECT_FALSE(search_->m_hWnd);
  ASSERT_EQ(made_.quote->received.size(), 2u);
  EXPECT_EQ(made_.quote->received[0].message, WM_SHOW_STOCK);
  EXPECT_EQ(made_.quote->received[0].code, "600000");
  EXPECT_EQ(made_.quote->received[0].market, 1);
  EXPECT_EQ(made_.quote->received[1].message, WM_SET_STOCK_LIST);
  const auto* info = reinterpret_cast<const StockListInfo*>(made_.quote->received[1].wParam);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info, EngineStockListInfo(made_.quote->Engine()));
  EXPECT_EQ(info->kind, kListRequested);
  EXPECT_EQ(info->listId, 1102);
  EXPECT_STREQ(info->code, "600000");
  EXPECT_EQ(made_.quote->received[1].lParam, 0);

  // A command code typed with no row found reaches the frame's command.
  frame_->SendMessage(WM_KEY_COMMAND, 0, '6');
  desk_->Type(u"1");
  desk_->RunUntilIdle();
  ASSERT_TRUE(search_->Rows().empty());
  made_.quote->received.clear();
  desk_->Key(VK_RETURN);
  desk_->RunUntilIdle();
  EXPECT_FALSE(search_->m_hWnd);
  for (const auto& r : made_.quote->received) EXPECT_NE(r.message, WM_SHOW_STOCK);
}

}  // namespace
}  // namespace frametest
