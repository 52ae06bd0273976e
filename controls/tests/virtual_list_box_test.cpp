// The virtual list box: cell texts cut from "|||"-separated rows, bounded
// answers to the list's requests, and the platform list's behaviour kept.
#include "controls/virtual_list_box.h"
#include "controls/tests/skin_controls_test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace orvtest;
using namespace skinctl;

constexpr DWORD kStyle = 0x50005001;  // child, visible, report, owner data, no header
constexpr WCHAR kSentinel = 0xAAAA;

class VirtualListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseProgramFonts();
    ASSERT_TRUE(parent.Make(400, 300));
    ASSERT_TRUE(box.Create(kStyle, CRect(10, 10, 330, 210), &parent, 400));
    box.InsertColumn(0, u"代码", LVCFMT_LEFT, 80);
    box.InsertColumn(1, u"名称", LVCFMT_LEFT, 120);
    box.InsertColumn(2, u"简拼", LVCFMT_LEFT, 100);
  }
  void TearDown() override { parent.DestroyWindow(); }
  // Asks the box directly, as the list does, with a sentinel-filled buffer.
  std::u16string Ask(int row, int column, int capacity = 64, UINT mask = LVIF_TEXT, bool nullText = false) {
    buffer.assign(80, kSentinel);
    NMLVDISPINFOW info;
    info.hdr.hwndFrom = box.m_hWnd;
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = mask;
    info.item.iItem = row;
    info.item.iSubItem = column;
    info.item.pszText = nullText ? nullptr : buffer.data();
    info.item.cchTextMax = capacity;
    LRESULT result = 99;
    EXPECT_TRUE(box.OnChildNotify(WM_NOTIFY, 400, reinterpret_cast<LPARAM>(&info), &result));
    EXPECT_EQ(result, 0);
    if (buffer[0] == kSentinel) return u"<nothing>";
    return std::u16string(buffer.data());
  }
  TestDesktop desk;
  RecordingParent parent;
  CVListBox box;
  std::vector<WCHAR> buffer;
};

