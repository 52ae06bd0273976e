// The login dialog on the test desktop against the simulated brokerage:
// the whole chain through the window (typed fields, the login button, the
// status line, IDOK), the check boxes, the restored fields, the geometry of
// the animation, strip and captcha window, and its snapshots.
#include "shell/tests/login_test_support.h"

#include <QImage>

#include <filesystem>

#include "foundation/board_config.h"
#include "foundation/config_store.h"
#include "foundation/user_folders.h"
#include "platform/window/win_desktop.h"
#include "platform/window/win_icons.h"
#include "shell/about_box.h"
#include "shell/login_dialog.h"
#include "quotes/quote_view.h"
#include "shell/main_frame.h"
#include "shell/main_frame_factory.h"
#include "shell/program_identity.h"
#include "tools/simbroker/http/sim_http_content.h"
#include "tools/simbroker/market_server.h"

using namespace shelltest;
using namespace login_ids;
using simhttp::SimHttpScenario;

namespace {

class TestApp : public CWinApp {};

// The dialog with its status line recorded in order.
class RecordingLoginDlg : public CLoginDlg {
 public:
  void ShowStatus(const WString& text) override {
    statuses.push_back(text);
    loginEnabled.push_back(m_hWnd && ::IsWindowEnabled(::GetDlgItem(m_hWnd, login_ids::kLogin)) != FALSE);
    CLoginDlg::ShowStatus(text);
  }
  std::vector<WString> statuses;
  std::vector<bool> loginEnabled;  // the login button as each status was shown
};

std::string SnapshotFolder() {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots/";
  std::filesystem::create_directories(folder);
  return folder;
}

class LoginDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folders.Ok());
    orvtest::UseProgramFonts();
    folders.WriteData("res\\boardconfig.json", "{}");
  }
  void TearDown() override {
    if (dlg.m_hWnd) dlg.DestroyWindow();
  }
  HWND Item(int id) const { return GetDlgItem(dlg.m_hWnd, id); }
  CRect ItemRect(int id) const {
    CRect r;
    ::GetWindowRect(Item(id), &r);
    ::ScreenToClient(dlg.m_hWnd, reinterpret_cast<POINT*>(&r.left));
    ::ScreenToClient(dlg.m_hWnd, reinterpret_cast<POINT*>(&r.right));
    return r;
  }
  bool LoginEnabled() const { return IsWindowEnabled(Item(kLogin)) != FALSE; }
  // Opens the dialog modeless (the tests that do not need its modal loop).
  void Open() {
    ASSERT_TRUE(dlg.Create(kTemplate, nullptr));
    desk.RunUntilIdle();
  }
  bool ServerListDone() {
    return desk.RunUntil([&] { return !dlg.Chain().Busy() && LoginEnabled(); }, 20000);
  }
  bool Checked(int id) const { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void ClickItem(int id) {
    const CRect r = ItemRect(id);
    desk.Click(dlg.m_hWnd, r.left + 5, r.CenterPoint().y);
  }

  BrokerageFolders folders;
  TestApp app;
  TestDesktop desk;
  RecordingLoginDlg dlg;
};

