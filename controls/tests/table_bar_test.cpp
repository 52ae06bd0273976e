// The table bar on the test desktop: its text list, clicks and keys, the
// horizontal and vertical drawing from pictures, and owners on other threads.
#include "controls/table_bar.h"

#include "controls/control_messages.h"
#include "controls/tests/panels_test_util.h"
#include "controls/tests/resource_fixture.h"

#include <QImage>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using panels::CountNear;
using panels::InInput;
using panels::Notice;
using panels::PixelAt;
using panels::Recorder;

constexpr COLORREF kUnselected = RGB(40, 60, 110);
constexpr COLORREF kSelected = RGB(200, 120, 20);
constexpr COLORREF kBack = RGB(30, 30, 30);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// Counts its input depth (sent or posted notices) and can paint a flat
// colour over its whole picture after the real drawing, so a test sees
// which parts of the window a later paint reached.
class TestBar : public CTableBar {
 public:
  COLORREF overlay = CLR_INVALID;
  void DrawItems(HDC dc) override {
    CTableBar::DrawItems(dc);
    if (overlay == CLR_INVALID) return;
    CRect rc;
    GetClientRect(&rc);
    HBRUSH brush = CreateSolidBrush(overlay);
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
  }

 protected:
  void OnLButtonDown(UINT flags, CPoint point) override {
    InInput in;
    CTableBar::OnLButtonDown(flags, point);
  }
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override {
    InInput in;
    CTableBar::OnKeyDown(key, repeat, flags);
  }
};

bool WriteFlat(const std::string& path, int w, int h, COLORREF color) {
  orvtest::ProbePicture p = orvtest::Probe(w, h);
  p.keyed = {RECT{0, 0, w, h}};
  p.keyColor = color;
  return orvtest::WriteProbePicture(path, p);
}

// A vertical tab picture 22 x 110: the body in one colour, magenta in the
// corners of the 12 overlap rows at the top (the round top of the tab).
bool WriteVerticalTab(const std::string& path, COLORREF body) {
  QImage img(22, 110, QImage::Format_RGB32);
  img.fill(qRgb(GetRValue(body), GetGValue(body), GetBValue(body)));
  for (int y = 0; y < 12; ++y)
    for (int x : {0, 1, 2, 3, 18, 19, 20, 21}) img.setPixel(x, y, qRgb(255, 0, 255));
  return img.save(QString::fromStdString(path), "PNG");
}

class TableBarTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  orvtest::TempFolder folder;
  Recorder parent;
  Recorder mainWindow;
  CWinApp app;

  void SetUp() override {
    orvtest::UseProgramFonts();
    ASSERT_FALSE(folder.Path().empty());
    ASSERT_TRUE(WriteFlat(folder.Path() + "tab.png", 98, 24, kUnselected));
    ASSERT_TRUE(WriteFlat(folder.Path() + "tab_sel.png", 98, 24, kSelected));
    ASSERT_TRUE(WriteFlat(folder.Path() + "tab_back.png", 50, 24, kBack));
    ASSERT_TRUE(WriteVerticalTab(folder.Path() + "vtab.png", kUnselected));
    ASSERT_TRUE(WriteVerticalTab(folder.Path() + "vtab_sel.png", kSelected));
    parent.watch = {WM_TABLEBAR_SELECT, WM_KEY_COMMAND};
    mainWindow.watch = {WM_TABLEBAR_SELECT, WM_KEY_COMMAND};
    ASSERT_TRUE(mainWindow.Make(1200, 0, 100, 100));
    ASSERT_TRUE(parent.Make(0, 100, 1000, 700));
    app.m_pMainWnd = &mainWindow;
  }
  void TearDown() override { app.m_pMainWnd = nullptr; }

  WString File(const char* name) const {
    std::string p = folder.Path() + name;
    return WString(p.begin(), p.end());
  }
  void MakeHorizontal(TestBar& bar, int width = 800, bool pictures = true) {
    ASSERT_TRUE(bar.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, width, 24), &parent, 300));
    if (pictures) {
      bar.SetItemImages(File("tab.png").c_str(), File("tab_sel.png").c_str());
      bar.SetBackgroundImage(File("tab_back.png").c_str());
    }
    desk.RunUntilIdle();
  }
  void MakeVertical(TestBar& bar) {
    ASSERT_TRUE(bar.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 22, 330), &parent, 301));
    bar.SetOrientation(1);
    bar.SetItemImages(File("vtab.png").c_str(), File("vtab_sel.png").c_str());
    desk.RunUntilIdle();
  }
  QImage Shot(CWnd& w) {
    w.Invalidate(FALSE);
    desk.RunUntilIdle();
    return desk.Snapshot(w.m_hWnd);
  }
};

