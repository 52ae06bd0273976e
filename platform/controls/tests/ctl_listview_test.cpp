// The report list view: owner data on demand, custom draw stages, check
// boxes, selection by mouse and keys, sub-item rectangles.
#include "platform/controls/tests/ctl_test_util.h"

#include <set>

namespace {

// A parent that answers LVN_GETDISPINFOW and custom draw like the stock
// search list: selected cells in 0x5CB4FF, others white.
class OwnerDataParent : public Parent {
 public:
  std::set<int> asked;
  std::vector<DWORD> stages;
  bool customDraw = true;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(l);
      if (hdr->code == LVN_GETDISPINFOW) {
        auto* di = reinterpret_cast<NMLVDISPINFOW*>(l);
        asked.insert(di->item.iItem);
        std::string s = std::to_string(600000 + di->item.iItem) + (di->item.iSubItem ? "b" : "");
        int n = std::min<int>(static_cast<int>(s.size()), di->item.cchTextMax - 1);
        for (int i = 0; i < n; ++i) di->item.pszText[i] = static_cast<WCHAR>(s[static_cast<size_t>(i)]);
        di->item.pszText[n] = 0;
        return 0;
      }
      if (hdr->code == NM_CUSTOMDRAW && customDraw) {
        auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(l);
        stages.push_back(cd->nmcd.dwDrawStage);
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYSUBITEMDRAW;
        if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
          COLORREF fill = (cd->nmcd.uItemState & CDIS_SELECTED) ? 0x5CB4FF : RGB(255, 255, 255);
          HBRUSH b = CreateSolidBrush(fill);
          FillRect(cd->nmcd.hdc, &cd->nmcd.rc, b);
          DeleteObject(b);
          return CDRF_SKIPDEFAULT;
        }
      }
    }
    return Parent::WindowProc(msg, w, l);
  }
};

class CtlListViewTest : public ::testing::Test {
 protected:
  TestDesktop desk;
};

TEST_F(CtlListViewTest, OwnerDataOnDemandAndCustomDraw) {
  OwnerDataParent parent;
  ASSERT_TRUE(parent.Make(400, 300));
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
                              LVS_SHOWSELALWAYS,
                          CRect(10, 10, 210, 110), &parent, 81));
  list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  list.InsertColumn(0, u"代码", LVCFMT_LEFT, 80);
  list.InsertColumn(1, u"名称", LVCFMT_LEFT, 100);
  parent.customDraw = false;
  list.SetItemCount(10000);
  desk.RunUntilIdle();
  // Only the rows on screen are asked for.
  ASSERT_FALSE(parent.asked.empty());
  EXPECT_LT(*parent.asked.rbegin(), 20);
  EXPECT_EQ(list.GetItemText(1234, 1), u"601234b");
  parent.customDraw = true;
  list.Invalidate();
  desk.RunUntilIdle();

  ASSERT_FALSE(parent.stages.empty());
  EXPECT_EQ(parent.stages[0], CDDS_PREPAINT);
  EXPECT_NE(std::find(parent.stages.begin(), parent.stages.end(), CDDS_ITEMPREPAINT), parent.stages.end());
  EXPECT_NE(std::find(parent.stages.begin(), parent.stages.end(), CDDS_ITEMPREPAINT | CDDS_SUBITEM), parent.stages.end());

  // Click the second row: selected, focused, NM_CLICK; drawn in the selected fill.
  RECT r{};
  ASSERT_TRUE(list.GetSubItemRect(1, 1, LVIR_BOUNDS, r));
  EXPECT_EQ(r.left, 80);
  EXPECT_EQ(r.right, 180);
  desk.Click(list.m_hWnd, r.left + 10, (r.top + r.bottom) / 2);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 1);
  bool clicked = false;
  for (auto& n : parent.Of(WM_NOTIFY)) clicked |= n.code == NM_CLICK;
  EXPECT_TRUE(clicked);
  QImage img = desk.Snapshot(list.m_hWnd);
  EXPECT_EQ(PixelOf(img, r.left + 50, (r.top + r.bottom) / 2), static_cast<COLORREF>(0x5CB4FF));
  EXPECT_EQ(PixelOf(img, r.left + 50, r.bottom + 5), RGB(255, 255, 255));

  // Down moves selection and focus; a selection far down scrolls into view.
  desk.Key(VK_DOWN);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
  list.SetItemState(5000, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 5000);  // single selection
  list.EnsureVisible(5000, FALSE);
  parent.customDraw = false;  // drawn by the list: it asks for the texts
  parent.asked.clear();
  desk.RunUntilIdle();
  EXPECT_TRUE(parent.asked.count(5000));
  desk.DoubleClick(list.m_hWnd, 20, 5);
  bool dbl = false;
  for (auto& n : parent.Of(WM_NOTIFY)) dbl |= n.code == NM_DBLCLK;
  EXPECT_TRUE(dbl);
}

