// The sign-up and change-password dialogs on the test desktop with the fake
// host: the host-made controls, the checks on OK, the key filter, the
// details toggle and the whole link-request-answer flow.
#include "addin/plugin/account_dialogs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "addin/testhost/fake_host.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_desktop.h"

namespace {

using Strings = std::vector<std::string>;

// Every random number is 3: the code is "33333"; Seed calls count codes.
class ThreesRandom : public PictureCodeRandom {
 public:
  std::time_t Now() override { return 5000; }
  void Seed(unsigned) override { ++codes; }
  int Next() override { return 3; }
  int codes = 0;
};

std::string SnapshotDir() {
  std::string dir = std::string(ORV_BINARY_DIR) + "/snapshots/addin";
  std::filesystem::create_directories(dir);
  return dir;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAccountDialogTemplates();
    services.Attach(&port);
  }
  int Focus() const { return ::GetDlgCtrlID(::GetFocus()); }
  void Text(HWND dialog, int id, const char16_t* text) { ::SetDlgItemTextW(dialog, id, text); }
  WString TextOf(HWND dialog, int id) const { return ::GetWindowTextString(::GetDlgItem(dialog, id)); }
  void Command(HWND dialog, int id) {
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    desk.RunUntilIdle();
  }
  // Delivers the host's due answers and runs the queue.
  void Answer() {
    port.DeliverDue();
    desk.RunUntilIdle();
  }
  Strings Boxes() const {
    Strings texts;
    for (const FakeGui::Box& box : port.gui.boxes) texts.push_back(box.text);
    return texts;
  }

  TestDesktop desk;
  FakePort port;
  HostServiceSet services;
  ThreesRandom random;
};

class SignUp : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    Open();
  }
  // A new dialog, with the host's records of the last one cleared.
  void Open() {
    dialog.reset();
    port.gui.boxes.clear();
    port.comm.jobs.clear();
    port.busy = 0;
    dialog = std::make_unique<RegisterDialog>(services, nullptr, &random);
    ASSERT_TRUE(dialog->Create(IDD_REGISTER, nullptr));
    dialog->ShowWindow(SW_SHOW);
    desk.RunUntilIdle();
    hwnd = dialog->m_hWnd;
  }
  void FillValid() {
    Text(hwnd, register_ids::kUserName, u"wangwu");
    Text(hwnd, register_ids::kPassword, u"secret1");
    Text(hwnd, register_ids::kConfirm, u"secret1");
    Text(hwnd, register_ids::kPersonalName, u"王小五");
    Text(hwnd, register_ids::kMobile, u"13800138000");
    Text(hwnd, register_ids::kEmail, u"wang@example.com");
    Text(hwnd, register_ids::kCode, u"33333");
  }
  void ToggleDetails() {
    HWND box = ::GetDlgItem(hwnd, register_ids::kDetails);
    ::SendMessageW(box, BM_SETCHECK, ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    Command(hwnd, register_ids::kDetails);
  }
  RECT WindowRectOf(HWND window) const {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
  }

  std::unique_ptr<RegisterDialog> dialog;
  HWND hwnd = nullptr;
};

