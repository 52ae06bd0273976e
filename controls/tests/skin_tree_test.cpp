// The skinned tree: the platform tree's behaviour through the subclass,
// items composited over a tiled background or the parent's painting, and
// one full repaint per expansion.
#include "controls/skin_tree.h"
#include "controls/tests/skin_controls_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace orvtest;
using namespace skinctl;

constexpr COLORREF kPanel = RGB(222, 228, 236);  // the trade window's light panel
constexpr COLORREF kTileA = RGB(40, 60, 90);
constexpr COLORREF kTileB = RGB(70, 40, 40);

uint32_t Bits(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// A tree that counts its paints and their update rectangles.
class CountingTree : public CVexloTreeCtrl {
 public:
  std::vector<CRect> paints;

 protected:
  void OnPaint() override {
    CRect update;
    ::GetUpdateRect(m_hWnd, &update, FALSE);
    paints.push_back(update);
    CVexloTreeCtrl::OnPaint();
  }
};

class SkinTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFonts();
    parent.fill = kPanel;
    ASSERT_TRUE(parent.Make(400, 320));
    // Eight flat 16 x 16 icons in one strip.
    static const COLORREF kIcons[8] = {RGB(220, 60, 60),  RGB(60, 200, 80),  RGB(70, 120, 230), RGB(230, 190, 40),
                                       RGB(200, 90, 220), RGB(40, 200, 200), RGB(240, 140, 40), RGB(150, 150, 150)};
    std::vector<uint32_t> strip(128 * 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 128; ++x) strip[y * 128 + x] = Bits(kIcons[x / 16]);
    CBitmap icons;
    icons.CreateBitmap(128, 16, 1, 32, strip.data());
    images.Create(16, 16, ILC_COLOR32, 8, 0);
    images.Add(&icons, static_cast<CBitmap*>(nullptr));
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS |
                                TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                            CRect(10, 10, 230, 310), &parent, 300));
    tree.SetImageList(&images, TVSIL_NORMAL);
    root = tree.InsertItem(u"交易列表", 0, 0);
    order = tree.InsertItem(u"委托下单", 1, 1, root);
    cancel = tree.InsertItem(u"撤单", 2, 2, root);
    query = tree.InsertItem(u"查询", 3, 3, root);
    const WCHAR* queries[] = {u"当日委托", u"当日成交", u"资金股份", u"历史成交"};
    for (int i = 0; i < 4; ++i) tree.InsertItem(queries[i], 4 + i, 4 + i, query);
    desk.RunUntilIdle();
  }
  void TearDown() override { parent.DestroyWindow(); }
  CRect Label(HTREEITEM item) {
    CRect rc;
    tree.GetItemRect(item, &rc, TRUE);
    return rc;
  }
  TestDesktop desk;
  RecordingParent parent;
  CImageList images;
  CountingTree tree;
  HTREEITEM root = nullptr, order = nullptr, cancel = nullptr, query = nullptr;
};

TEST_F(SkinTreeTest, ThePlatformTreeStillWorksThroughTheSubclass) {
  tree.Expand(root, TVE_EXPAND);
  desk.RunUntilIdle();
  CRect rc = Label(cancel);
  ASSERT_FALSE(rc.IsRectEmpty());
  EXPECT_EQ(tree.HitTest(rc.CenterPoint()), cancel);
  parent.customDraw = [](RecordingParent&, LPARAM l) -> LRESULT {
    return reinterpret_cast<NMCUSTOMDRAW*>(l)->dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  };
  parent.heard.clear();
  desk.Click(tree.m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
  EXPECT_EQ(tree.GetSelectedItem(), cancel);
  EXPECT_EQ(parent.Count(WM_NOTIFY, NM_CLICK), 1);
  desk.RunUntilIdle();
  bool selectedDrawn = false;
  for (const auto& h : parent.Of(WM_NOTIFY))
    selectedDrawn = selectedDrawn || (h.code == NM_CUSTOMDRAW && h.drawStage == CDDS_ITEMPREPAINT &&
                                      (h.itemState & CDIS_SELECTED) && (h.itemState & CDIS_FOCUS));
  EXPECT_TRUE(selectedDrawn);
  desk.Key(VK_DOWN);
  EXPECT_EQ(tree.GetSelectedItem(), query);
  desk.Key(VK_RIGHT);  // expands the branch
  desk.Key(VK_RIGHT);  // then goes to its first child
  EXPECT_EQ(tree.GetParentItem(tree.GetSelectedItem()), query);
  EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), u"当日委托");
}

TEST_F(SkinTreeTest, WithoutABackgroundTheParentsPaintingStaysBehindTheItems) {
  tree.Expand(root, TVE_EXPAND);
  desk.RunUntilIdle();
  // Empty rows below the items show the panel, not the tree's white.
  EXPECT_EQ(Pixel(desk, tree.m_hWnd, 150, 250), kPanel);
  EXPECT_EQ(Pixel(desk, tree.m_hWnd, 200, 20), kPanel);
  // Item texts (black) and icons show.
  EXPECT_GT(CountColor(desk, tree.m_hWnd, Label(order), RGB(0, 0, 0)) + CountNear(desk, tree.m_hWnd, Label(order), RGB(0, 0, 0), 60), 5);
  EXPECT_GT(CountColor(desk, tree.m_hWnd, CRect(0, 0, 220, 300), RGB(60, 200, 80)), 100);  // the 委托下单 icon
  desk.SavePng(parent.m_hWnd, SnapshotPath("tree_over_panel"));
}

TEST_F(SkinTreeTest, ATiledBackgroundShowsWhereThereIsNoItem) {
  std::vector<uint32_t> tile(8 * 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) tile[y * 8 + x] = Bits(((x / 4) + (y / 4)) % 2 ? kTileA : kTileB);
  ASSERT_TRUE(tree.backgroundBitmap.CreateBitmap(8, 8, 1, 32, tile.data()));
  tree.Expand(root, TVE_EXPAND);
  desk.RunUntilIdle();
  const CRect empty(20, 200, 200, 280);
  EXPECT_EQ(CountColor(desk, tree.m_hWnd, empty, kTileA) + CountColor(desk, tree.m_hWnd, empty, kTileB),
            empty.Width() * empty.Height());
  EXPECT_GT(CountColor(desk, tree.m_hWnd, empty, kTileA), 1000);
  EXPECT_GT(CountNear(desk, tree.m_hWnd, Label(order), RGB(0, 0, 0), 60), 5);
  EXPECT_GT(CountColor(desk, tree.m_hWnd, CRect(0, 0, 220, 300), RGB(60, 200, 80)), 100);
}

TEST_F(SkinTreeTest, AnItemInTheBackgroundColourVanishes) {
  tree.SetTextColor(RGB(255, 255, 255));  // the tree's own background is white
  tree.Expand(root, TVE_EXPAND);
  desk.RunUntilIdle();
  CRect rc = Label(cancel);
  EXPECT_EQ(CountColor(desk, tree.m_hWnd, rc, kPanel), rc.Width() * rc.Height());
}

TEST_F(SkinTreeTest, ExpandingRepaintsTheWholeTreeOnce) {
  for (UINT code : {static_cast<UINT>(TVE_EXPAND), static_cast<UINT>(TVE_COLLAPSE)}) {
    desk.RunUntilIdle();
    tree.paints.clear();
    tree.Expand(root, code);
    desk.RunUntilIdle();
    ASSERT_EQ(tree.paints.size(), 1u) << code;
    CRect client;
    tree.GetClientRect(&client);
    EXPECT_EQ(tree.paints[0], client);
  }
}

}  // namespace
