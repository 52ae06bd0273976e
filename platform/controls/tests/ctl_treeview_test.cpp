// The tree view: insertion with images, expanding (refusable), selection,
// hit tests and rectangles, keys, custom draw and painting into a DC.
#include "platform/controls/tests/ctl_test_util.h"

#include <QImage>

namespace {

// A parent that refuses to expand items whose data is 99 and paints the
// selected item's row over in custom draw.
class TreeParent : public Parent {
 public:
  std::vector<UINT> codes;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(l);
      codes.push_back(hdr->code);
      if (hdr->code == TVN_ITEMEXPANDINGW) return reinterpret_cast<NMTREEVIEWW*>(l)->itemNew.lParam == 99;
      if (hdr->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMTVCUSTOMDRAW*>(l);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && (cd->nmcd.uItemState & CDIS_SELECTED)) {
          HBRUSH b = CreateSolidBrush(RGB(0, 160, 0));
          FillRect(cd->nmcd.hdc, &cd->nmcd.rc, b);
          DeleteObject(b);
          return CDRF_SKIPDEFAULT;
        }
        return CDRF_DODEFAULT;
      }
      return 0;
    }
    return Parent::WindowProc(msg, w, l);
  }
  int Count(UINT code) const { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }
};

class CtlTreeViewTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  TreeParent parent;
  CTreeCtrl tree;
  CImageList images;
  HTREEITEM trade = nullptr, buy = nullptr, sell = nullptr, locked = nullptr;
  void SetUp() override {
    ASSERT_TRUE(parent.Make(400, 300));
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                TVS_SHOWSELALWAYS,
                            CRect(10, 10, 210, 210), &parent, 91));
    // Two 16x16 pictures: red and blue.
    QImage strip(32, 16, QImage::Format_RGB32);
    strip.fill(qRgb(255, 0, 0));
    for (int y = 0; y < 16; ++y)
      for (int x = 16; x < 32; ++x) strip.setPixel(x, y, qRgb(0, 0, 255));
    CBitmap bmp;
    bmp.Attach(CreateBitmapFromImage(strip));
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 0));
    EXPECT_EQ(images.Add(&bmp, RGB(255, 0, 255)), 0);
    EXPECT_EQ(images.GetImageCount(), 2);
    tree.SetImageList(&images, TVSIL_NORMAL);
    trade = tree.InsertItem(u"交易", 0, 1);
    buy = tree.InsertItem(u"买入", 0, 1, trade);
    sell = tree.InsertItem(u"卖出", 0, 1, trade);
    locked = tree.InsertItem(u"查询", 0, 1);
    tree.InsertItem(u"资金", 0, 1, locked);
    tree.SetItemData(locked, 99);
    desk.RunUntilIdle();
  }
};

TEST_F(CtlTreeViewTest, ExpandSelectHitTestAndKeys) {
  EXPECT_EQ(tree.GetCount(), 5u);
  EXPECT_EQ(tree.GetChildItem(trade), buy);
  EXPECT_EQ(tree.GetNextSiblingItem(buy), sell);
  RECT rc{};
  EXPECT_FALSE(tree.GetItemRect(buy, &rc, TRUE));  // not shown while collapsed
  ASSERT_TRUE(tree.Expand(trade, TVE_EXPAND));
  EXPECT_EQ(parent.Count(TVN_ITEMEXPANDINGW), 1);
  EXPECT_EQ(parent.Count(TVN_ITEMEXPANDEDW), 1);
  EXPECT_FALSE(tree.Expand(locked, TVE_EXPAND));  // refused by the parent
  EXPECT_EQ(parent.Count(TVN_ITEMEXPANDEDW), 1);
  desk.RunUntilIdle();

  ASSERT_TRUE(tree.GetItemRect(sell, &rc, TRUE));
  POINT mid{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  UINT flags = 0;
  EXPECT_EQ(tree.HitTest(mid, &flags), sell);
  EXPECT_TRUE(flags & TVHT_ONITEMLABEL);
  desk.Click(tree.m_hWnd, mid.x, mid.y);
  EXPECT_EQ(tree.GetSelectedItem(), sell);
  EXPECT_GE(parent.Count(NM_CLICK), 1);
  EXPECT_GE(parent.Count(TVN_SELCHANGEDW), 1);
  // The custom draw painted the selected row.
  EXPECT_EQ(PixelOf(desk.Snapshot(tree.m_hWnd), 150, mid.y), RGB(0, 160, 0));
  // The unselected rows show their image (red: the normal picture).
  RECT buyRc{};
  tree.GetItemRect(buy, &buyRc, TRUE);
  EXPECT_EQ(PixelOf(desk.Snapshot(tree.m_hWnd), buyRc.left - 3 - 8, (buyRc.top + buyRc.bottom) / 2), RGB(255, 0, 0));

  desk.Key(VK_UP);
  EXPECT_EQ(tree.GetSelectedItem(), buy);
  desk.Key(VK_LEFT);  // to the parent
  EXPECT_EQ(tree.GetSelectedItem(), trade);
  desk.Key(VK_LEFT);  // collapses it
  EXPECT_FALSE(tree.GetItemState(trade, TVIS_EXPANDED));
  desk.Key(VK_RIGHT);  // expands again
  EXPECT_TRUE(tree.GetItemState(trade, TVIS_EXPANDED));
  desk.Key(VK_END);
  EXPECT_EQ(tree.GetSelectedItem(), locked);

  // Clicking the button toggles.
  RECT tradeRc{};
  tree.GetItemRect(trade, &tradeRc, TRUE);
  desk.Click(tree.m_hWnd, tradeRc.left - 16 - 3 - 10, (tradeRc.top + tradeRc.bottom) / 2);
  EXPECT_FALSE(tree.GetItemState(trade, TVIS_EXPANDED));
}

TEST_F(CtlTreeViewTest, PaintsIntoASuppliedDcAndLeavesItsBackground) {
  tree.SetBkColor(RGB(10, 20, 30));
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 200, 200);
  HGDIOBJ old = SelectObject(mem, bmp);
  SetBkColor(mem, RGB(255, 255, 255));
  tree.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(mem), 0);
  EXPECT_EQ(GetBkColor(mem), RGB(10, 20, 30));
  EXPECT_EQ(GetPixel(mem, 190, 190), RGB(10, 20, 30));
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

}  // namespace
