// Dialogs from templates (modal and modeless, keyboard, data exchange) and
// the real message box driven from a worker thread.
#include "platform/controls/tests/ctl_test_util.h"

#include "platform/kernel/kernel_thread.h"

#include <atomic>

namespace {

constexpr int kEdit = 1073, kCheck = 1069, kRadioA = 1070, kRadioB = 1071, kLabel = 1050;

const DialogTemplate kOptions = {
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
    0,
    20, 20, 195, 90,
    u"通讯设置",
    8,
    u"MS Shell Dlg",
    {
        {kLabel, WC_STATIC, u"地址：", WS_VISIBLE | SS_LEFT, 7, 9, 40, 10},
        {kEdit, WC_EDIT, u"", WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 50, 7, 100, 14},
        {kCheck, WC_BUTTON, u"使用代理", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 7, 26, 80, 10},
        {kRadioA, WC_BUTTON, u"SOCKS4", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 7, 40, 60, 10},
        {kRadioB, WC_BUTTON, u"SOCKS5", WS_VISIBLE | BS_AUTORADIOBUTTON, 70, 40, 60, 10},
        {IDOK, WC_BUTTON, u"确定", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 80, 68, 50, 14},
        {IDCANCEL, WC_BUTTON, u"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 138, 68, 50, 14},
    },
};

class OptionsDlg : public CDialog {
 public:
  explicit OptionsDlg(CWnd* parent) : CDialog(&kOptions, parent) {}
  WString address = u"127.0.0.1";
  int proxy = 0;
  int kind = 0;
  int inits = 0;
  std::vector<UINT> activations;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kEdit, address);
    DDX_Check(dx, kCheck, proxy);
    DDX_Radio(dx, kRadioA, kind);
  }
  BOOL OnInitDialog() override {
    ++inits;
    return CDialog::OnInitDialog();
  }
  void OnActivate(UINT state, CWnd* other, BOOL minimized) override {
    activations.push_back(state);
    CDialog::OnActivate(state, other, minimized);
  }
};

class CtlDialogTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Parent owner;
  void SetUp() override {
    ASSERT_TRUE(owner.Make(600, 400));
  }
};

TEST_F(CtlDialogTest, DialogUnitsFollowTheFont) {
  HWND dlg = CreateDialogIndirectParamW(nullptr, &kOptions, owner.m_hWnd, nullptr, 0);
  ASSERT_TRUE(dlg);
  SIZE base = DialogBaseUnits(DialogTemplateFont(kOptions));
  RECT ok{};
  GetWindowRect(GetDlgItem(dlg, IDOK), &ok);
  EXPECT_EQ(ok.right - ok.left, 50 * base.cx / 4);
  EXPECT_EQ(ok.bottom - ok.top, 14 * base.cy / 8);
  RECT rc{0, 0, 195, 90};
  MapDialogRect(dlg, &rc);
  RECT client{};
  GetClientRect(dlg, &client);
  EXPECT_EQ(client.right, rc.right);
  EXPECT_EQ(client.bottom, rc.bottom);
  EXPECT_EQ(SendMessageW(GetDlgItem(dlg, kEdit), WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(DialogTemplateFont(kOptions)));
  DestroyWindow(dlg);
}

TEST_F(CtlDialogTest, DoModalWithTypingTabSpaceAndEnter) {
  OptionsDlg dlg(&owner);
  bool ownerDisabled = false;
  HWND focusAtStart = nullptr;
  desk.Until([&] { return dlg.m_hWnd != nullptr; });
  desk.Then([&] {
    ownerDisabled = !IsWindowEnabled(owner.m_hWnd);
    focusAtStart = GetFocus();
  });
  // One key per step: each goes to the focus of its moment.
  // The edit has the focus with its text selected: typing replaces it.
  for (UINT vk : {UINT('1'), UINT('0'),
                  VK_TAB,      // to the check box
                  VK_SPACE,    // checks it
                  VK_TAB,      // to the radio group (its checked button)
                  VK_DOWN,     // arrows move and check within the group
                  VK_RETURN})  // the default button
    desk.Then([&, vk] { desk.Key(vk); });
  INT_PTR r = dlg.DoModal();
  EXPECT_EQ(r, IDOK);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner.m_hWnd));
  EXPECT_EQ(dlg.inits, 1);
  EXPECT_EQ(dlg.address, u"10");
  EXPECT_EQ(dlg.proxy, 1);
  EXPECT_EQ(dlg.kind, 1);
  EXPECT_NE(std::find(dlg.activations.begin(), dlg.activations.end(), WA_ACTIVE), dlg.activations.end());
  EXPECT_FALSE(IsWindow(dlg.m_hWnd));
  (void)focusAtStart;
}

TEST_F(CtlDialogTest, EscapeCancelsAndShiftTabGoesBack) {
  OptionsDlg dlg(&owner);
  int afterShiftTab = 0;
  desk.Until([&] { return dlg.m_hWnd != nullptr; });
  desk.Then([&] { desk.Key(VK_TAB, true); });
  desk.Then([&] {
    afterShiftTab = GetDlgCtrlID(GetFocus());
    desk.Key('9');
  });
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(afterShiftTab, IDCANCEL);  // from the first stop back to the last
  EXPECT_EQ(dlg.address, u"127.0.0.1");               // nothing saved on cancel
}