TEST_F(TableBarTest, ItemsAreSplitAtCommasAndTheSelectionIsKept) {
  TestBar bar;
  MakeHorizontal(bar);
  bar.SetCurSel(1);
  struct Case {
    const char* name;
    const char16_t* text;
    int count;
    const char* first;
  };
  const Case cases[] = {
      {"three", u"A,B,C", 3, "A"},
      {"trailing comma", u"A,B,", 2, "A"},
      {"empty", u"", 0, nullptr},
      {"null", nullptr, 0, nullptr},
      {"line break", u"K\n线图,分时图", 2, "K\n线图"},
      {"leading comma", u",B", 2, ""},
  };
  for (const Case& c : cases) {
    bar.SetItems(c.text);
    EXPECT_EQ(bar.GetCount(), c.count) << c.name;
    const char* first = bar.GetItemText(0);
    if (c.first)
      EXPECT_STREQ(first, c.first) << c.name;
    else
      EXPECT_EQ(first, nullptr) << c.name;
    EXPECT_EQ(bar.GetCurSel(), 1) << c.name;
  }
  // A lone surrogate is converted as a unit of its own, nothing read past the text.
  const char16_t lone[] = {u'A', 0xD800, u',', u'B', 0};
  bar.SetItems(lone);
  EXPECT_EQ(bar.GetCount(), 2);
  EXPECT_STREQ(bar.GetItemText(0), "A\xED\xA0\x80");
  // The current index may lie beyond the count: no tab is highlighted.
  bar.SetItems(u"A,B,C");
  bar.SetCurSel(5);
  bar.SetItems(u"A,B");
  EXPECT_EQ(bar.GetCurSel(), 5);
  QImage img = Shot(bar);
  EXPECT_EQ(CountNear(img, kSelected, RECT{0, 0, 800, 24}, 0), 0);
  EXPECT_GT(CountNear(img, kUnselected, RECT{0, 0, 196, 24}, 0), 0);
}

TEST_F(TableBarTest, ItemTextsInAndOutOfRange) {
  TestBar bar;
  MakeHorizontal(bar);
  bar.SetItems(u"分时图,K线图,成交明细");
  bar.SetItemText(1, u"日线,周线");  // a comma stays inside the one tab
  EXPECT_EQ(bar.GetCount(), 3);
  EXPECT_STREQ(bar.GetItemText(1), "日线,周线");
  EXPECT_STREQ(bar.GetItemText(2), "成交明细");
  bar.SetItemText(0, nullptr);
  EXPECT_STREQ(bar.GetItemText(0), "");
  for (int bad : {-1, 3, 100}) {
    bar.SetItemText(bad, u"X");
    EXPECT_EQ(bar.GetItemText(bad), nullptr) << bad;
  }
  EXPECT_EQ(bar.GetCount(), 3);

  struct Case {
    const char* name;
    int index, size, result;
    const char* text;
  };
  const Case cases[] = {
      {"whole", 2, 64, 1, "成交明细"},
      {"exactly", 2, 13, 1, "成交明细"},
      {"cut after a character", 2, 7, 1, "成交"},
      {"cut inside a character", 2, 9, 1, "成交"},
      {"room for the terminator only", 2, 1, 1, ""},
      {"negative index", -1, 64, 0, ""},
      {"past the count", 3, 64, 0, ""},
  };
  for (const Case& c : cases) {
    char out[64];
    memset(out, '#', sizeof out);
    EXPECT_EQ(bar.CopyItemText(c.index, out, c.size), c.result) << c.name;
    EXPECT_STREQ(out, c.text) << c.name;
    if (c.size < 64) {
      EXPECT_EQ(out[c.size], '#') << c.name << ": nothing written past the buffer";
    }
  }
  char out[4] = "###";
  EXPECT_EQ(bar.CopyItemText(0, nullptr, 10), 0);
  EXPECT_EQ(bar.CopyItemText(0, out, 0), 0);
  EXPECT_EQ(out[0], '#');
}