TEST_F(LoginDialogTest, WholeChainThroughTheWindowEndsWithOk) {
  desk.Until([&] {
    if (!dlg.m_hWnd) return false;
    return !dlg.Chain().Busy() && LoginEnabled() && dlg.CodeWindow().HasPicture();
  }, 20000);
  desk.Then([&] {
    EXPECT_EQ(dlg.statuses, (std::vector<WString>{u"获取服务器地址列表……", u"获取服务器地址列表成功", u"当前已是最新版本"}));
    EXPECT_TRUE(dlg.CodeWindow().IsWindowVisible());
    const CRect account = ItemRect(kAccount);
    desk.Click(dlg.m_hWnd, account.CenterPoint().x, account.CenterPoint().y);
  });
  desk.Then([&] { desk.Key('A', false, true); });  // the saved account is replaced
  desk.Then([&] { desk.Type(u"demo"); });
  desk.Then([&] {
    const CRect r = ItemRect(kPassword);
    desk.Click(dlg.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  });
  desk.Then([&] { desk.Type(u"demo123"); });
  desk.Then([&] {
    const CRect r = ItemRect(kCaptcha);
    desk.Click(dlg.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  });
  desk.Then([&] { desk.Type(u"1234"); });
  desk.Then([&] {
    const CRect r = ItemRect(kLogin);
    desk.Click(dlg.m_hWnd, r.CenterPoint().x, r.CenterPoint().y);
  });
  const INT_PTR result = dlg.DoModal();
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_EQ(result, IDOK);
  ASSERT_FALSE(dlg.loginEnabled.empty());
  EXPECT_FALSE(dlg.loginEnabled[0]) << "the login button is disabled while the server list is asked for";
  EXPECT_EQ(std::vector<WString>(dlg.statuses.begin() + 3, dlg.statuses.end()),
            (std::vector<WString>{u"认证中……", u"服务认证成功", u"登录成功", u"更新系统数据……", u"自选股同步……"}));
  const simhttp::SimAccount* demo = simhttp::FindSimAccount("demo");
  EXPECT_EQ(dlg.Results().userId, demo->userId);
  EXPECT_EQ(dlg.Results().sessionId, demo->sessionId);
  EXPECT_EQ(dlg.Results().accountTyped, u"demo");
  EXPECT_EQ(folders.Server().Requests("ialogin").at(0).body,
            "username=demo&password=demo123&randomCode=1234&clientversion=" + GetClientVersion());
  LoadConfig();
  EXPECT_STREQ(GetConfig("saveid"), "1") << "the seed's saveid checked 记住账号";
  EXPECT_STREQ(GetConfig("account"), "demo");
  EXPECT_STREQ(GetConfig("level"), "0");

  // The main window the start-up makes from the results, with its quote view
  // on the simulated brokerage's market data.
  simbroker::MarketDataServer market{simbroker::MarketServerOptions{}};
  ASSERT_TRUE(market.Start());
  CQuoteView::SetDefaultQuotePortForTesting(market.Port());
  CWnd* frame = CreateMainFrame(dlg.Results().userId.c_str(), dlg.Results().sessionId.c_str(),
                                dlg.Results().account.c_str(), dlg.Results().password.c_str(),
                                dlg.Results().accountTyped);
  CQuoteView::SetDefaultQuotePortForTesting(0);
  ASSERT_NE(frame, nullptr);
  auto* mainFrame = dynamic_cast<CMainFrame*>(frame);
  ASSERT_NE(mainFrame, nullptr);
  EXPECT_TRUE(desk.RunUntil([&] { return mainFrame->StatusBar().GetShanghaiText(1) != u""; }, 20000))
      << "the status bar shows the Shanghai index from the market data";
  EXPECT_EQ(FindWindowW(nullptr, kProgramTitle), frame->m_hWnd);
  EXPECT_EQ(frame->GetStyle() & WS_CAPTION, 0u);
  const QImage shot = desk.Snapshot(frame->m_hWnd);
  EXPECT_EQ(shot.width(), GetSystemMetrics(SM_CXSCREEN));
  // Saved as it is: a smooth scaling would run on Qt's worker threads.
  EXPECT_TRUE(shot.save(QString::fromStdString(SnapshotFolder() + "main_frame_after_login.png")));
  frame->DestroyWindow();
}

TEST_F(LoginDialogTest, CloseButtonEndsWithCancel) {
  desk.Until([&] { return dlg.m_hWnd && !dlg.Chain().Busy(); }, 20000);
  desk.Then([&] { ClickItem(kClose); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(LoginDialogTest, WindowTextGeometryAndSnapshots) {
  Open();
  EXPECT_EQ(dlg.GetWindowText(), kProgramTitle);
  EXPECT_TRUE(dlg.GetExStyle() & WS_EX_APPWINDOW);
  EXPECT_EQ(dlg.GetStyle() & WS_CAPTION, 0u);
  desk.SavePng(dlg.m_hWnd, SnapshotFolder() + "login_dialog_start.png");
  ASSERT_TRUE(ServerListDone());
  desk.RunUntil([&] { return dlg.CodeWindow().HasPicture(); }, 20000);
  desk.Advance(300);  // the animation draws the status line at its next tick
  desk.RunUntilIdle();

  CRect client;
  dlg.GetClientRect(&client);
  const int h = client.Height();
  CRect animation = ItemRect(kAnimation);
  EXPECT_EQ(animation, CRect(0, 0, client.Width(), h - h * 4 / 19));
  const CRect captcha = ItemRect(kCaptcha);
  CRect code;
  dlg.CodeWindow().GetWindowRect(&code);
  dlg.ScreenToClient(&code);
  EXPECT_EQ(code, CRect(captcha.right + 20, captcha.top, captcha.right + 80, captcha.bottom));
  EXPECT_FALSE(IsWindowVisible(Item(kPreferredSite)));

  // The lower strip is the light picture, the animation dark.
  const QImage shot = desk.Snapshot(dlg.m_hWnd);
  const QRgb strip = shot.pixel(4, h * 15 / 19 + 6);
  EXPECT_GT(qGray(strip), 180) << "the strip picture";
  const QRgb upper = shot.pixel(client.Width() / 2, 20);
  EXPECT_LT(qGray(upper), 90) << "the animation";
  // The links are blue on the strip.
  const CRect signUp = ItemRect(kSignUp);
  int blue = 0;
  for (int y = signUp.top; y < signUp.bottom; ++y)
    for (int x = signUp.left; x < signUp.right; ++x) {
      const QRgb p = shot.pixel(x, y);
      blue += qBlue(p) > 150 && qRed(p) < 90 && qGreen(p) < 90;
    }
  EXPECT_GT(blue, 5) << "注册 in blue";
  desk.SavePng(dlg.m_hWnd, SnapshotFolder() + "login_dialog_ready.png");
}

TEST_F(LoginDialogTest, RefusalTextOnTheStatusLine) {
  folders.Scenario([](SimHttpScenario& s) { s.iaLogin = simhttp::SimIaLogin::kRefuse; });
  Open();
  ASSERT_TRUE(ServerListDone());
  SetDlgItemTextW(dlg.m_hWnd, kAccount, u"demo");
  SetDlgItemTextW(dlg.m_hWnd, kPassword, u"demo123");
  SetDlgItemTextW(dlg.m_hWnd, kCaptcha, u"1234");
  ClickItem(kLogin);
  ASSERT_TRUE(desk.RunUntil([&] { return dlg.StatusText() == u"验证码错误" && !dlg.Chain().Busy(); }, 20000));
  EXPECT_TRUE(LoginEnabled());
  EXPECT_TRUE(desk.RunUntil([&] { return folders.Server().Requests("randomcode").size() == 2; }, 20000))
      << "a new captcha after the refusal";
  desk.RunUntil([&] { return dlg.CodeWindow().HasPicture() && dlg.CodeWindow().IsWindowVisible(); }, 20000);
  desk.Advance(300);
  desk.RunUntilIdle();
  desk.SavePng(dlg.m_hWnd, SnapshotFolder() + "login_dialog_refused.png");
}

TEST_F(LoginDialogTest, CheckBoxesAreCoupled) {
  Open();
  struct Case {
    const char* name;
    bool account, password;  // before
    int click;
    bool accountAfter, passwordAfter;
  } cases[] = {
      {"check password checks account", false, false, kRememberPassword, true, true},
      {"uncheck account unchecks password", true, true, kRememberAccount, false, false},
      {"check account alone", false, false, kRememberAccount, true, false},
      {"uncheck password alone", true, true, kRememberPassword, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SendMessageW(Item(kRememberAccount), BM_SETCHECK, c.account ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(Item(kRememberPassword), BM_SETCHECK, c.password ? BST_CHECKED : BST_UNCHECKED, 0);
    ClickItem(c.click);
    EXPECT_EQ(Checked(kRememberAccount), c.accountAfter);
    EXPECT_EQ(Checked(kRememberPassword), c.passwordAfter);
  }
}

TEST_F(LoginDialogTest, SavedFieldsAreRestored) {
  struct Case {
    const char* name;
    std::string config;
    bool account, password;
    WString accountText, passwordText;
  } cases[] = {
      {"both saved", "<saveid>1</saveid><account>张三</account><savepwd>1</savepwd><password>p&amp;w</password>", true,
       true, u"张三", u"p&w"},
      {"saveid without account", "<saveid>1</saveid><savepwd>0</savepwd><password>x</password>", true, false, u"",
       u""},
      {"nothing saved", "<saveid>0</saveid><account>demo</account>", false, false, u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folders.WriteData("res\\config.data", "<host>127.0.0.1</host>" + c.config);
    RecordingLoginDlg one;
    ASSERT_TRUE(one.Create(kTemplate, nullptr));
    desk.RunUntilIdle();
    EXPECT_EQ(SendMessageW(GetDlgItem(one.m_hWnd, kRememberAccount), BM_GETCHECK, 0, 0) == BST_CHECKED, c.account);
    EXPECT_EQ(SendMessageW(GetDlgItem(one.m_hWnd, kRememberPassword), BM_GETCHECK, 0, 0) == BST_CHECKED, c.password);
    EXPECT_EQ(GetWindowTextString(GetDlgItem(one.m_hWnd, kAccount)), c.accountText);
    EXPECT_EQ(GetWindowTextString(GetDlgItem(one.m_hWnd, kPassword)), c.passwordText);
    desk.RunUntil([&] { return !one.Chain().Busy(); }, 20000);
    one.DestroyWindow();
  }
}

TEST_F(LoginDialogTest, EmptyFieldsShowOnlyTheAccountPrompt) {
  Open();
  ASSERT_TRUE(ServerListDone());
  SetDlgItemTextW(dlg.m_hWnd, kAccount, u"");
  ClickItem(kLogin);
  ASSERT_EQ(desk.Boxes().size(), 1u);
  EXPECT_EQ(desk.Boxes()[0].text, u"请输入用户名");
  EXPECT_EQ(desk.Boxes()[0].caption, u"提示");
  EXPECT_TRUE(LoginEnabled());
  EXPECT_TRUE(folders.Server().Requests("ialogin").empty());
}

TEST_F(LoginDialogTest, LinksShowTheHandCursor) {
  Open();
  const CRect signUp = ItemRect(kSignUp);
  const CRect settings = ItemRect(kNetworkSettings);
  const CRect plain = ItemRect(kAccount);
  const int hand = static_cast<int>(reinterpret_cast<std::uintptr_t>(IDC_HAND));
  desk.MoveMouse(dlg.m_hWnd, plain.right + 8, plain.top - 6);
  EXPECT_NE(CursorShapeOf(GetCursor()), hand);
  for (const CRect& link : {signUp, settings}) {
    desk.MoveMouse(dlg.m_hWnd, link.CenterPoint().x, link.CenterPoint().y);
    EXPECT_EQ(CursorShapeOf(GetCursor()), hand);
  }
}

TEST(AboutBox, TitleVersionAndOk) {
  BrokerageFolders folders;
  ASSERT_TRUE(folders.Ok());
  orvtest::UseProgramFonts();
  TestApp app;
  TestDesktop desk;
  SetClientVersion("tq_winpc_tqx1_1.0.0.1_016");
  HWND box = nullptr;
  desk.Until([&] { return (box = FindWindowW(nullptr, AboutBoxCaption().c_str())) != nullptr; });
  desk.Then([&] {
    EXPECT_EQ(AboutBoxCaption(), WString(u"关于") + kProgramTitle);
    EXPECT_EQ(GetWindowTextString(GetDlgItem(box, 1001)), kProgramTitle);
    EXPECT_EQ(GetWindowTextString(GetDlgItem(box, 1002)), u"版本：tq_winpc_tqx1_1.0.0.1_016");
    EXPECT_EQ(GetWindowTextString(GetDlgItem(box, IDOK)), u"确定");
    for (int id : {1001, 1002, static_cast<int>(IDOK)}) EXPECT_TRUE(IsWindowVisible(GetDlgItem(box, id))) << id;
  });
  desk.Then([&] {
    desk.SavePng(box, SnapshotFolder() + "about_box.png");
    desk.Key(VK_RETURN);
  });
  ShowAboutBox(nullptr);
  EXPECT_FALSE(desk.StepsTimedOut());
  EXPECT_FALSE(IsWindow(box));
}

TEST(SignUpAddress, HostFromTheConfigurationOrTheBuiltInOne) {
  BrokerageFolders folders;
  ASSERT_TRUE(folders.Ok());
  EXPECT_EQ(SignUpAddress(), std::string("https://") + kSignUpHost + ":8088/gyam/goAddCustomerBytel.html");
  SetConfig("SignUpHost", "reg.example.com");
  EXPECT_EQ(SignUpAddress(), "https://reg.example.com:8088/gyam/goAddCustomerBytel.html");
}

}  // namespace