TEST_F(SignUp, PlaceholdersBecomeHostControlsInPlace) {
  // 2 password edits, 6 captions and 12 hints.
  EXPECT_EQ(port.createdControls, 20);
  struct Expected {
    int id;
    const char16_t* className;
    int previousId;  // the control before it in the window order
  };
  const Expected cases[] = {{register_ids::kPassword, u"Edit", 5023}, {register_ids::kConfirm, u"Edit", 5024},
                            {5022, u"Static", 5027},                  {5058, u"Static", register_ids::kUserName},
                            {5048, u"Static", register_ids::kMobile}, {5070, u"Static", register_ids::kFax}};
  for (const Expected& c : cases) {
    HWND control = ::GetDlgItem(hwnd, c.id);
    ASSERT_NE(control, nullptr) << c.id;
    EXPECT_EQ(::GetDlgCtrlID(::GetWindow(control, GW_HWNDPREV)), c.previousId) << c.id;
  }
  // The password edits keep the placeholder's style; the captions their text.
  EXPECT_NE(::GetWindowLongPtrW(::GetDlgItem(hwnd, register_ids::kPassword), GWL_STYLE) & ES_PASSWORD, 0);
  EXPECT_EQ(TextOf(hwnd, 5023), u"用户密码:");
  EXPECT_EQ(TextOf(hwnd, 5058), u"请输入4-32个字符的用户名。");
  EXPECT_EQ(TextOf(hwnd, 5062), u"移动电话和电子邮箱任填一项即可，也可同时填写，邮箱格式：someone@example.com");
  // The 20 password characters the host control takes.
  Text(hwnd, register_ids::kPassword, u"123456789012345678901");
  EXPECT_EQ(TextOf(hwnd, register_ids::kPassword).size(), 21u);  // WM_SETTEXT is not limited
  ::SetFocus(::GetDlgItem(hwnd, register_ids::kPassword));
  Text(hwnd, register_ids::kPassword, u"");
  desk.Type(u"123456789012345678901");
  EXPECT_EQ(TextOf(hwnd, register_ids::kPassword), u"12345678901234567890");
  EXPECT_EQ(random.codes, 1);

  dialog->DestroyWindow();
  dialog.reset();
  EXPECT_EQ(port.destroyedControls, 20);
}

TEST_F(SignUp, SnapshotsWithDetailsHiddenAndShown) {
  FillValid();
  desk.RunUntilIdle();
  ASSERT_TRUE(desk.SavePng(hwnd, SnapshotDir() + "/sign_up.png"));
  ToggleDetails();
  desk.RunUntilIdle();
  ASSERT_TRUE(desk.SavePng(hwnd, SnapshotDir() + "/sign_up_details.png"));
}

TEST_F(SignUp, OkChecks) {
  struct Case {
    const char* name;
    int field;
    const char16_t* text;
    const char* box;  // null: no box
    int focus;
    bool sent;
  };
  const Case cases[] = {
      {"empty user name", register_ids::kUserName, u"", nullptr, register_ids::kUserName, false},
      {"short user name", register_ids::kUserName, u"abc", "您的输入的用户名不能小与 4 位！", register_ids::kUserName, false},
      {"empty password", register_ids::kPassword, u"", nullptr, register_ids::kPassword, false},
      {"short password", register_ids::kPassword, u"12345", "对不起，您的密码不能小与 6 位！", register_ids::kPassword,
       false},
      {"empty confirmation", register_ids::kConfirm, u"", nullptr, register_ids::kConfirm, false},
      {"other confirmation", register_ids::kConfirm, u"secret2", "您两次输入的密码不一致，请重新输入！",
       register_ids::kConfirm, false},
      {"empty personal name", register_ids::kPersonalName, u"", nullptr, register_ids::kPersonalName, false},
      {"short personal name", register_ids::kPersonalName, u"abc", "您的输入的用户名不能小与 4 位！",
       register_ids::kPersonalName, false},
      {"ten-digit mobile", register_ids::kMobile, u"1380013800", "请输入11位完整手机号", register_ids::kMobile, false},
      {"bad e-mail", register_ids::kEmail, u"a.b@c",
       "您输入的电子邮件格式不正确，请按照类似 \"someone@example.com\" 的格式输入！", register_ids::kEmail, false},
      {"full stop right after the at sign", register_ids::kEmail, u"a@.b", nullptr, -1, true},
      {"at sign and full stop only", register_ids::kEmail, u"@.", nullptr, -1, true},
      {"no mobile, e-mail given", register_ids::kMobile, u"", nullptr, -1, true},
      {"wrong code", register_ids::kCode, u"33334", nullptr, register_ids::kCode, false},
  };
  for (const Case& c : cases) {
    Open();
    FillValid();
    Text(hwnd, c.field, c.text);
    int codesBefore = random.codes;
    Command(hwnd, register_ids::kOk);
    EXPECT_EQ(Boxes(), c.box != nullptr ? Strings{c.box} : Strings{}) << c.name;
    for (const FakeGui::Box& box : port.gui.boxes) {
      EXPECT_EQ(box.caption, "提示") << c.name;
      EXPECT_EQ(box.flags, 48u) << c.name;
    }
    if (c.focus >= 0) {
      EXPECT_EQ(Focus(), c.focus) << c.name;
    }
    EXPECT_EQ(port.comm.jobs.size(), c.sent ? 1u : 0u) << c.name;
    EXPECT_EQ(port.busy, c.sent ? 1 : 0) << c.name;
    EXPECT_EQ(random.codes - codesBefore, c.field == register_ids::kCode ? 1 : 0) << c.name;
    if (c.field == register_ids::kConfirm || c.field == register_ids::kCode) {
      EXPECT_EQ(TextOf(hwnd, c.field), c.box != nullptr || c.field == register_ids::kCode ? u"" : c.text) << c.name;
    }
  }
}

