// CMenuEx: one item drawn into an offscreen picture, measuring, tracking
// with scripted keys and clicks, submenu items, and FlatMenuWndProc put on
// the menu windows from a creation hook.
#include "skin_test_util.h"

#include "controls/menu_ex.h"
#include "foundation/draw_helpers.h"
#include "platform/kernel/kernel_thread.h"

using namespace skintest;

namespace {

constexpr COLORREF kBack = RGB(45, 45, 45), kHot = RGB(103, 103, 103), kText = RGB(240, 240, 240);

// An offscreen picture with a DC, read back as a QImage.
class Canvas {
 public:
  Canvas(int w, int h) {
    image.Create(w, h, 24);
    dc = image.GetDC();
  }
  ~Canvas() { image.ReleaseDC(); }
  QImage Read() const {
    QImage out(image.GetWidth(), image.GetHeight(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
      for (int x = 0; x < out.width(); ++x) {
        COLORREF c = GetPixel(dc, x, y);
        out.setPixel(x, y, qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
      }
    return out;
  }
  CImage image;
  HDC dc = nullptr;
};

// Draws the item at position pos of the menu into a 200 × 25 picture.
QImage DrawAt(CMenuEx& menu, int pos, UINT state) {
  Canvas canvas(200, 25);
  MENUITEMINFOW info;
  info.fMask = MIIM_ID | MIIM_DATA;
  EXPECT_TRUE(menu.GetMenuItemInfo(static_cast<UINT>(pos), &info, TRUE));
  DRAWITEMSTRUCT dis;
  dis.CtlType = ODT_MENU;
  dis.itemID = info.wID;
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = state;
  dis.hwndItem = reinterpret_cast<HWND>(menu.m_hMenu);
  dis.hDC = canvas.dc;
  dis.rcItem = RECT{0, 0, 200, 25};
  dis.itemData = info.dwItemData;
  menu.DrawItem(&dis);
  return canvas.Read();
}

SIZE MeasureAt(CMenuEx& menu, int pos) {
  MENUITEMINFOW info;
  info.fMask = MIIM_ID | MIIM_DATA;
  EXPECT_TRUE(menu.GetMenuItemInfo(static_cast<UINT>(pos), &info, TRUE));
  MEASUREITEMSTRUCT mis;
  mis.CtlType = ODT_MENU;
  mis.itemID = info.wID;
  mis.itemData = info.dwItemData;
  menu.MeasureItem(&mis);
  return SIZE{static_cast<LONG>(mis.itemWidth), static_cast<LONG>(mis.itemHeight)};
}

int TextWidthIn(HFONT font, const WString& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE s{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return s.cx;
}

// The UI face chosen as at start-up, before any menu makes its font.
struct UiFace {
  UiFace() { orvtest::UseProgramFonts(); }
};

class MenuExTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  UiFace face;
  CMenuEx menu;
  void SetUp() override { ASSERT_TRUE(menu.CreatePopupMenu()); }
};

TEST_F(MenuExTest, ItemColoursMarksAndEmbossing) {
  menu.AppendItem(MF_OWNERDRAW, 11, u"刷新");
  QImage normal = DrawAt(menu, 0, 0);
  const QRect cell(0, 0, 20, 19), text(24, 2, 100, 21);
  EXPECT_EQ(PixelOf(normal, 199, 24), kBack);
  EXPECT_GT(CountNear(normal, kText, 8, text), 5);
  EXPECT_EQ(CountNear(normal, kText, 60, cell), 0);  // no mark
  QImage hot = DrawAt(menu, 0, ODS_SELECTED);
  EXPECT_EQ(PixelOf(hot, 199, 24), kHot);
  EXPECT_GT(CountNear(hot, kText, 8, text), 5);
  // "√" inside the mark cell (20 × 19 at the item's top left).
  QImage checked = DrawAt(menu, 0, ODS_CHECKED);
  EXPECT_GT(CountNear(checked, kText, 60, cell), 2);
  // Checked and greyed: mark and text embossed (white under grey 127).
  QImage grey = DrawAt(menu, 0, ODS_CHECKED | ODS_GRAYED);
  EXPECT_GT(CountNear(grey, RGB(127, 127, 127), 8, text), 5);
  EXPECT_GT(CountNear(grey, RGB(255, 255, 255), 8, text), 5);
  EXPECT_GT(CountNear(grey, RGB(127, 127, 127), 30, cell), 1);
  EXPECT_GT(CountNear(grey, RGB(255, 255, 255), 50, QRect(0, 0, 21, 20)), 1);
  EXPECT_EQ(CountNear(normal, RGB(127, 127, 127), 8, text) < CountNear(grey, RGB(127, 127, 127), 8, text), true);
}

TEST_F(MenuExTest, SeparatorIsAnEtchedLineAtHalfHeight) {
  for (LPCWSTR text : {static_cast<LPCWSTR>(nullptr), u""}) {
    CMenuEx m;
    ASSERT_TRUE(m.CreatePopupMenu());
    m.AppendItem(MF_OWNERDRAW, 0, text);  // MF_SEPARATOR added for an empty text
    EXPECT_TRUE(m.GetMenuState(0, MF_BYPOSITION) & MF_SEPARATOR);
    QImage img = DrawAt(m, 0, 0);
    // (2, 12) .. (198, 14): purple top and left, white bottom and right.
    EXPECT_EQ(PixelOf(img, 2, 12), RGB(64, 0, 128));
    EXPECT_EQ(PixelOf(img, 100, 12), RGB(64, 0, 128));
    EXPECT_EQ(PixelOf(img, 100, 13), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(img, 197, 12), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(img, 1, 12), kBack);
    EXPECT_EQ(PixelOf(img, 198, 12), kBack);
    EXPECT_EQ(PixelOf(img, 100, 11), kBack);
    EXPECT_EQ(PixelOf(img, 100, 14), kBack);
  }
}

TEST_F(MenuExTest, DuplicateIdsAndItemsWithoutRecord) {
  menu.AppendItem(MF_OWNERDRAW, 20, u"甲");
  menu.AppendItem(MF_OWNERDRAW, 20, u"乙乙乙乙乙乙");
  menu.AppendMenu(MF_OWNERDRAW, 99, nullptr);  // not through AppendItem
  EXPECT_EQ(menu.FindItem(20)->text, u"甲");
  EXPECT_EQ(menu.FindItem(21), nullptr);
  EXPECT_EQ(DrawAt(menu, 0, 0), DrawAt(menu, 1, 0));  // both show "甲"
  QImage bare = DrawAt(menu, 2, ODS_CHECKED);
  EXPECT_EQ(CountColor(bare, kBack), 200 * 25);
  SIZE s = MeasureAt(menu, 2);
  EXPECT_EQ(s.cx, 27);
  EXPECT_EQ(s.cy, 25);
}

// Measured in the menu font, so a long text is not clipped.
TEST_F(MenuExTest, MeasuringUsesTheMenuFont) {
  const WString text = u"显示全部自选股的实时行情";
  menu.AppendItem(MF_OWNERDRAW, 30, text.c_str());
  HFONT font = CreateUiFont(GetUiFontFace(), 18);
  const int width = TextWidthIn(font, text);
  DeleteObject(font);
  SIZE s = MeasureAt(menu, 0);
  EXPECT_EQ(s.cy, 25);
  EXPECT_EQ(s.cx, width + 27);
  EXPECT_GT(width, TextWidthIn(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), text) - 1);
  // The text rectangle (from 24 to the width - 2) holds the whole text.
  EXPECT_GE(s.cx - 2 - 24, width);
}

// The owner: a plain window whose default handling routes the menu's
// measure and draw requests to the CMenuEx, recording commands.
class Owner : public CWnd {
 public:
  std::vector<UINT> commands;
  BOOL OnCmdMsg(UINT id, int) override {
    commands.push_back(id);
    return TRUE;
  }
};

class MenuExTrackTest : public MenuExTest {
 protected:
  Owner owner;
  void SetUp() override {
    MenuExTest::SetUp();
    ASSERT_TRUE(owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, CRect(100, 100, 600, 500), nullptr, 0));
    menu.AppendItem(MF_OWNERDRAW, 101, u"日线");
    menu.AppendItem(MF_OWNERDRAW, 102, u"周线");
    menu.AppendItem(MF_OWNERDRAW, 0, nullptr);
    menu.AppendItem(MF_OWNERDRAW | MF_GRAYED, 103, u"月线");
  }
  static HWND MenuWindow() { return FindWindowW(WC_POPUPMENU, nullptr); }
  void Keys(std::initializer_list<UINT> keys) {
    desk.Until([] { return MenuWindow() != nullptr; });
    for (UINT vk : keys) desk.Then([this, vk] { desk.Key(vk); });
  }
};

TEST_F(MenuExTrackTest, KeysChooseAndDismiss) {
  Keys({VK_DOWN, VK_DOWN, VK_RETURN});
  EXPECT_TRUE(menu.TrackPopupMenu(0, 200, 200, &owner));
  desk.RunUntilIdle();
  EXPECT_EQ(owner.commands, std::vector<UINT>{102});

  Keys({VK_DOWN, VK_ESCAPE});
  EXPECT_FALSE(menu.TrackPopupMenu(0, 200, 200, &owner));
  desk.RunUntilIdle();
  desk.Until([] { return MenuWindow() != nullptr; });
  desk.Then([this] { desk.Click(owner.m_hWnd, 480, 380); });
  EXPECT_FALSE(menu.TrackPopupMenu(0, 200, 200, &owner));
  desk.RunUntilIdle();
  EXPECT_EQ(owner.commands.size(), 1u);
}

TEST_F(MenuExTrackTest, RightAlignedAtX) {
  RECT shown{};
  desk.Until([] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    GetWindowRect(MenuWindow(), &shown);
    desk.Key(VK_ESCAPE);
  });
  menu.TrackPopupMenu(TPM_RIGHTALIGN, 450, 200, &owner);
  desk.RunUntilIdle();
  EXPECT_EQ(shown.right, 450);
  EXPECT_EQ(shown.top, 200);
  EXPECT_EQ(shown.bottom - shown.top, 4 * 25);
}

TEST_F(MenuExTrackTest, SubmenuItemDrawsItsArrowAndOpens) {
  CMenuEx sub;
  ASSERT_TRUE(sub.CreatePopupMenu());
  sub.AppendItem(MF_OWNERDRAW, 201, u"一分钟");
  sub.AppendItem(MF_OWNERDRAW, 202, u"五分钟");
  menu.AppendItem(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.m_hMenu), u"分时周期");
  QImage picture;
  desk.Until([] { return MenuWindow() != nullptr; });
  desk.Then([&] { picture = desk.Snapshot(MenuWindow()); });
  // Up to the submenu item (the last), Right opens it, Down to its second.
  for (UINT vk : {VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN}) desk.Then([this, vk] { desk.Key(vk); });
  EXPECT_TRUE(menu.TrackPopupMenu(0, 200, 200, &owner));
  desk.RunUntilIdle();
  EXPECT_EQ(owner.commands, std::vector<UINT>{202});
  ASSERT_FALSE(picture.isNull());
  // The fifth item (y 100..125): its text and a triangle 8 px from the right.
  const int w = picture.width();
  EXPECT_EQ(picture.height(), 5 * 25);
  EXPECT_GT(CountColor(picture, kText, QRect(w - 12, 100 + 8, 5, 9)), 4);
  // Pointing right: the column at the tip is shorter than the one before.
  EXPECT_LT(CountColor(picture, kText, QRect(w - 8, 100, 1, 25)), CountColor(picture, kText, QRect(w - 11, 100, 1, 25)));
  EXPECT_EQ(CountColor(picture, kText, QRect(w - 12, 8, 5, 9)), 0);  // none on a plain item
  EXPECT_GT(CountColor(picture, kText, QRect(24, 102, 60, 21)), 5);
}