TEST_F(VirtualListBoxTest, RowsShowTheirFirstThreeColumns) {
  box.AddItem("600000|||浦发银行|||PFYH|||1|||2|||");
  box.AddItem("000001|||平安银行|||PAYH|||0|||2|||");
  box.SetItemCount(box.GetRowCount());
  EXPECT_TRUE(box.GetExtendedStyle() & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(box.GetItemText(0, 0), u"600000");
  EXPECT_EQ(box.GetItemText(0, 1), u"浦发银行");
  EXPECT_EQ(box.GetItemText(0, 2), u"PFYH");
  EXPECT_EQ(box.GetItemText(1, 1), u"平安银行");
  struct Case {
    const char* name;
    int row, column, capacity;
    UINT mask;
    bool nullText;
    std::u16string expected;
  } cases[] = {
      {"column 3", 0, 3, 64, LVIF_TEXT, false, u"<nothing>"},
      {"negative column", 0, -1, 64, LVIF_TEXT, false, u"<nothing>"},
      {"row beyond the list", 99, 0, 64, LVIF_TEXT, false, u"<nothing>"},
      {"negative row", -1, 0, 64, LVIF_TEXT, false, u"<nothing>"},
      {"no text asked", 0, 0, 64, LVIF_IMAGE, false, u"<nothing>"},
      {"size 0", 0, 0, 0, LVIF_TEXT, false, u"<nothing>"},
      {"one unit: the terminator only", 0, 1, 1, LVIF_TEXT, false, u""},
      {"cut to the buffer less one", 0, 1, 3, LVIF_TEXT, false, u"浦发"},
  };
  for (const auto& c : cases) EXPECT_EQ(Ask(c.row, c.column, c.capacity, c.mask, c.nullText), c.expected) << c.name;
  Ask(0, 0, 64, LVIF_TEXT, true);  // a null buffer is left alone
}

TEST_F(VirtualListBoxTest, LongCellsAreCutAndMalformedRowsGiveEmptyCells) {
  box.AddItem(std::string(40, '7') + "|||x|||y|||");
  box.AddItem("600000");
  box.AddItem("600000|||浦发");
  box.AddItem("\xE6\xB5|||\x80\xFF|||ok|||");
  box.SetItemCount(4);
  Ask(0, 0, 16);
  EXPECT_EQ(std::u16string(buffer.data()), std::u16string(15, u'7'));
  EXPECT_EQ(buffer[15], 0);
  EXPECT_EQ(buffer[16], kSentinel);
  EXPECT_EQ(Ask(1, 0), u"");
  EXPECT_EQ(Ask(2, 0), u"600000");
  EXPECT_EQ(Ask(2, 1), u"");
  EXPECT_EQ(Ask(2, 2), u"");
  EXPECT_EQ(Ask(3, 2), u"ok");
  EXPECT_EQ(Ask(3, 0).size(), 1u);  // a cut form is one unit, never a read past the text
}

TEST_F(VirtualListBoxTest, ResetContentEmptiesTheListAtOnce) {
  for (int i = 0; i < 3; ++i) box.AddItem("60000" + std::to_string(i) + "|||名称|||MC|||");
  box.SetItemCount(3);
  box.ResetContent();
  EXPECT_EQ(box.GetItemCount(), 0);
  EXPECT_EQ(box.GetRowCount(), 0);
  EXPECT_EQ(Ask(0, 0), u"<nothing>");
  desk.RunUntilIdle();
  box.AddItem("600036|||招商银行|||ZSYH|||");
  box.SetItemCount(1);
  EXPECT_EQ(box.GetItemText(0, 1), u"招商银行");
}

TEST_F(VirtualListBoxTest, ThePlatformListSelectsNotifiesAndAsksOnlyForDrawnRows) {
  for (int i = 0; i < 200; ++i) box.AddItem(std::to_string(600000 + i) + "|||股票" + std::to_string(i) + "|||GP|||1|||");
  box.SetItemCount(box.GetRowCount());
  parent.customDraw = [](RecordingParent&, LPARAM l) -> LRESULT {
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(l);
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYSUBITEMDRAW;
    if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM) && cd->iSubItem == 2) return CDRF_SKIPDEFAULT;
    return CDRF_DODEFAULT;
  };
  parent.heard.clear();
  box.Invalidate();
  desk.RunUntilIdle();
  int highest = -1, asked = 0;
  bool subItemsDrawn[3] = {};
  for (const auto& h : parent.Of(WM_NOTIFY)) {
    if (h.code == LVN_GETDISPINFOW) highest = std::max(highest, h.position), ++asked;
    if (h.code == NM_CUSTOMDRAW && h.subItem >= 0 && h.subItem < 3) subItemsDrawn[h.subItem] = true;
  }
  EXPECT_GT(asked, 0);
  EXPECT_LT(highest, 20);  // only the rows on screen
  EXPECT_TRUE(subItemsDrawn[0] && subItemsDrawn[1] && subItemsDrawn[2]);
  // Column 2 was skipped by the owner: no text there; column 0 has text.
  CRect cell;
  box.GetSubItemRect(0, 2, LVIR_BOUNDS, cell);
  EXPECT_TRUE(CountNear(desk, box.m_hWnd, CRect(cell.left + 2, cell.top, cell.right, cell.bottom), RGB(0, 0, 0), 90) == 0);
  box.GetSubItemRect(0, 0, LVIR_BOUNDS, cell);
  EXPECT_GT(CountNear(desk, box.m_hWnd, cell, RGB(0, 0, 0), 90), 5);

  box.GetSubItemRect(1, 1, LVIR_BOUNDS, cell);
  desk.Click(box.m_hWnd, cell.left + 10, cell.CenterPoint().y);
  EXPECT_EQ(box.GetNextItem(-1, LVNI_SELECTED), 1);
  desk.Key(VK_DOWN);
  EXPECT_EQ(box.GetNextItem(-1, LVNI_SELECTED), 2);
  desk.Advance(600);
  box.GetSubItemRect(3, 1, LVIR_BOUNDS, cell);
  desk.DoubleClick(box.m_hWnd, cell.right - 5, cell.CenterPoint().y);  // full-row selection: any column
  EXPECT_EQ(box.GetNextItem(-1, LVNI_SELECTED), 3);
  EXPECT_EQ(parent.Count(WM_NOTIFY, NM_DBLCLK), 1);
  desk.SavePng(parent.m_hWnd, SnapshotPath("virtual_list_box_skip"));
}

}  // namespace