TEST_F(SignUp, MobileAndEmailBothEmpty) {
  FillValid();
  Text(hwnd, register_ids::kMobile, u"");
  Text(hwnd, register_ids::kEmail, u"");
  Command(hwnd, register_ids::kOk);
  EXPECT_EQ(Boxes(), Strings{"请至少填写移动电话或者电子邮箱中心的一项！"});
  EXPECT_EQ(Focus(), register_ids::kMobile);
}

TEST_F(SignUp, KeyFilterOfTheTelephoneFields) {
  ToggleDetails();
  for (int id : {register_ids::kOfficePhone, register_ids::kHomePhone, register_ids::kFax}) {
    HWND edit = ::GetDlgItem(hwnd, id);
    ::SetFocus(edit);
    desk.Key('1');
    desk.Key('8', /*shift=*/true);  // "*": dropped
    desk.Key(186);                   // ";"
    desk.Key(189);                   // "-"
    desk.Key('2');
    desk.Key('A');                   // dropped
    desk.Key(VK_LEFT);               // dropped: the caret stays at the end
    desk.Key('3');
    EXPECT_EQ(TextOf(hwnd, id), u"1;-23") << id;
    ::SendMessageW(edit, EM_SETSEL, 0, 0);
    desk.Key(VK_DELETE);             // dropped
    EXPECT_EQ(TextOf(hwnd, id), u"1;-23") << id;
    desk.Key(VK_BACK);               // passes (nothing before the caret)
    EXPECT_EQ(TextOf(hwnd, id), u"1;-23") << id;
  }
  // Other fields are not filtered.
  ::SetFocus(::GetDlgItem(hwnd, register_ids::kAddress));
  desk.Key('A');
  EXPECT_EQ(TextOf(hwnd, register_ids::kAddress), u"a");
}

TEST_F(SignUp, DetailsToggleMovesTheBottomBy310) {
  RECT window = WindowRectOf(hwnd);
  RECT ok = WindowRectOf(::GetDlgItem(hwnd, register_ids::kOk));
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(hwnd, register_ids::kOfficePhone)));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, register_ids::kOfficePhone)));
  ToggleDetails();
  RECT shown = WindowRectOf(hwnd);
  EXPECT_EQ(shown.bottom - shown.top, window.bottom - window.top + kDetailsHeight);
  RECT okShown = WindowRectOf(::GetDlgItem(hwnd, register_ids::kOk));
  EXPECT_EQ((okShown.top - shown.top) - (ok.top - window.top), kDetailsHeight);
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(hwnd, register_ids::kOfficePhone)));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, register_ids::kEducation)));
  ToggleDetails();
  RECT again = WindowRectOf(hwnd);
  EXPECT_EQ(again.bottom - again.top, window.bottom - window.top);
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(hwnd, 5035)));
}

