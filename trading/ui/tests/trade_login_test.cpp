// The trade login dialog against the simulated trade service.
#include "trading/ui/trade_login.h"

#include <atomic>
#include <cstring>

#include "trading/trade_requests.h"
#include "trading/ui/tests/trade_window_test_support.h"

namespace {

using simtrade::TradeFault;
using trade_ui_test::IsLoggedIn;
using trade_ui_test::Utf8;

std::u16string Wide(const std::string& ascii) {
  std::u16string out;
  for (char c : ascii) out += static_cast<char16_t>(c);
  return out;
}

class TradeLogin : public trade_ui_test::TradeUiFixture {
 protected:
  void SetUp() override {
    TradeUiFixture::SetUp();
    session = CreateTradeSession();
    ASSERT_TRUE(main.CreateEx(0, nullptr, u"main", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1000, 700), nullptr, 0));
    desk->RunUntilIdle();
  }
  void TearDown() override {
    if (main.m_hWnd) main.DestroyWindow();
    DestroyTradeSession(session);
    TradeUiFixture::TearDown();
  }

  // The dialog is open and not waiting for a reply.
  static bool Idle(CTradeLogin& dlg) {
    CWnd* code = dlg.m_hWnd ? dlg.GetDlgItem(CTradeLogin::kCodeButton) : nullptr;
    return code && code->IsWindowEnabled();
  }
  static WString Text(CTradeLogin& dlg, UINT id) { return dlg.GetDlgItem(id)->GetWindowText(); }
  static void Put(CTradeLogin& dlg, UINT id, const WCHAR* text) { dlg.GetDlgItem(id)->SetWindowText(text); }
  // Queues: wait for the code, fill the fields (the code from the service
  // unless given), press Enter.
  void FillAndEnter(CTradeLogin& dlg, const WCHAR* account, const WCHAR* password, const WCHAR* code = nullptr) {
    desk->Until([&] { return Idle(dlg); });
    desk->Then([=, &dlg, this] {
      Put(dlg, CTradeLogin::kAccountEdit, account);
      Put(dlg, CTradeLogin::kPasswordEdit, password);
      std::u16string typed = code ? std::u16string(code) : Wide(simtrade::TradeServiceCaptcha(service));
      Put(dlg, CTradeLogin::kCodeEdit, typed.c_str());
      dlg.GetDlgItem(CTradeLogin::kPasswordEdit)->SetFocus();
      desk->Key(VK_RETURN);
    });
  }

  TradeSession* session = nullptr;
  CWnd main;
};