// The application's hook: every "#32768" window gets the flat procedure.
// Under it the test puts a recorder, to see what reaches the class's
// procedure.
std::vector<UINT> g_belowFlat;
WNDPROC g_classProc = nullptr;
LRESULT RecordBelowFlat(HWND h, UINT msg, WPARAM w, LPARAM l) {
  g_belowFlat.push_back(msg);
  return CallWindowProcW(g_classProc, h, msg, w, l);
}
LRESULT FlatHook(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_CREATEWND) {
    auto* info = reinterpret_cast<CBT_CREATEWNDW*>(l);
    if (info->lpcs->lpszClass && WString(info->lpcs->lpszClass) == WC_POPUPMENU) {
      auto hwnd = reinterpret_cast<HWND>(w);
      g_classProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordBelowFlat)));
      AttachFlatMenuProc(hwnd);
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

TEST_F(MenuExTrackTest, FlatProcedureOnMenuWindows) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, FlatHook, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  g_belowFlat.clear();
  DWORD style = 0, exStyle = 0;
  LRESULT icon = -1;
  BOOL again = TRUE;
  QImage picture, printed;
  RECT shown{};
  desk.Until([] { return MenuWindow() != nullptr; });
  desk.Then([&] {
    HWND w = MenuWindow();
    style = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_STYLE));
    exStyle = static_cast<DWORD>(GetWindowLongPtrW(w, GWL_EXSTYLE));
    GetWindowRect(w, &shown);
    picture = desk.Snapshot(w);
    again = AttachFlatMenuProc(w);
    icon = SendMessageW(w, WM_GETICON, 0, 0);
    Canvas canvas(10, 10);
    SendMessageW(w, WM_PRINT, reinterpret_cast<WPARAM>(canvas.dc), 0x4);  // PRF_CLIENT
    desk.Key(VK_ESCAPE);
  });
  menu.TrackPopupMenu(0, 200, 200, &owner);
  UnhookWindowsHookEx(hook);
  desk.RunUntilIdle();
  EXPECT_FALSE(style & WS_BORDER);
  EXPECT_FALSE(exStyle & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
  EXPECT_FALSE(again);  // already there
  EXPECT_EQ(icon, 0);
  auto seen = [](UINT m) { return std::find(g_belowFlat.begin(), g_belowFlat.end(), m) != g_belowFlat.end(); };
  EXPECT_TRUE(seen(WM_CREATE));
  EXPECT_TRUE(seen(WM_PRINTCLIENT));
  EXPECT_FALSE(seen(WM_PRINT));
  EXPECT_FALSE(seen(WM_GETICON));
  // Exactly as large as the items: the last row and column are the items'.
  HFONT font = CreateUiFont(GetUiFontFace(), 18);
  const int widest = std::max(TextWidthIn(font, u"日线"), TextWidthIn(font, u"周线")) + 27;
  DeleteObject(font);
  EXPECT_EQ(shown.right - shown.left, widest);
  EXPECT_EQ(shown.bottom - shown.top, 4 * 25);
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(PixelOf(picture, picture.width() - 1, picture.height() - 1), kBack);
  EXPECT_EQ(PixelOf(picture, 0, 0), kBack);
}

}  // namespace