TEST_F(TableBarTest, HorizontalClicksPostTheIndexAndLeaveTheHighlight) {
  TestBar bar;
  MakeHorizontal(bar);
  bar.SetItems(u"全部,沪A,深A");
  desk.Click(bar.m_hWnd, 2 * 98 + 10, 10);
  std::vector<Notice> n = parent.Of(WM_TABLEBAR_SELECT);
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].wParam, reinterpret_cast<WPARAM>(static_cast<CTableBar*>(&bar)));
  EXPECT_EQ(n[0].lParam, 2);
  EXPECT_FALSE(n[0].sent);
  EXPECT_EQ(bar.GetCurSel(), 0);
  QImage img = Shot(bar);
  EXPECT_EQ(PixelAt(img, 2 * 98 + 3, 3), kUnselected) << "the highlight waits for the parent";
  EXPECT_EQ(PixelAt(img, 3, 3), kSelected);
  bar.SetCurSel(2);
  img = desk.Snapshot(bar.m_hWnd);  // SetCurSel repainted at once
  EXPECT_EQ(PixelAt(img, 2 * 98 + 3, 3), kSelected);
  EXPECT_EQ(PixelAt(img, 3, 3), kUnselected);

  parent.notices.clear();
  desk.Click(bar.m_hWnd, 3 * 98 + 1, 10);
  EXPECT_TRUE(parent.notices.empty()) << "beyond the last tab";

  // Shifted tabs: the index is (x - origin) / size, but only for x below
  // count * size, so the right end of the last tab posts nothing.
  bar.SetOrigin(10, 0);
  struct Case {
    int x;
    int index;  // -1: nothing posted
  };
  for (const Case& c : {Case{5, 0}, Case{107, 0}, Case{109, 1}, Case{290, 2}, Case{300, -1}}) {
    parent.notices.clear();
    desk.Advance(1000);  // apart, so that no two clicks make a double click
    desk.Click(bar.m_hWnd, c.x, 10);
    n = parent.Of(WM_TABLEBAR_SELECT);
    if (c.index < 0) {
      EXPECT_TRUE(n.empty()) << c.x;
      continue;
    }
    ASSERT_EQ(n.size(), 1u) << c.x;
    EXPECT_EQ(n[0].lParam, c.index) << c.x;
  }
}

TEST_F(TableBarTest, VerticalClickMovesTheHighlightAndRepaintsBothBands) {
  TestBar bar;
  MakeVertical(bar);
  bar.SetItems(u"K线图,分时图,资料");
  desk.RunUntilIdle();
  // From here every paint floods the bar, so the paint after the click
  // shows where it reached.
  bar.overlay = RGB(1, 2, 3);
  desk.Click(bar.m_hWnd, 10, 2 * 98 + 50);
  EXPECT_EQ(bar.GetCurSel(), 2);
  std::vector<Notice> n = parent.Of(WM_TABLEBAR_SELECT);
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].lParam, 2);
  EXPECT_FALSE(n[0].sent);
  QImage img = desk.Snapshot(bar.m_hWnd);
  struct Row {
    int y;
    bool repainted;
  };
  // Old tab 0: -12 .. 110; new tab 2: 184 .. 306.
  for (const Row& r : {Row{0, true}, Row{109, true}, Row{111, false}, Row{150, false}, Row{183, false},
                       Row{184, true}, Row{305, true}, Row{307, false}})
    EXPECT_EQ(PixelAt(img, 11, r.y) == RGB(1, 2, 3), r.repainted) << "row " << r.y;
  bar.overlay = CLR_INVALID;
  img = Shot(bar);
  EXPECT_EQ(PixelAt(img, 11, 2 * 98 + 50), kSelected);
  EXPECT_EQ(PixelAt(img, 11, 50), kUnselected);
  // Beyond the last tab nothing happens.
  parent.notices.clear();
  desk.Click(bar.m_hWnd, 10, 3 * 98 + 5);
  EXPECT_TRUE(parent.notices.empty());
  EXPECT_EQ(bar.GetCurSel(), 2);
}

TEST_F(TableBarTest, KeysGoToTheMainWindow) {
  TestBar bar;
  MakeHorizontal(bar);
  bar.SetItems(u"A,B");
  ::SetFocus(bar.m_hWnd);
  desk.Key(VK_F1);
  desk.Key('6');
  std::vector<Notice> n = mainWindow.Of(WM_KEY_COMMAND);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[0].wParam, 0u);
  EXPECT_EQ(n[0].lParam, VK_F1);
  EXPECT_EQ(n[1].lParam, '6');
  EXPECT_FALSE(n[0].sent);
  EXPECT_TRUE(parent.notices.empty());
}