TEST_F(SignUp, FlowFromOkToTheRegisteredAnswer) {
  FillValid();
  Text(hwnd, register_ids::kEmail, u"");
  ToggleDetails();
  ::SendDlgItemMessageW(hwnd, register_ids::kDocumentType, CB_SETCURSEL, 5, 0);  // 外国护照
  Text(hwnd, register_ids::kDocumentNumber, u"E1234567");
  Text(hwnd, register_ids::kAddress, u"上海市");
  Command(hwnd, register_ids::kOk);
  EXPECT_EQ(port.busy, 1);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, register_ids::kOk)));
  ASSERT_EQ(port.comm.jobs.size(), 1u);
  EXPECT_EQ(port.comm.jobs[0]->calls.back(), "Release");

  Answer();  // 1234: the link is up
  FakeClient* client = port.connectionClient;
  ASSERT_EQ(client->createdJobs.size(), 1u);
  EXPECT_EQ(client->createdJobs[0]->calls,
            (Strings{"SetRequestMode(1)", "SetFunction(4230)", "SetField(802,1,0)", "SetField(801,王小五,0)",
                     "SetField(4230,wangwu,0)", "SetField(803,secret1,1)", "SetFieldNumber(4231,6)",
                     "SetField(4224,E1234567,0)", "SetFieldNumber(862,-1)", "SetField(4232,,0)", "SetField(4233,,0)",
                     "SetField(4234,上海市,0)", "SetField(4235,,0)", "SetField(4236,,0)", "SetField(4237,,0)",
                     "SetField(860,13800138000,0)", "SetField(863,,0)", "SetFieldNumber(4238,3)",
                     "Submit(dlg,6024,4280,0)"}));
  EXPECT_EQ(port.busyChanges, (std::vector<int>{1, 0, 1}));

  Answer();  // 4280: registered
  ASSERT_EQ(port.gui.boxes.size(), 1u);
  EXPECT_EQ(port.gui.boxes[0].text,
            "注册成功！您注册的用户名是：wangwu，请在“登录方式”中选择“用户帐号”进行登录。");
  EXPECT_EQ(port.gui.boxes[0].caption, "注册成功");
  EXPECT_EQ(port.gui.boxes[0].flags, 64u);
  EXPECT_EQ(client->disconnects, 1);
  EXPECT_EQ(client->releases, client->references);
  EXPECT_EQ(port.busy, 0);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, register_ids::kOk)));
  EXPECT_TRUE(IsDialogEnded(hwnd));
}

TEST_F(SignUp, GenderAndEducationChoices) {
  FillValid();
  ToggleDetails();
  ::SendDlgItemMessageW(hwnd, register_ids::kFemale, BM_SETCHECK, BST_CHECKED, 0);
  ::SendDlgItemMessageW(hwnd, register_ids::kEducation, CB_SETCURSEL, 0, 0);  // 博士
  Command(hwnd, register_ids::kOk);
  Answer();
  const CallLog& calls = port.connectionClient->createdJobs.at(0)->calls;
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SetFieldNumber(862,0)"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SetFieldNumber(4238,1)"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SetFieldNumber(4231,1)"), calls.end());
}

TEST_F(SignUp, UnknownJobAndErrorAnswerLetTheUserTryAgain) {
  FillValid();
  port.connectAnswer.noJob = true;
  Command(hwnd, register_ids::kOk);
  Answer();
  EXPECT_EQ(Boxes(), Strings{"未知错误"});
  EXPECT_EQ(port.gui.boxes[0].caption, "错误");
  EXPECT_EQ(port.gui.boxes[0].flags, 16u);
  EXPECT_EQ(random.codes, 2);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, register_ids::kOk)));
  EXPECT_EQ(port.busy, 0);

  port.connectAnswer.noJob = false;
  port.connectAnswer.errorKind = 3;
  port.connectAnswer.errorText = "连接服务器失败";
  Text(hwnd, register_ids::kCode, u"33333");
  Command(hwnd, register_ids::kOk);
  Answer();
  EXPECT_EQ(Boxes(), (Strings{"未知错误", "连接服务器失败"}));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, register_ids::kOk)));
  EXPECT_FALSE(IsDialogEnded(hwnd));

  port.connectAnswer.errorKind = 0;
  Command(hwnd, register_ids::kOk);
  EXPECT_EQ(port.comm.jobs.size(), 3u);
}