TEST_F(CtlDialogTest, ClickingTheCancelButtonAndModeless) {
  OptionsDlg dlg(&owner);
  desk.Until([&] { return dlg.m_hWnd != nullptr; });
  desk.Then([&] { desk.Click(::GetDlgItem(dlg.m_hWnd, IDCANCEL), 5, 5); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);

  // Modeless: keyboard handled by the ordinary loop through PreTranslateMessage.
  OptionsDlg modeless(&owner);
  ASSERT_TRUE(modeless.CreateIndirect(&kOptions, &owner));
  modeless.ShowWindow(SW_SHOW);
  desk.RunUntilIdle();
  EXPECT_TRUE(IsWindowEnabled(owner.m_hWnd));
  ::SetFocus(::GetDlgItem(modeless.m_hWnd, kEdit));
  desk.Key(VK_TAB);
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), kCheck);
  desk.Key(VK_RETURN);
  EXPECT_TRUE(IsDialogEnded(modeless.m_hWnd));
  EXPECT_FALSE(modeless.IsWindowVisible());
  modeless.DestroyWindow();
}

TEST_F(CtlDialogTest, RealMessageBoxFromAWorkerThread) {
  desk.ShowRealBoxes(true);  // the real box instead of the desktop's record
  std::atomic<int> answer{0};
  std::atomic<bool> finished{false};
  HWND box = nullptr;
  WString shown;
  desk.Until([&] {
    box = FindWindowW(nullptr, u"提示");
    return box != nullptr && IsWindowVisible(box);
  });
  desk.Then([&] {
    shown = GetWindowTextString(GetDlgItem(box, 0xFFFF));
    desk.Click(GetDlgItem(box, IDNO), 5, 5);
  });
  Thread worker;
  ASSERT_TRUE(worker.Start([&] {
    answer = MessageBoxW(nullptr, u"委托已提交，是否继续？", u"提示", MB_YESNO | MB_ICONQUESTION);
    finished = true;
  }));
  EXPECT_TRUE(desk.RunUntil([&] { return finished.load(); }, 10000));
  worker.Join();
  EXPECT_EQ(answer.load(), IDNO);
  EXPECT_EQ(shown, u"委托已提交，是否继续？");
  EXPECT_FALSE(IsWindow(box));

  // OK-only box on the UI thread: Enter answers IDOK, Esc as well.
  desk.Until([&] { return FindWindowW(nullptr, u"升级提示") != nullptr; });
  desk.Then([&] { desk.Key(VK_ESCAPE); });
  EXPECT_EQ(MessageBoxW(owner.m_hWnd, u"文件下载失败", u"升级提示", MB_OK), IDOK);
}

TEST_F(CtlDialogTest, ActivationCodesAreToldApart) {
  OptionsDlg dlg(&owner);
  ASSERT_TRUE(dlg.CreateIndirect(&kOptions, &owner));
  dlg.ShowWindow(SW_SHOW);
  ::SetActiveWindow(dlg.m_hWnd);
  desk.RunUntilIdle();
  dlg.activations.clear();
  ::SetActiveWindow(owner.m_hWnd);
  desk.Click(dlg.m_hWnd, 2, 2);  // a click on the dialog itself
  ::SetActiveWindow(owner.m_hWnd);
  ::SetActiveWindow(dlg.m_hWnd);  // the program's activation
  EXPECT_EQ(dlg.activations, (std::vector<UINT>{WA_INACTIVE, WA_CLICKACTIVE, WA_INACTIVE, WA_ACTIVE}));
  dlg.DestroyWindow();
}

}  // namespace

namespace {

TEST(DialogTemplates, KeptPerResourceModule) {
  static const DialogTemplate programOwn{}, programShared{}, moduleOwn{};
  HINSTANCE module = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7A10});
  RegisterDialogTemplate(9101, &programShared);
  RegisterDialogTemplate(9102, &programOwn);
  {
    ResourceModuleScope scope(module);
    EXPECT_EQ(GetResourceModule(), module);
    RegisterDialogTemplate(9101, &moduleOwn);
  }
  EXPECT_EQ(GetResourceModule(), nullptr);
  struct Case {
    const char* name;
    HINSTANCE current;
    int id;
    const DialogTemplate* found;
  };
  const Case cases[] = {
      {"program, id of both", nullptr, 9101, &programShared},
      {"module, id of both", module, 9101, &moduleOwn},
      {"module, program's id", module, 9102, &programOwn},
      {"no such id", module, 9103, nullptr},
  };
  for (const Case& c : cases) {
    ResourceModuleScope scope(c.current);
    EXPECT_EQ(FindDialogTemplate(c.id), c.found) << c.name;
  }
  ForgetDialogTemplates(module);
  ResourceModuleScope scope(module);
  EXPECT_EQ(FindDialogTemplate(9101), &programShared);
}

}  // namespace