TEST_F(TradeLogin, OpensAskingForACodeAndShowsIt) {
  CTradeLogin dlg(session, &main);
  std::vector<std::string> firstLog;
  simtrade::InjectTradeFault(service, "39", TradeFault::kDelay, 1, 300);
  desk->Until([&] { return dlg.m_hWnd != nullptr; });
  desk->Then([&] {
    EXPECT_EQ(Text(dlg, CTradeLogin::kStatusText), u"获取验证码......");
    EXPECT_FALSE(dlg.GetDlgItem(CTradeLogin::kCodeButton)->IsWindowEnabled());
    EXPECT_FALSE(dlg.GetDlgItem(CTradeLogin::kLoginButton)->IsWindowEnabled());
    EXPECT_TRUE(GetWindowLongPtrW(dlg.m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  });
  desk->Until([&] { return Idle(dlg); });
  desk->Then([&] {
    firstLog = LoggedCodes();
    EXPECT_EQ(Text(dlg, CTradeLogin::kCodeButton), Wide(simtrade::TradeServiceCaptcha(service)));
    EXPECT_TRUE(dlg.GetDlgItem(CTradeLogin::kLoginButton)->IsWindowEnabled());
    EXPECT_EQ(Text(dlg, CTradeLogin::kStatusText), u"");
    // The picture: the code on the button, the labels readable.
    EXPECT_TRUE(desk->SavePng(dlg.m_hWnd, trade_ui_test::SnapshotFolder() + "trade_login.png"));
    desk->Key(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(firstLog, std::vector<std::string>{"39"});
  EXPECT_EQ(simtrade::TradeServiceCaptcha(service).size(), 4u);
  EXPECT_TRUE(desk->Boxes().empty());
}

TEST_F(TradeLogin, EmptyFieldsAreRefusedInOrderWithNothingSent) {
  struct Case {
    const WCHAR* account;
    const WCHAR* password;
    const WCHAR* code;
    const WCHAR* message;
  };
  const Case cases[] = {
      {u"", u"135790", u"1234", u"请输入账号！"},
      {u"880001", u"", u"1234", u"请输入密码！"},
      {u"880001", u"135790", u"", u"请输入验证码！"},
      {u"", u"", u"", u"请输入账号！"},
  };
  CTradeLogin dlg(session, &main);
  for (const Case& c : cases) FillAndEnter(dlg, c.account, c.password, c.code);
  desk->Then([&] { desk->Key(VK_ESCAPE); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  ASSERT_EQ(desk->Boxes().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(desk->Boxes()[i].text, cases[i].message) << i;
    EXPECT_EQ(desk->Boxes()[i].caption, u"提示") << i;
  }
  EXPECT_EQ(LoggedCodes(), std::vector<std::string>{"39"});
  EXPECT_FALSE(IsLoggedIn(session));
}

TEST_F(TradeLogin, AGoodLoginWritesTheAccountFileAndEndsWithOk) {
  struct Case {
    bool remember;
    bool protect;
    std::string file;
  };
  const Case cases[] = {
      {true, true, ""},  // file filled in below with the service's address
      {false, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remember ? "remembered" : "not remembered");
    DestroyTradeSession(session);
    session = CreateTradeSession();
    CTradeLogin dlg(session, &main);
    WString statusWhileWaiting;
    int phaseWhileWaiting = -1;
    desk->Until([&] { return Idle(dlg); });
    desk->Then([&] {
      simtrade::InjectTradeFault(service, "07", TradeFault::kDelay, 1, 300);
      dlg.GetDlgItem(CTradeLogin::kAccountTypeList)->SendMessage(CB_SETCURSEL, 0);
      dlg.GetDlgItem(CTradeLogin::kRememberBox)->SendMessage(BM_SETCHECK, c.remember ? BST_CHECKED : BST_UNCHECKED);
      dlg.GetDlgItem(CTradeLogin::kMaskBox)->SendMessage(BM_SETCHECK, c.protect ? BST_CHECKED : BST_UNCHECKED);
    });
    FillAndEnter(dlg, u"880001", u"135790");
    desk->Then([&] {
      statusWhileWaiting = Text(dlg, CTradeLogin::kStatusText);
      phaseWhileWaiting = dlg.Phase();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(statusWhileWaiting, u"认证中.....");
    EXPECT_EQ(phaseWhileWaiting, 1);
    EXPECT_TRUE(IsLoggedIn(session));
    auto log = simtrade::TradeServiceLog(service);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back().code, "07");
    EXPECT_EQ(log.back().fields,
              (std::vector<std::string>{"0", "880001", "135790", "2", simtrade::TradeServiceCaptcha(service)}));
    const std::string address = simtrade::TradeServiceAddress(service);
    if (c.remember) {
      EXPECT_EQ(AccountFile(), "<TradeUrl>" + address +
                                   "</TradeUrl><Account>880001</Account><TradeType>0</TradeType>"
                                   "<TradeCompany></TradeCompany><TradeSale></TradeSale><TradeCode></TradeCode>"
                                   "<TradeSign>1</TradeSign><TradeProtection>1</TradeProtection>");
    } else {
      EXPECT_EQ(AccountFile(), "");
      EXPECT_STREQ(session->saved.tradeSign, "0");
    }
    EXPECT_TRUE(desk->Boxes().empty());
  }
}

TEST_F(TradeLogin, ServerRefusalsShowTheServersMessageAndASecondTrySucceeds) {
  CTradeLogin dlg(session, &main);
  WString codeAfterRefusal, shownCode;
  bool enabledAfterRefusal = false;
  FillAndEnter(dlg, u"880001", u"000000");  // wrong password
  desk->Until([&] { return Idle(dlg); });
  desk->Then([&] {
    shownCode = Text(dlg, CTradeLogin::kCodeButton);
    enabledAfterRefusal = dlg.GetDlgItem(CTradeLogin::kLoginButton)->IsWindowEnabled();
  });
  FillAndEnter(dlg, u"880001", u"135790", u"0000");  // wrong code
  desk->Until([&] { return Idle(dlg); });
  desk->Then([&] {
    codeAfterRefusal = Text(dlg, CTradeLogin::kCodeButton);
    EXPECT_FALSE(IsLoggedIn(session));
    // A new code, then the login goes through.
    desk->Click(dlg.GetDlgItem(CTradeLogin::kCodeButton)->m_hWnd, 5, 5);
  });
  desk->Until([&] { return Idle(dlg) && Text(dlg, CTradeLogin::kCodeButton) != codeAfterRefusal; });
  FillAndEnter(dlg, u"880001", u"135790");
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(BoxTexts(),
            (std::vector<std::u16string>{u"账号或密码错误", u"验证码错误"}));
  for (const auto& box : desk->Boxes()) EXPECT_EQ(box.caption, u"提示");
  EXPECT_TRUE(enabledAfterRefusal);
  EXPECT_EQ(codeAfterRefusal, shownCode);  // a refusal asks for no new code
  EXPECT_TRUE(IsLoggedIn(session));
  EXPECT_EQ(LoggedCodes(), (std::vector<std::string>{"39", "07", "07", "39", "07"}));
}

TEST_F(TradeLogin, FailuresLeaveTheDialogOpenWithBothButtonsEnabled) {
  enum Arm { kStopped, kNoAnswer, kEmptyBody, kCodeError, kNoAddress };
  struct Case {
    const char* name;
    Arm arm;
    const WCHAR* message;
    size_t requests;  // logged by the service
  };
  const Case cases[] = {
      {"service stopped", kStopped, u"网络连接失败！", 0},
      {"no answer", kNoAnswer, u"网络连接超时！", 1},
      {"empty body", kEmptyBody, u"网络连接失败！", 1},
      {"code request refused", kCodeError, u"会话已失效，请重新登录", 1},
      {"no PCTrade entry", kNoAddress, u"网络连接失败！", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    switch (c.arm) {
      case kStopped: simtrade::StopTradeService(service); service = nullptr; break;
      case kNoAnswer: simtrade::InjectTradeFault(service, "39", TradeFault::kNoAnswer); break;
      case kEmptyBody: simtrade::InjectTradeFault(service, "39", TradeFault::kEmptyBody); break;
      case kCodeError: simtrade::InjectTradeFault(service, "39", TradeFault::kSessionExpired); break;
      case kNoAddress: WriteServerList("<PCQuote>a|http://127.0.0.1:1|</PCQuote>"); break;
    }
    CTradeLogin dlg(session, &main);
    if (c.arm == kNoAnswer) {
      // The time-out runs on the desktop's clock.
      desk->Until([&] { return simtrade::TradeServiceLog(service).size() == 1; });
      desk->Then([&] { desk->Advance(1000); });
    }
    desk->Until([&] { return Idle(dlg); }, 8000);
    desk->Then([&] {
      EXPECT_TRUE(dlg.GetDlgItem(CTradeLogin::kLoginButton)->IsWindowEnabled());
      if (c.arm != kCodeError) return desk->Key(VK_ESCAPE);
      // A typed code goes with a refused code request.
      simtrade::InjectTradeFault(service, "39", TradeFault::kSessionExpired);
      Put(dlg, CTradeLogin::kCodeEdit, u"12");
      desk->Click(dlg.GetDlgItem(CTradeLogin::kCodeButton)->m_hWnd, 5, 5);
    });
    if (c.arm == kCodeError) {
      desk->Until([&] { return Idle(dlg); }, 8000);
      desk->Then([&] {
        EXPECT_EQ(Text(dlg, CTradeLogin::kCodeEdit), u"");
        EXPECT_EQ(Text(dlg, CTradeLogin::kCodeButton), u"获取");
        desk->Key(VK_ESCAPE);
      });
    }
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_FALSE(desk->StepsTimedOut());
    const size_t rounds = c.arm == kCodeError ? 2 : 1;
    ASSERT_EQ(desk->Boxes().size(), rounds);
    for (const auto& box : desk->Boxes()) {
      EXPECT_EQ(box.text, c.message);
      EXPECT_EQ(box.caption, u"提示");
    }
    if (service) {
      EXPECT_EQ(simtrade::TradeServiceLog(service).size(), c.requests * rounds);
    }
  }
}

TEST_F(TradeLogin, ACodeTooLongForARequestIsANetworkFailure) {
  // (The account and the password are cut to the session's fields; the
  // typed code goes into the request whole.)
  const std::u16string code(1200, u'8');
  CTradeLogin dlg(session, &main);
  FillAndEnter(dlg, u"880001", u"135790", code.c_str());
  desk->Until([&] { return Idle(dlg); });
  desk->Then([&] { desk->Key(VK_ESCAPE); });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(BoxTexts(), std::vector<std::u16string>{u"网络连接失败！"});
  EXPECT_EQ(LoggedCodes(), std::vector<std::string>{"39"});
  EXPECT_FALSE(IsLoggedIn(session));
}

TEST_F(TradeLogin, EscapeWhileTheLoginIsDelayedAbandonsIt) {
  CTradeLogin dlg(session, &main);
  desk->Until([&] { return Idle(dlg); });
  desk->Then([&] { simtrade::InjectTradeFault(service, "07", TradeFault::kDelay, 1, 400); });
  FillAndEnter(dlg, u"880001", u"135790");
  // The service has the login and holds its answer back.
  desk->Until([&] { return LoggedCodes().size() == 2; });
  desk->Then([&] {
    EXPECT_EQ(dlg.Inbox().InFlight(), 1u);
    desk->Key(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.Inbox().InFlight(), 0u);
  // A request sent after it and answered later than it: once its reply is
  // in, the late login reply has been sent too, and reached nobody.
  TradeSession* probe = CreateTradeSession();
  ASSERT_EQ(SetTradeAddress(probe, simtrade::TradeServiceAddress(service).c_str()), 1);
  simtrade::InjectTradeFault(service, "39", TradeFault::kDelay, 1, 700);
  static std::atomic<int> probeStatus;
  probeStatus = -1;
  ASSERT_GT(RequestTradeCaptcha(
                probe,
                [](void*, int status, TradeReply* reply) {
                  FreeTradeReply(reply);
                  probeStatus = status;
                },
                nullptr, 0, 4, 0),
            0);
  EXPECT_TRUE(desk->RunUntil([&] { return probeStatus.load() >= 0; }, 10000));
  desk->RunUntilIdle();
  DestroyTradeSession(probe);
  EXPECT_EQ(dlg.Inbox().Queued(), 0u);
  EXPECT_FALSE(IsLoggedIn(session));
  EXPECT_TRUE(desk->Boxes().empty());
  std::lock_guard<std::mutex> hold(session->lock);
  EXPECT_TRUE(session->pending.empty());
}

TEST_F(TradeLogin, TheSavedAccountIsRestored) {
  struct Case {
    const char* name;
    std::string file;  // "<none>": no file
    const WCHAR* account;
    int type;
    bool remembered;
    bool masked;
  };
  const std::string start = "<TradeUrl>http://x/t</TradeUrl><Account>123456</Account><TradeType>2</TradeType>"
                            "<TradeCompany></TradeCompany><TradeSale></TradeSale><TradeCode></TradeCode>";
  const Case cases[] = {
      {"remembered", start + "<TradeSign>1</TradeSign><TradeProtection>0</TradeProtection>", u"123456", 2, true,
       false},
      {"remembered and protected", start + "<TradeSign>1</TradeSign><TradeProtection>1</TradeProtection>",
       u"123456", 2, true, true},
      {"not remembered", start + "<TradeSign>0</TradeSign><TradeProtection>0</TradeProtection>", u"", 0, false,
       false},
      {"empty file", "", u"", 0, false, false},
      {"no file", "<none>", u"", 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.file == "<none>") DeleteDataFile("TradeUser.data");
    else WriteAccountFile(c.file);
    CTradeLogin dlg(session, &main);
    desk->Until([&] { return Idle(dlg); });
    desk->Then([&] {
      auto* account = static_cast<CEdit*>(dlg.GetDlgItem(CTradeLogin::kAccountEdit));
      EXPECT_EQ(account->GetWindowText(), c.account);
      EXPECT_EQ(dlg.GetDlgItem(CTradeLogin::kAccountTypeList)->SendMessage(CB_GETCURSEL), c.type);
      EXPECT_EQ(dlg.GetDlgItem(CTradeLogin::kRememberBox)->SendMessage(BM_GETCHECK),
                c.remembered ? BST_CHECKED : BST_UNCHECKED);
      WCHAR mask = static_cast<WCHAR>(account->SendMessage(EM_GETPASSWORDCHAR));
      if (c.masked) {
        EXPECT_NE(mask, 0);
        // Unchecking the box shows the account again.
        desk->Click(dlg.GetDlgItem(CTradeLogin::kMaskBox)->m_hWnd, 3, 3);
      } else {
        EXPECT_EQ(mask, 0);
      }
    });
    desk->Then([&] {
      if (c.masked) {
        EXPECT_EQ(dlg.GetDlgItem(CTradeLogin::kAccountEdit)->SendMessage(EM_GETPASSWORDCHAR), 0);
      }
      desk->Key(VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  }
}

TEST_F(TradeLogin, TheKeyboardEditsThePassword) {
  CTradeLogin dlg(session, &main);
  bool shown = false;
  desk->Until([&] { return Idle(dlg); });
  desk->Then([&] { desk->Click(dlg.GetDlgItem(CTradeLogin::kKeyboardButton)->m_hWnd, 2, 2); });
  desk->Then([&] {
    shown = dlg.Keyboard()->IsWindowVisible();
    dlg.SendMessage(WM_SOFTKEY_INPUT, kSoftKeyText, reinterpret_cast<LPARAM>(u"1"));
    dlg.SendMessage(WM_SOFTKEY_INPUT, kSoftKeyText, reinterpret_cast<LPARAM>(u"2"));
    EXPECT_EQ(Text(dlg, CTradeLogin::kPasswordEdit), u"12");
    dlg.SendMessage(WM_SOFTKEY_INPUT, kSoftKeyDelete, 0);
    EXPECT_EQ(Text(dlg, CTradeLogin::kPasswordEdit), u"1");
    dlg.SendMessage(WM_SOFTKEY_INPUT, kSoftKeyDelete, 0);
    dlg.SendMessage(WM_SOFTKEY_INPUT, kSoftKeyDelete, 0);  // nothing left to delete
    EXPECT_EQ(Text(dlg, CTradeLogin::kPasswordEdit), u"");
    // The keyboard lies over its button now: the second press comes as the
    // button's command.
    dlg.SendMessage(WM_COMMAND, CTradeLogin::kKeyboardButton, 0);
  });
  desk->Then([&] {
    EXPECT_FALSE(dlg.Keyboard()->IsWindowVisible());
    desk->Key(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(shown);
}

TEST(TradeLoginCaption, AtMostFourBytesOnACharacterBoundary) {
  struct Case {
    const char* captcha;
    std::u16string shown;
  };
  const Case cases[] = {
      {"4821", u"4821"},
      {"482199", u"4821"},
      {"", u""},
      {"12\xE4\xB8\xAD", u"12"},          // 中 would need bytes 3 to 5
      {"1\xE4\xB8\xAD" "9", u"1中"},      // 中 ends on byte 4
      {"\xE4\xB8\xAD\xE6\x96\x87", u"中"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8(TradeCaptchaCaption(c.captcha)), Utf8(c.shown)) << c.captcha;
  // Bytes that are no text at all still give at most four units.
  EXPECT_LE(TradeCaptchaCaption("\xFF\xFE\xFD\xFC\xFB\xFA").size(), 4u);
  EXPECT_EQ(TradeCaptchaCaption(nullptr), u"");
}

}  // namespace