TEST_F(SignUp, AnswersAfterTheDialogClosedAreHarmless) {
  FillValid();
  Command(hwnd, register_ids::kOk);
  Answer();
  ASSERT_EQ(port.PendingCount(), 1);
  dialog->DestroyWindow();
  dialog.reset();
  Answer();  // the final answer's post finds no window
  EXPECT_TRUE(port.gui.boxes.empty());
  EXPECT_EQ(port.connectionClient->disconnects, 0);
  // A stray code and a handle of no job on a live dialog do nothing harmful.
  RegisterDialog other(services, nullptr, &random);
  ASSERT_TRUE(other.Create(IDD_REGISTER, nullptr));
  ::SendMessageW(other.m_hWnd, WM_ACCOUNT_JOB_NOTIFY, port.lastHandle, 999);
  EXPECT_TRUE(port.gui.boxes.empty());
  other.DestroyWindow();
}

TEST_F(SignUp, HostHookAnswersFirst) {
  port.hookedMessages[WM_COMMAND] = 77;
  FillValid();
  LRESULT result = ::SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(register_ids::kOk, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, register_ids::kOk)));
  EXPECT_EQ(result, 77);
  EXPECT_TRUE(port.comm.jobs.empty());  // the dialog never saw the click
  port.hookedMessages.clear();
  Command(hwnd, register_ids::kOk);
  EXPECT_EQ(port.comm.jobs.size(), 1u);
}

TEST_F(DialogTest, SignUpWithoutAPortKeepsItsOwnControls) {
  HostServiceSet none;
  RegisterDialog dialog(none, nullptr, &random);
  ASSERT_TRUE(dialog.Create(IDD_REGISTER, nullptr));
  HWND hwnd = dialog.m_hWnd;
  EXPECT_EQ(port.createdControls, 0);
  Text(hwnd, register_ids::kUserName, u"wangwu");
  Text(hwnd, register_ids::kPassword, u"secret1");
  Text(hwnd, register_ids::kConfirm, u"secret2");
  Text(hwnd, register_ids::kPersonalName, u"王小五");
  Command(hwnd, register_ids::kOk);
  EXPECT_EQ(TextOf(hwnd, register_ids::kConfirm), u"");  // the mismatch cleared the dialog's own edit
  dialog.DestroyWindow();
}

class ChangePassword : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    dialog = std::make_unique<ChangePasswordDialog>(services, nullptr, &random);
    ASSERT_TRUE(dialog->Create(IDD_CHANGE_PASSWORD, nullptr));
    dialog->ShowWindow(SW_SHOW);
    desk.RunUntilIdle();
    hwnd = dialog->m_hWnd;
  }
  void Fill(const char16_t* user, const char16_t* oldText, const char16_t* newText, const char16_t* confirm) {
    Text(hwnd, password_ids::kUserName, user);
    Text(hwnd, password_ids::kOld, oldText);
    Text(hwnd, password_ids::kNew, newText);
    Text(hwnd, password_ids::kConfirm, confirm);
    Text(hwnd, password_ids::kCode, u"33333");
  }
  std::unique_ptr<ChangePasswordDialog> dialog;
  HWND hwnd = nullptr;
};

