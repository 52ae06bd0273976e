// The on-screen keyboard and its dialog on the test desktop: layout from
// the picture sizes, the exchange shuffle, the case key, the messages that
// reach the target, closing (modal and modeless), activation and painting.
#include "skin_test_util.h"

#include "controls/soft_keyboard.h"
#include "platform/kernel/debug_sink.h"

#include <string>
#include <utility>
#include <vector>

using namespace skintest;

namespace {

const COLORREF kBackground = orvtest::ProbeCellColor(5);

// A scripted source: a fixed second and, when values are given, the values
// of the generator in turn (otherwise the C library's generator).
class ScriptedRandom : public SoftKeyRandom {
 public:
  std::time_t now = 1700000000;
  std::vector<int> values;
  size_t next = 0;
  std::time_t Now() override { return now; }
  int Next() override { return values.empty() ? SoftKeyRandom::Next() : values[next++ % values.size()]; }
};

// The target: records what the dialog sends on, copying the text during
// the call.
class Target : public CWnd {
 public:
  std::vector<std::pair<WPARAM, WString>> got;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_SOFTKEY_INPUT) {
      got.emplace_back(w, w == kSoftKeyText && l ? WString(reinterpret_cast<const WCHAR*>(l)) : WString());
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

class TestApp : public CWinApp {};

class MediaKeyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    orvtest::UseProgramFonts();
    const std::string res = temp.Path() + "res/";
    WriteFlatPicture(res + "key.png", 32, 28, RGB(230, 230, 230));
    WriteFlatPicture(res + "other.png", 64, 28, RGB(200, 200, 200));
    WriteFlatPicture(res + "enter.png", 70, 28, RGB(180, 180, 180));
    WriteFlatPicture(res + "background.png", 353, 190, kBackground);
    folder = std::make_unique<orvtest::ScopedWorkingFolder>(temp.Path());
    ASSERT_TRUE(folder->Ok());
    ASSERT_TRUE(target.CreateEx(0, nullptr, u"target", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
    VexloSoftKeyboardWnd::SetRandomSource(&random);
  }
  void TearDown() override {
    VexloSoftKeyboardWnd::SetRandomSource(nullptr);
    if (target.m_hWnd) target.DestroyWindow();
  }
  static HWND Item(VexloSoftKeyDlg& dlg, UINT id) { return ::GetDlgItem(dlg.Keyboard()->m_hWnd, static_cast<int>(id)); }
  // The child's rectangle in the keyboard window's coordinates.
  static CRect InKeyboard(VexloSoftKeyDlg& dlg, UINT id) {
    CRect rc;
    ::GetWindowRect(Item(dlg, id), &rc);
    ::MapWindowPoints(nullptr, dlg.Keyboard()->m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
  }
  static WString Captions(VexloSoftKeyboardWnd* kb) {
    WString all;
    for (int i = 0; i < VexloSoftKeyboardWnd::kCharacterKeys; ++i) all += kb->Key(i)->GetWindowText();
    return all;
  }
  void ClickItem(VexloSoftKeyDlg& dlg, UINT id) { desk.Click(Item(dlg, id), 5, 5); }
  // The key now showing the caption.
  static UINT KeyShowing(VexloSoftKeyDlg& dlg, char16_t c) {
    for (int i = 0; i < VexloSoftKeyboardWnd::kCharacterKeys; ++i)
      if (dlg.Keyboard()->Key(i)->GetWindowText() == WString(1, c)) return IDC_SOFTKEY_FIRST + i;
    return 0;
  }
  void ShowModeless(VexloSoftKeyDlg& dlg) {
    ASSERT_TRUE(dlg.Create(&target));
    random.next = 0;  // the showing builds the keyboard again from the start of the script
    dlg.ShowWindow(SW_SHOW);
    desk.RunUntilIdle();
    ASSERT_TRUE(dlg.IsWindowVisible());
  }

  TestApp app;
  TestDesktop desk;
  orvtest::TempFolder temp;
  std::unique_ptr<orvtest::ScopedWorkingFolder> folder;
  ScriptedRandom random;
  Target target;
};

TEST_F(MediaKeyboard, LayoutFollowsThePictureSizes) {
  random.values = {0};
  VexloSoftKeyDlg dlg(&target);
  ShowModeless(dlg);
  CRect kb;
  dlg.Keyboard()->GetClientRect(&kb);
  EXPECT_EQ(kb.Size(), CSize(353, 190));
  CRect dr;
  dlg.GetWindowRect(&dr);
  EXPECT_EQ(dr.Size(), CSize(353, 190)) << "the dialog is sized to the keyboard";
  struct Case {
    UINT id;
    CRect rect;
  } cases[] = {
      {IDC_SOFTKEY_FIRST + 0, CRect(3, 3, 35, 31)},
      {IDC_SOFTKEY_FIRST + 9, CRect(318, 3, 350, 31)},
      {IDC_SOFTKEY_FIRST + 10, CRect(3, 34, 35, 62)},
      {IDC_SOFTKEY_FIRST + 35, CRect(178, 96, 210, 124)},
      {IDC_SOFTKEY_DELETE, CRect(213, 96, 277, 124)},
      {IDC_SOFTKEY_OK, CRect(280, 96, 350, 124)},
      {IDC_SOFTKEY_CASE, CRect(3, 127, 67, 155)},
      {IDC_SOFTKEY_EXIT, CRect(70, 127, 134, 155)},
      {IDC_SOFTKEY_LABEL, CRect(3, 161, 350, 187)},
  };
  for (const Case& c : cases) EXPECT_EQ(InKeyboard(dlg, c.id), c.rect) << "id " << c.id;
  EXPECT_EQ(::GetWindowTextString(Item(dlg, IDC_SOFTKEY_DELETE)), u"删除");
  EXPECT_EQ(::GetWindowTextString(Item(dlg, IDC_SOFTKEY_CASE)), u"大小写");
  EXPECT_EQ(::GetWindowTextString(Item(dlg, IDC_SOFTKEY_EXIT)), u"退出");
  EXPECT_EQ(::GetWindowTextString(Item(dlg, IDC_SOFTKEY_LABEL)), u"为了您的交易安全，请使用密码软键盘输入");
  EXPECT_EQ(::GetWindowLongPtrW(Item(dlg, IDC_SOFTKEY_FIRST), GWL_STYLE) & 0xFFFF0F00, 0x54000300);
  WCHAR cls[64] = {};
  ::GetClassNameW(dlg.Keyboard()->m_hWnd, cls, 64);
  EXPECT_EQ(WString(cls), u"VexloSoftKeyboard");
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, ShuffleIsTheExchangePass) {
  {
    // Before any shuffle: digits then letters in order.
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, nullptr, u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 200), nullptr, 0));
    VexloSoftKeyboardWnd kb;
    ASSERT_TRUE(kb.Create(POINT{0, 0}, &host, IDC_SOFTKEYBOARD));
    EXPECT_EQ(Captions(&kb), u"0123456789abcdefghijklmnopqrstuvwxyz");
    host.DestroyWindow();
  }
  struct Case {
    std::vector<int> values;
    const char16_t* captions;
  } cases[] = {
      {{0}, u"9012345678zabcdefghijklmnopqrstuvwxy"},
      {{1}, u"1902345678bzacdefghijklmnopqrstuvwxy"},
      {{7, 3, 19, 2, 11, 40, 5, 28}, u"5412367089tczxfuhwaebsljqgindymrkpov"},
  };
  for (const Case& c : cases) {
    random.values = c.values;
    random.next = 0;
    VexloSoftKeyDlg dlg(&target);
    ShowModeless(dlg);
    EXPECT_EQ(Captions(dlg.Keyboard()), c.captions);
    dlg.DestroyWindow();
  }
}

