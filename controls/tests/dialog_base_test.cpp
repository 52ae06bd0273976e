// The dialog base with its docked companion, and the connection-lost prompt
// run modally from template 152.
#include "controls/dialog_base.h"

#include "controls/tests/panels_test_util.h"
#include "controls/tests/resource_fixture.h"

#include <memory>

namespace {

using panels::Recorder;
using panels::Stepper;

constexpr UINT kTestTemplate = 9151;
const DialogTemplate kPage = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    0, 0, 200, 120,
    u"弹出公告",
    9,
    u"宋体",
    {{IDCANCEL, WC_BUTTON, u"关闭", WS_TABSTOP | BS_PUSHBUTTON, 140, 96, 50, 14}},
};

class PageDialog : public VexloDialog {
 public:
  explicit PageDialog(CWnd* parent) : VexloDialog(kTestTemplate, parent) {}
  int cancels = 0;
  void OnCancel() override {
    ++cancels;
    VexloDialog::OnCancel();
  }
};

class Companion : public CWnd {
 public:
  bool Make(int x, int y, int w, int h) {
    return CreateEx(0, nullptr, u"companion", WS_POPUP | WS_VISIBLE, CRect(x, y, x + w, y + h), nullptr, 0) !=
           FALSE;
  }
};

class VexloDialogTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Recorder owner;
  void SetUp() override {
    orvtest::UseProgramFonts();
    RegisterDialogTemplate(kTestTemplate, &kPage);
    ASSERT_TRUE(owner.Make(0, 0, 800, 600));
  }
};

TEST_F(VexloDialogTest, WithoutACompanionOnlyTheDefaultHandling) {
  PageDialog dlg(&owner);
  ASSERT_TRUE(dlg.Create(kTestTemplate, &owner));
  EXPECT_EQ(dlg.GetCompanion(), nullptr);
  CRect before;
  dlg.GetWindowRect(&before);
  dlg.DockCompanion();
  CRect after;
  dlg.GetWindowRect(&after);
  EXPECT_EQ(after, before);
  dlg.SendMessage(WM_CLOSE);
  EXPECT_EQ(dlg.cancels, 1) << "the default close cancels the dialog";
}

TEST_F(VexloDialogTest, TheCompanionDocksAtTheRightEdgeAndClosesWithTheDialog) {
  PageDialog dlg(&owner);
  ASSERT_TRUE(dlg.Create(kTestTemplate, &owner));
  Companion companion;
  ASSERT_TRUE(companion.Make(900, 700, 150, 80));
  dlg.SetCompanion(&companion);
  EXPECT_EQ(dlg.GetCompanion(), &companion);
  struct Case {
    CRect dialog;
  };
  for (const Case& c : {Case{CRect(100, 100, 400, 300)}, Case{CRect(250, 50, 700, 500)}}) {
    dlg.MoveWindow(&c.dialog);
    dlg.DockCompanion();
    CRect d, k;
    dlg.GetWindowRect(&d);
    companion.GetWindowRect(&k);
    EXPECT_EQ(k, CRect(d.right, d.top, d.right + 150, d.bottom));
  }
  dlg.SendMessage(WM_CLOSE);
  EXPECT_FALSE(::IsWindow(companion.m_hWnd));
  EXPECT_EQ(dlg.cancels, 1);
  EXPECT_EQ(dlg.GetCompanion(), nullptr);
}

TEST_F(VexloDialogTest, ACompanionThatDiedFirstIsLeftAlone) {
  PageDialog dlg(&owner);
  ASSERT_TRUE(dlg.Create(kTestTemplate, &owner));
  auto companion = std::make_unique<Companion>();
  ASSERT_TRUE(companion->Make(900, 700, 150, 80));
  dlg.SetCompanion(companion.get());
  companion.reset();  // the owner deletes its companion on its own
  EXPECT_EQ(dlg.GetCompanion(), nullptr);
  dlg.DockCompanion();
  dlg.SendMessage(WM_CLOSE);
  EXPECT_EQ(dlg.cancels, 1);

  Companion destroyed;
  ASSERT_TRUE(destroyed.Make(900, 700, 150, 80));
  PageDialog second(&owner);
  ASSERT_TRUE(second.Create(kTestTemplate, &owner));
  second.SetCompanion(&destroyed);
  destroyed.DestroyWindow();
  second.DockCompanion();
  second.SendMessage(WM_CLOSE);
  EXPECT_EQ(second.cancels, 1);
}