TEST_F(TableBarTest, OrientationSetsTheItemSize) {
  TestBar bar;
  MakeHorizontal(bar);
  struct Case {
    const char* name;
    std::function<void()> steps;
    int width;
  };
  const Case cases[] = {
      {"new bar", [] {}, 98},
      {"horizontal", [&] { bar.SetOrientation(0); }, 82},
      {"vertical", [&] { bar.SetOrientation(1); }, 98},
      {"size after orientation", [&] { bar.SetItemSize(60); }, 60},
      {"horizontal after a size", [&] { bar.SetOrientation(0); }, 82},
      {"vertical after a size", [&] {
         bar.SetItemSize(60);
         bar.SetOrientation(1);
       }, 98},
      {"another orientation keeps the size", [&] { bar.SetOrientation(2); }, 98},
      {"and refuses a new one", [&] { bar.SetItemSize(40); }, 98},
  };
  for (const Case& c : cases) {
    c.steps();
    RECT rc{-7, -7, -7, -7};
    bar.GetItemRect(1, &rc);
    EXPECT_EQ(CRect(rc), CRect(c.width, 0, 2 * c.width, 24)) << c.name;
  }
  // The unknown orientation: background only, clicks ignored.
  bar.SetItems(u"A,B,C");
  QImage img = Shot(bar);
  EXPECT_EQ(CountNear(img, kBack, RECT{0, 0, 800, 24}, 0), 800 * 24);
  desk.Click(bar.m_hWnd, 5, 5);
  EXPECT_TRUE(parent.notices.empty());
  // An item size below 1: background only, clicks ignored.
  bar.SetOrientation(0);
  bar.SetItemSize(0);
  img = Shot(bar);
  EXPECT_EQ(CountNear(img, kBack, RECT{0, 0, 800, 24}, 0), 800 * 24);
  desk.Click(bar.m_hWnd, 5, 5);
  EXPECT_TRUE(parent.notices.empty());
}

TEST_F(TableBarTest, HorizontalDrawing) {
  TestBar plain;
  MakeHorizontal(plain, 400, false);
  plain.SetItems(u"A,B");
  QImage img = Shot(plain);
  EXPECT_EQ(PixelAt(img, 350, 12), RGB(0, 0, 0)) << "black without a background picture";
  EXPECT_EQ(PixelAt(img, 2, 2), RGB(0, 0, 0)) << "no tab pictures";

  TestBar bar;
  MakeHorizontal(bar);
  bar.SetOrientation(0);
  bar.SetTextColor(0xFFFF00);
  bar.SetItems(u"全部,沪深A股,创业板");
  bar.SetCurSel(1);
  img = Shot(bar);
  EXPECT_EQ(PixelAt(img, 2, 2), kUnselected);
  EXPECT_EQ(PixelAt(img, 82 + 2, 2), kSelected);
  EXPECT_EQ(PixelAt(img, 164 + 2, 2), kUnselected);
  EXPECT_EQ(PixelAt(img, 600, 12), kBack);
  const RECT tab0{0, 0, 82, 24}, tab1{82, 0, 164, 24}, tab2{164, 0, 246, 24};
  EXPECT_GT(CountNear(img, kWhite, tab1), 0) << "white text on the current tab";
  EXPECT_EQ(CountNear(img, RGB(255, 255, 0), tab1), 0);
  for (const RECT& r : {tab0, tab2}) {
    EXPECT_GT(CountNear(img, RGB(255, 255, 0), r), 0) << "the text colour on the others";
    EXPECT_EQ(CountNear(img, kWhite, r), 0);
  }
}

TEST_F(TableBarTest, TabTextsShowAtMost63Characters) {
  TestBar bar;
  MakeHorizontal(bar, 900);
  bar.SetItemSize(900);  // one tab wide enough for more than 63 digits
  WString digits;
  for (int i = 0; i < 100; ++i) digits += static_cast<WCHAR>(u'0' + i % 10);
  auto shown = [&](const WString& text) {
    bar.SetItems(text.c_str());
    return Shot(bar);
  };
  QImage cut = shown(digits);
  EXPECT_EQ(cut, shown(digits.substr(0, 63)));
  EXPECT_NE(cut, shown(digits.substr(0, 62)));
  EXPECT_STREQ(bar.GetItemText(0), "01234567890123456789012345678901234567890123456789012345678901");
  bar.SetItems(digits.c_str());
  EXPECT_EQ(strlen(bar.GetItemText(0)), 100u) << "the text is kept whole, only its display is cut";
}