TEST_F(ChangePassword, ChecksAndTheSameOldPassword) {
  EXPECT_EQ(port.createdControls, 3);
  ASSERT_TRUE(desk.SavePng(hwnd, SnapshotDir() + "/change_password.png"));

  Fill(u"", u"old111", u"new222", u"new222");
  Command(hwnd, IDOK);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Focus(), password_ids::kUserName);

  Fill(u"w", u"old111", u"new22", u"new22");
  Command(hwnd, IDOK);
  EXPECT_EQ(Boxes(), Strings{"对不起，您的新密码不能小与 6 位！"});
  EXPECT_EQ(Focus(), password_ids::kNew);

  Fill(u"w", u"old111", u"new222", u"new223");
  Command(hwnd, IDOK);
  EXPECT_EQ(Boxes().back(), "您两次输入的新密码不一致，请重新输入！");
  EXPECT_EQ(TextOf(hwnd, password_ids::kConfirm), u"");
  EXPECT_EQ(Focus(), password_ids::kConfirm);

  // A wrong code comes before the question, even when new equals old.
  Fill(u"w", u"same11", u"same11", u"same11");
  Text(hwnd, password_ids::kCode, u"00000");
  std::size_t boxes = port.gui.boxes.size();
  Command(hwnd, IDOK);
  EXPECT_EQ(port.gui.boxes.size(), boxes);
  EXPECT_EQ(random.codes, 2);
  EXPECT_EQ(Focus(), password_ids::kCode);
  EXPECT_TRUE(port.comm.jobs.empty());

  // The question answered No: both new fields emptied, nothing sent.
  Fill(u"w", u"same11", u"same11", u"same11");
  port.gui.answers = {IDNO};
  Command(hwnd, IDOK);
  EXPECT_EQ(Boxes().back(), "您修改的新密码同旧密码相同。是否继续？");
  EXPECT_EQ(port.gui.boxes.back().flags, 36u);
  EXPECT_EQ(TextOf(hwnd, password_ids::kNew), u"");
  EXPECT_EQ(TextOf(hwnd, password_ids::kConfirm), u"");
  EXPECT_EQ(TextOf(hwnd, password_ids::kOld), u"same11");
  EXPECT_EQ(Focus(), password_ids::kNew);
  EXPECT_TRUE(port.comm.jobs.empty());

  // Yes: the request goes out with a one-character user name.
  Fill(u"w", u"same11", u"same11", u"same11");
  port.gui.answers = {IDYES};
  Command(hwnd, IDOK);
  ASSERT_EQ(port.comm.jobs.size(), 1u);
  EXPECT_NE(std::find(port.comm.jobs[0]->calls.begin(), port.comm.jobs[0]->calls.end(), "SetUser(0,w,,)"),
            port.comm.jobs[0]->calls.end());
}

TEST_F(ChangePassword, FlowAndTheControlsLimit) {
  ::SetFocus(::GetDlgItem(hwnd, password_ids::kNew));
  desk.Type(u"123456789012345678901");
  EXPECT_EQ(TextOf(hwnd, password_ids::kNew), u"12345678901234567890");

  Fill(u"wangwu", u"old111", u"new222", u"new222");
  Command(hwnd, IDOK);
  Answer();
  ASSERT_EQ(port.connectionClient->createdJobs.size(), 1u);
  EXPECT_EQ(port.connectionClient->createdJobs[0]->calls,
            (Strings{"SetRequestMode(1)", "SetFunction(4230)", "SetField(802,2,0)", "SetField(803,old111,1)",
                     "SetField(804,new222,1)", "Submit(dlg,6024,4282,0)"}));
  Answer();
  EXPECT_EQ(Boxes(), Strings{"密码修改成功！请以新密码登录。"});
  EXPECT_EQ(port.gui.boxes[0].caption, "注册成功");
  EXPECT_EQ(port.gui.boxes[0].flags, 64u);
  EXPECT_EQ(port.connectionClient->disconnects, 1);
  EXPECT_TRUE(IsDialogEnded(hwnd));
  EXPECT_TRUE(port.busyChanges.empty());
}

}  // namespace