TEST_F(CtlListViewTest, OrdinaryItemsWithCheckBoxesAndGrid) {
  Parent parent;
  ASSERT_TRUE(parent.Make(400, 300));
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, CRect(10, 10, 310, 160), &parent, 82));
  list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  list.InsertColumn(0, u"代码", LVCFMT_LEFT, 80);
  list.InsertColumn(1, u"名称", LVCFMT_LEFT, 100);
  list.InsertColumn(2, u"", LVCFMT_LEFT, 0);  // hidden storage column
  for (int i = 0; i < 3; ++i) {
    WString code = u"60000" + WString(1, static_cast<char16_t>(u'0' + i));
    list.InsertItem(i, code.c_str());
    list.SetItemText(i, 1, u"浦发银行");
    list.SetItemText(i, 2, u"SH");
  }
  desk.RunUntilIdle();
  EXPECT_EQ(list.GetItemText(2, 2), u"SH");
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_FALSE(list.GetCheck(1));
  RECT row{};
  list.GetSubItemRect(1, 0, LVIR_BOUNDS, row);
  desk.Click(list.m_hWnd, 8, (row.top + row.bottom) / 2);  // on the check box
  EXPECT_TRUE(list.GetCheck(1));
  bool changed = false;
  for (auto& n : parent.Of(WM_NOTIFY)) changed |= n.code == LVN_ITEMCHANGED;
  EXPECT_TRUE(changed);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
  desk.Key(VK_SPACE);
  EXPECT_FALSE(list.GetCheck(1));
  list.DeleteItem(0);
  EXPECT_EQ(list.GetItemText(0, 0), u"600001");
}

// A parent that records every cell an owner-data list asks for, the
// header notifications and the right-click order.
class AskingParent : public Parent {
 public:
  std::vector<std::pair<int, int>> asks;  // (item, sub-item)
  std::vector<NMHEADERW> headers;
  std::vector<int> widths;  // pitem->cxy of each header notification
  std::vector<UINT> order;  // NM_RCLICK and WM_CONTEXTMENU as they came
  LRESULT refuseTrack = 0;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_CONTEXTMENU) order.push_back(msg);
    if (msg == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(l);
      if (hdr->code == LVN_GETDISPINFOW) {
        auto* di = reinterpret_cast<NMLVDISPINFOW*>(l);
        asks.emplace_back(di->item.iItem, di->item.iSubItem);
        di->item.pszText[0] = u'x';
        di->item.pszText[1] = 0;
        return 0;
      }
      if (hdr->code == NM_RCLICK) order.push_back(NM_RCLICK);
      if (hdr->code <= HDN_ITEMCHANGINGW && hdr->code >= HDN_TRACKW) {
        auto* nm = reinterpret_cast<NMHEADERW*>(l);
        headers.push_back(*nm);
        widths.push_back(nm->pitem ? nm->pitem->cxy : -1);
        if (hdr->code == HDN_BEGINTRACKW) return refuseTrack;
        return 0;
      }
    }
    return Parent::WindowProc(msg, w, l);
  }
  std::vector<UINT> HeaderCodes() const {
    std::vector<UINT> v;
    for (auto& h : headers) v.push_back(h.hdr.code);
    return v;
  }
};

class CtlListViewHeaderTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  AskingParent parent;
  CListCtrl list;
  void SetUp() override {
    ASSERT_TRUE(parent.Make(500, 400));
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL,
                            CRect(10, 10, 410, 310), &parent, 83));
    for (int c = 0; c < 4; ++c) list.InsertColumn(c, u"列", LVCFMT_LEFT, 80);
    list.SetItemCount(2000);
    desk.RunUntilIdle();
  }
  int HeaderMid() {
    RECT r{};
    list.GetSubItemRect(0, 0, LVIR_BOUNDS, r);
    return r.top / 2;  // the header is above the first row
  }
};

TEST_F(CtlListViewHeaderTest, OnlyCellsOfTheUpdateRegionAreAsked) {
  ASSERT_FALSE(parent.asks.empty());
  RECT cell{};
  ASSERT_TRUE(list.GetSubItemRect(3, 2, LVIR_BOUNDS, cell));
  parent.asks.clear();
  list.InvalidateRect(&cell, FALSE);
  desk.RunUntilIdle();
  ASSERT_EQ(parent.asks.size(), 1u);
  EXPECT_EQ(parent.asks[0], std::make_pair(3, 2));
}

TEST_F(CtlListViewHeaderTest, ColumnClickAndDividerDrag) {
  int y = HeaderMid();
  desk.Click(list.m_hWnd, 120, y);  // the second column
  EXPECT_EQ(parent.HeaderCodes(), std::vector<UINT>{HDN_ITEMCLICKW});
  ASSERT_EQ(parent.headers.size(), 1u);
  EXPECT_EQ(parent.headers[0].iItem, 1);
  std::vector<Note> clicks;
  for (auto& n : parent.Of(WM_NOTIFY))
    if (n.code == LVN_COLUMNCLICK) clicks.push_back(n);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), -1);  // the rows are untouched

  // Pressed on one column, released on another: no click.
  parent.headers.clear();
  desk.MouseDown(list.m_hWnd, 100, y);
  desk.MouseUp(list.m_hWnd, 200, y);
  EXPECT_TRUE(parent.headers.empty());

  // The divider after the first column, dragged 30 pixels right.
  desk.MouseDown(list.m_hWnd, 80, y);
  desk.MoveMouse(list.m_hWnd, 95, y);
  desk.MoveMouse(list.m_hWnd, 110, y);
  desk.MouseUp(list.m_hWnd, 110, y);
  EXPECT_EQ(list.GetColumnWidth(0), 110);
  EXPECT_EQ(parent.HeaderCodes(),
            (std::vector<UINT>{HDN_BEGINTRACKW, HDN_TRACKW, HDN_TRACKW, HDN_ENDTRACKW, HDN_ITEMCHANGEDW}));
  EXPECT_EQ(parent.widths.back(), 110);
  EXPECT_EQ(parent.headers.back().iItem, 0);

  // A refused track changes nothing; a double click on a divider is told.
  parent.headers.clear();
  parent.refuseTrack = 1;
  desk.MouseDown(list.m_hWnd, 110, y);
  desk.MoveMouse(list.m_hWnd, 150, y);
  desk.MouseUp(list.m_hWnd, 150, y);
  EXPECT_EQ(list.GetColumnWidth(0), 110);
  EXPECT_EQ(parent.HeaderCodes(), std::vector<UINT>{HDN_BEGINTRACKW});
  parent.headers.clear();
  desk.DoubleClick(list.m_hWnd, 190, y);
  EXPECT_EQ(parent.HeaderCodes().back(), HDN_DIVIDERDBLCLICKW);
}

TEST_F(CtlListViewHeaderTest, RightClickNotifiesAfterReleaseThenContextMenu) {
  RECT row{};
  list.GetSubItemRect(4, 0, LVIR_BOUNDS, row);
  int y = (row.top + row.bottom) / 2;
  desk.MouseDown(list.m_hWnd, 20, y, true);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 4);  // selected on the press
  EXPECT_TRUE(parent.order.empty());                  // nothing told yet
  desk.MouseUp(list.m_hWnd, 20, y, true);
  EXPECT_EQ(parent.order, (std::vector<UINT>{NM_RCLICK, WM_CONTEXTMENU}));
}

}  // namespace