class MsgBoxDlgTest : public VexloDialogTest {
 protected:
  Stepper steps;
  void SetUp() override {
    VexloDialogTest::SetUp();
    ASSERT_TRUE(steps.Make());
  }
};

TEST_F(MsgBoxDlgTest, LaidOutFromTemplate152WithoutCaptionButtons) {
  CMsgBoxDlg dlg(&owner);
  const DialogTemplate* tmpl = FindDialogTemplate(152);
  ASSERT_NE(tmpl, nullptr);
  EXPECT_EQ(tmpl->cx, 195);
  EXPECT_EQ(tmpl->cy, 90);
  EXPECT_EQ(WString(tmpl->fontFace), u"MS Shell Dlg");
  EXPECT_EQ(tmpl->pointSize, 8);
  struct Item {
    int id;
    const char16_t* text;
    RECT units;
  };
  // Position and size in dialog units, each converted on its own as the
  // dialog does when it creates its controls.
  const Item items[] = {{1050, u"与服务器连接断开，是否重新连接？", {17, 14, 158, 34}},
                        {1049, u"重连", {5, 68, 50, 19}},
                        {1066, u"优选主站", {62, 68, 71, 19}},
                        {1052, u"取消", {145, 68, 50, 19}}};
  steps.Add([&] { return dlg.m_hWnd != nullptr && ::IsWindowVisible(dlg.m_hWnd); });
  steps.Then([&] {
    EXPECT_EQ(dlg.GetWindowText(), u"提示信息");
    EXPECT_EQ(dlg.GetStyle() & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_NE(dlg.GetStyle() & WS_CAPTION, 0u);
    for (const Item& item : items) {
      CWnd* control = dlg.GetDlgItem(item.id);
      ASSERT_NE(control, nullptr) << item.id;
      EXPECT_EQ(control->GetWindowText(), WString(item.text)) << item.id;
      EXPECT_TRUE(control->IsWindowVisible()) << item.id;
      CRect mapped = item.units;
      dlg.MapDialogRect(&mapped);
      CRect expected(mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom);
      CRect actual;
      control->GetWindowRect(&actual);
      dlg.ScreenToClient(&actual);
      EXPECT_EQ(actual, expected) << item.id;
    }
    ::SendMessageW(dlg.GetDlgItem(1052)->m_hWnd, BM_CLICK, 0, 0);
  });
  steps.Start();
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(MsgBoxDlgTest, EachButtonSetsItsResultAndEscSetsNone) {
  struct Case {
    const char* name;
    int button;  // 0: Esc
    int result;
  };
  const Case cases[] = {{"reconnect", 1049, 0}, {"best server", 1066, 1}, {"cancel", 1052, 2}, {"Esc", 0, 9}};
  for (const Case& c : cases) {
    CMsgBoxDlg dlg(&owner);
    dlg.m_result = 9;  // so that every write shows, and Esc is seen to write nothing
    steps.Add([&] { return dlg.m_hWnd != nullptr && ::IsWindowVisible(dlg.m_hWnd); });
    steps.Then([&] {
      if (c.button) {
        ::SendMessageW(dlg.GetDlgItem(c.button)->m_hWnd, BM_CLICK, 0, 0);
        return;
      }
      ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    steps.Start();
    EXPECT_EQ(dlg.DoModal(), IDCANCEL) << c.name;
    EXPECT_EQ(dlg.m_result, c.result) << c.name;
  }
  CMsgBoxDlg fresh(&owner);
  EXPECT_EQ(fresh.m_result, 2) << "cancel until a button says otherwise";
}

TEST_F(MsgBoxDlgTest, Snapshot) {
  // Shown modeless, so the ordinary queue paints it.
  CMsgBoxDlg dlg(&owner);
  ASSERT_TRUE(dlg.Create(CMsgBoxDlg::kTemplateId, &owner));
  dlg.ShowWindow(SW_SHOW);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(dlg.m_hWnd, panels::SnapshotPath("panels_msgbox.png")));
  dlg.DestroyWindow();
}

}  // namespace