TEST_F(MediaKeyboard, DefaultGeneratorReseedsWithTheSecond) {
  auto arrangement = [&](std::time_t second) {
    random.now = second;
    VexloSoftKeyDlg dlg(&target);
    [&] { ShowModeless(dlg); }();
    WString all = Captions(dlg.Keyboard());
    dlg.DestroyWindow();
    return all;
  };
  const WString first = arrangement(1700000000);
  EXPECT_EQ(arrangement(1700000000), first);
  EXPECT_NE(arrangement(1700000001), first);
  for (WString a : {first, arrangement(1700000002)}) {
    EXPECT_TRUE(std::is_permutation(a.begin(), a.begin() + 10, u"0123456789"));
    EXPECT_TRUE(std::is_permutation(a.begin() + 10, a.end(), u"abcdefghijklmnopqrstuvwxyz"));
  }
}

TEST_F(MediaKeyboard, KeysReachTheTarget) {
  VexloSoftKeyDlg dlg(&target);
  dlg.SetTarget(&target);
  ShowModeless(dlg);
  ClickItem(dlg, IDC_SOFTKEY_DELETE);  // nothing typed yet
  ClickItem(dlg, KeyShowing(dlg, u'x'));
  ClickItem(dlg, KeyShowing(dlg, u'7'));
  desk.DoubleClick(Item(dlg, KeyShowing(dlg, u'q')), 5, 5);  // two quick clicks
  ClickItem(dlg, IDC_SOFTKEY_CASE);
  ClickItem(dlg, KeyShowing(dlg, u'X'));
  ClickItem(dlg, KeyShowing(dlg, u'3'));
  ClickItem(dlg, IDC_SOFTKEY_CASE);
  ClickItem(dlg, KeyShowing(dlg, u'x'));
  std::vector<std::pair<WPARAM, WString>> want = {{2, u""},  {3, u"x"}, {3, u"7"}, {3, u"q"},
                                                  {3, u"q"}, {3, u"X"}, {3, u"3"}, {3, u"x"}};
  EXPECT_EQ(target.got, want);
  EXPECT_TRUE(dlg.IsWindowVisible());

  target.got.clear();
  for (UINT close : {IDC_SOFTKEY_OK, IDC_SOFTKEY_EXIT}) {
    dlg.ShowWindow(SW_SHOW);
    desk.RunUntilIdle();
    ClickItem(dlg, close);
    EXPECT_FALSE(dlg.IsWindowVisible()) << close;
  }
  EXPECT_TRUE(target.got.empty()) << "confirm and exit do not reach the target";
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, CaseKeyFlipsEveryLetter) {
  random.values = {7, 3, 19, 2, 11, 40, 5, 28};
  VexloSoftKeyDlg dlg(&target);
  ShowModeless(dlg);
  ClickItem(dlg, IDC_SOFTKEY_CASE);
  EXPECT_EQ(Captions(dlg.Keyboard()), u"5412367089TCZXFUHWAEBSLJQGINDYMRKPOV");
  ClickItem(dlg, IDC_SOFTKEY_CASE);
  EXPECT_EQ(Captions(dlg.Keyboard()), u"5412367089tczxfuhwaebsljqgindymrkpov");
  ClickItem(dlg, IDC_SOFTKEY_CASE);
  dlg.ShowWindow(SW_HIDE);
  random.next = 0;
  dlg.ShowWindow(SW_SHOW);
  desk.RunUntilIdle();
  EXPECT_EQ(Captions(dlg.Keyboard()), u"5412367089tczxfuhwaebsljqgindymrkpov") << "a new showing is lower case";
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, ModalDialogEndsOnlyThroughCancel) {
  VexloSoftKeyDlg dlg(&target);
  dlg.SetTarget(&target);
  dlg.SetPosition(300, 200);
  HWND firstKeyboard = nullptr;
  bool openAfterEnter = false;
  CRect placed;
  auto open = [&] { return dlg.m_hWnd && ::IsWindowVisible(dlg.m_hWnd); };
  desk.Until(open);
  desk.Then([&] {
    firstKeyboard = dlg.Keyboard()->m_hWnd;
    dlg.GetWindowRect(&placed);
    ClickItem(dlg, IDC_SOFTKEY_CASE);
  });
  desk.Then([&] { desk.Key(VK_RETURN); });
  desk.Then([&] {
    openAfterEnter = open();
    ClickItem(dlg, KeyShowing(dlg, u'A'));
  });
  desk.Then([&] { ClickItem(dlg, IDC_SOFTKEY_OK); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_TRUE(openAfterEnter) << "Enter never closes";
  EXPECT_EQ(placed.TopLeft(), CPoint(300, 200));
  EXPECT_EQ(placed.Size(), CSize(353, 190));
  ASSERT_EQ(target.got.size(), 1u);
  EXPECT_EQ(target.got[0].second, u"A");

  // A second showing: a fresh keyboard window in lower case; exit closes.
  bool lower = false;
  HWND secondKeyboard = nullptr;
  desk.Until(open);
  desk.Then([&] {
    secondKeyboard = dlg.Keyboard()->m_hWnd;
    lower = KeyShowing(dlg, u'a') != 0;
    ClickItem(dlg, IDC_SOFTKEY_EXIT);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(lower);
  EXPECT_NE(secondKeyboard, firstKeyboard);
  EXPECT_EQ(target.got.size(), 1u);
}

TEST_F(MediaKeyboard, WithoutTargetOnlyEscCloses) {
  VexloSoftKeyDlg dlg(&target);
  bool openAfterKeys = false;
  auto open = [&] { return dlg.m_hWnd && ::IsWindowVisible(dlg.m_hWnd); };
  desk.Until(open);
  desk.Then([&] { ClickItem(dlg, IDC_SOFTKEY_OK); });
  desk.Then([&] { ClickItem(dlg, IDC_SOFTKEY_EXIT); });
  desk.Then([&] { ClickItem(dlg, IDC_SOFTKEY_FIRST); });
  desk.Then([&] {
    openAfterKeys = open();
    desk.Key(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_TRUE(openAfterKeys);
  EXPECT_TRUE(target.got.empty());

  // Modeless: Esc hides it.
  ShowModeless(dlg);
  ::SetFocus(dlg.m_hWnd);
  desk.Key(VK_ESCAPE);
  EXPECT_FALSE(dlg.IsWindowVisible());
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, ForwardsUnknownInputUnchanged) {
  VexloSoftKeyDlg dlg(&target);
  dlg.SetTarget(&target);
  ShowModeless(dlg);
  EXPECT_EQ(dlg.SendMessage(WM_SOFTKEY_INPUT, 9, 77), 0);
  ASSERT_EQ(target.got.size(), 1u);
  EXPECT_EQ(target.got[0].first, 9u);
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, ModelessShowingsReshuffleAndPlaceTheDialog) {
  VexloSoftKeyDlg dlg(&target);
  dlg.SetPosition(400, 300);
  ShowModeless(dlg);
  CRect rc;
  dlg.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(400, 300));
  const WString first = Captions(dlg.Keyboard());
  dlg.ShowWindow(SW_HIDE);
  random.now += 1;
  dlg.ShowWindow(SW_SHOW);
  desk.RunUntilIdle();
  EXPECT_NE(Captions(dlg.Keyboard()), first);

  // Activation by a call moves it to the stored position; by a click not.
  dlg.SetWindowPos(nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::SetActiveWindow(target.m_hWnd);
  desk.Click(dlg.Keyboard()->m_hWnd, 180, 175);
  dlg.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(10, 10)) << "WA_CLICKACTIVE";
  EXPECT_EQ(::GetActiveWindow(), dlg.m_hWnd);
  ::SetActiveWindow(target.m_hWnd);
  ::SetActiveWindow(dlg.m_hWnd);
  dlg.GetWindowRect(&rc);
  EXPECT_EQ(rc.TopLeft(), CPoint(400, 300)) << "WA_ACTIVE";
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, LabelShowsOverTheBackground) {
  VexloSoftKeyDlg dlg(&target);
  dlg.SetPosition(0, 0);
  ShowModeless(dlg);
  QImage img = desk.Snapshot(dlg.m_hWnd);
  const QRect label(3, 161, 347, 26);
  EXPECT_GT(CountNear(img, RGB(0x8C, 0x8C, 0x8C), 12, label), 30) << "the notice in its grey";
  EXPECT_EQ(PixelOf(img, 4, 162), kBackground) << "no brush fill behind the notice";
  EXPECT_EQ(PixelOf(img, 1, 1), kBackground);

  // Minimised, the keyboard paints nothing: what was under it stays.
  HWND kb = dlg.Keyboard()->m_hWnd;
  HDC dc = ::GetDC(kb);
  RECT all{0, 0, 353, 190};
  HBRUSH marker = CreateSolidBrush(RGB(1, 2, 3));
  FillRect(dc, &all, marker);
  DeleteObject(marker);
  ::ReleaseDC(kb, dc);
  ::SetWindowLongPtrW(kb, GWL_STYLE, ::GetWindowLongPtrW(kb, GWL_STYLE) | WS_MINIMIZE);
  ::InvalidateRect(kb, nullptr, TRUE);
  desk.RunUntilIdle();
  EXPECT_EQ(PixelOf(desk.Snapshot(dlg.m_hWnd), 1, 1), RGB(1, 2, 3));
  ::SetWindowLongPtrW(kb, GWL_STYLE, ::GetWindowLongPtrW(kb, GWL_STYLE) & ~WS_MINIMIZE);
  ::InvalidateRect(kb, nullptr, TRUE);
  desk.RunUntilIdle();
  EXPECT_EQ(PixelOf(desk.Snapshot(dlg.m_hWnd), 1, 1), kBackground);
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, MissingPicturesStillCloseOnEsc) {
  folder.reset();
  orvtest::TempFolder empty;
  orvtest::ScopedWorkingFolder there(empty.Path());
  DebugCapture trace;
  VexloSoftKeyDlg dlg(&target);
  ShowModeless(dlg);
  for (const char* file : {"res\\background.png", "res\\key.png", "res\\other.png", "res\\enter.png"})
    EXPECT_TRUE(trace.Contains(file)) << file;
  CRect kb;
  dlg.Keyboard()->GetClientRect(&kb);
  EXPECT_TRUE(kb.IsRectEmpty());
  ::SetFocus(dlg.m_hWnd);
  desk.Key(VK_ESCAPE);
  EXPECT_FALSE(dlg.IsWindowVisible());
  dlg.DestroyWindow();
}

TEST_F(MediaKeyboard, SnapshotWithTheGeneratedPictures) {
  folder.reset();
  orvtest::ScopedWorkingFolder program(orvtest::BuildProgramFolder());
  random.values.clear();
  VexloSoftKeyDlg dlg(&target);
  dlg.SetPosition(0, 0);
  ShowModeless(dlg);
  const std::string dir = std::string(ORV_BINARY_DIR) + "/";
  EXPECT_TRUE(desk.SavePng(dlg.m_hWnd, dir + "media_keyboard.png"));
  ClickItem(dlg, IDC_SOFTKEY_CASE);
  EXPECT_TRUE(desk.SavePng(dlg.m_hWnd, dir + "media_keyboard_upper.png"));
  dlg.DestroyWindow();
}

}  // namespace