TEST_F(TableBarTest, VerticalTabsOverlapWithoutTheKeyColour) {
  TestBar bar;
  MakeVertical(bar);
  bar.SetItems(u"K\n线图,分时图,资料");
  bar.SetCurSel(1);
  QImage img = Shot(bar);
  EXPECT_EQ(CountNear(img, kMagenta, RECT{0, 0, 22, 330}, 0), 0) << "no magenta anywhere";
  // Tab 0 starts below its picture's round top.
  EXPECT_EQ(PixelAt(img, 0, 0), kUnselected);
  // The current tab 1 (98 .. 196) reaches 12 rows over tab 0: its corners
  // show tab 0, its middle is its own; its bottom lies over tab 2's top.
  for (int y : {86, 97}) {
    EXPECT_EQ(PixelAt(img, 0, y), kUnselected) << y;
    EXPECT_EQ(PixelAt(img, 11, y), kSelected) << y;
  }
  for (int y : {184, 195}) {
    EXPECT_EQ(PixelAt(img, 0, y), kSelected) << y;
    EXPECT_EQ(PixelAt(img, 11, y), kSelected) << y;
  }
  EXPECT_EQ(PixelAt(img, 0, 250), kUnselected);
  EXPECT_EQ(PixelAt(img, 0, 300), RGB(0, 0, 0)) << "below the tabs the black background";

  // No current tab: each later tab's round top shows the tab above in its
  // corners.
  bar.SetCurSel(7);
  img = Shot(bar);
  EXPECT_EQ(CountNear(img, kMagenta, RECT{0, 0, 22, 330}, 0), 0);
  EXPECT_EQ(CountNear(img, kSelected, RECT{0, 0, 22, 330}, 0), 0);
  for (int y : {86, 97, 184, 195}) EXPECT_EQ(PixelAt(img, 0, y), kUnselected) << y;

  // A line break in a name gives two lines ("AB" fits on one).
  auto lastTextRow = [&](const QImage& shot) {
    int last = -1;
    for (int y = 0; y < 80; ++y)
      if (CountNear(shot, kWhite, RECT{0, y, 22, y + 1}, 8) > 0) last = y;
    return last;
  };
  int twoLines = lastTextRow(img);
  bar.SetItems(u"A\nB,分时图,资料");
  twoLines = lastTextRow(Shot(bar));
  bar.SetItems(u"AB,分时图,资料");
  int oneLine = lastTextRow(Shot(bar));
  EXPECT_GT(oneLine, 0);
  EXPECT_GT(twoLines, oneLine + 10);
}

TEST_F(TableBarTest, OwnersOnOtherThreadsWhileTheBarPaintsAndIsClicked) {
  TestBar bar;
  MakeHorizontal(bar);
  bar.SetItems(u"A,B,C");
  std::atomic<bool> done{false};
  std::thread owner([&] {
    char out[32];
    for (int i = 0; i < 300; ++i) {
      bar.SetItems(i % 2 ? u"全部,沪A,深A,创业板" : u"自选,板块");
      bar.SetItemText(1, u"沪深300");
      bar.CopyItemText(1, out, sizeof out);
      bar.SetCurSel(i % 4);
    }
    done = true;
  });
  int clicks = 0;
  while (!done) {
    desk.Click(bar.m_hWnd, 98 * (clicks++ % 3) + 5, 5);
    desk.RunUntil([&] { return done.load(); }, 2);
  }
  owner.join();
  desk.RunUntilIdle();
  EXPECT_EQ(bar.GetCount(), 4);  // the last round's list
  EXPECT_STREQ(bar.GetItemText(1), "沪深300");
  EXPECT_GT(parent.Of(WM_TABLEBAR_SELECT).size(), 0u);
}

TEST_F(TableBarTest, Snapshots) {
  orvtest::ScopedWorkingFolder program(orvtest::BuildProgramFolder());
  ASSERT_TRUE(program.Ok());
  TestBar board;
  ASSERT_TRUE(board.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 900, 20), &parent, 302));
  board.SetOrientation(0);
  board.SetItemImages(u"res\\quote_table_item_bg.png", u"res\\quote_table_item_sel_bg.png");
  board.SetBackgroundImage(u"res\\quote_table_bg.png");
  board.SetItems(u"沪深A股,上证A股,深证A股,创业板,科创板,中小板,沪深B股,基金,债券");
  board.SetCurSel(2);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(board.m_hWnd, panels::SnapshotPath("panels_tablebar_board.png")));

  TestBar strip;
  ASSERT_TRUE(strip.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 40, 22, 640), &parent, 303));
  strip.SetOrientation(1);
  strip.SetItemImages(u"res\\quote_table_item_v_bg.png", u"res\\quote_table_item_sel_v_bg.png");
  strip.SetItems(u"K\n线图,分时图,基础资料,深度F9,分时成交,周期共振");
  strip.SetCurSel(1);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(strip.m_hWnd, panels::SnapshotPath("panels_tablebar_vertical.png")));
}

}  // namespace
