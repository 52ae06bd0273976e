// CRandomCodeWnd against the simulated brokerage's captcha service on
// 127.0.0.1: the picture shown stretched, the three failure boxes, the
// hidden window while a download runs, abandoned downloads (a second
// refresh, destruction), Refresh from other threads, and the hand cursor.
#include "skin_test_util.h"

#include "controls/captcha_window.h"
#include "foundation/http_request.h"
#include "foundation/system_http.h"
#include "foundation/transport_timing.h"
#include "foundation/user_folders.h"
#include "platform/kernel/kernel_files.h"
#include "tools/simbroker/http/sim_http_content.h"
#include "tools/simbroker/http/sim_http_services.h"

#include <QByteArray>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace skintest;

namespace {

constexpr COLORREF kStrip = RGB(236, 239, 244);
constexpr int kScale = 2;  // the window shows the picture at twice its size

class Strip : public CWnd {
 public:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, kStrip);
  }
};

class TestApp : public CWinApp {};

QImage CaptchaPicture(const std::string& digits) {
  const std::string png = simhttp::DrawCaptchaPng(digits);
  return QImage::fromData(QByteArray(png.data(), static_cast<int>(png.size())));
}

class MediaCaptcha : public ::testing::Test {
 protected:
  void SetUp() override {
    orvtest::UseProgramFonts();
    SetInstallFolderForTesting(temp.Path() + "program/");
    SetAppDataFolderForTesting(temp.Path() + "appdata/");
    InitAppFolders();
    ASSERT_FALSE(DataRoot().empty());
    simhttp::SimHttpOptions options;
    options.port = 0;
    options.holdMs = 60000;
    server = std::make_unique<simhttp::SimHttpServer>(options);
    ASSERT_EQ(server->Start(), 1);
    picture = CaptchaPicture("1234");
    ASSERT_FALSE(picture.isNull());
    ASSERT_TRUE(strip.CreateEx(0, nullptr, u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 420, 120), nullptr, 0));
    ASSERT_TRUE(wnd.Create(CRect(220, 20, 220 + kScale * picture.width(), 20 + kScale * picture.height()), &strip,
                           1080));
    wnd.SetUrl((server->BaseUrl() + "/randomcode").c_str());
    desk.RunUntilIdle();
  }
  void TearDown() override {
    if (wnd.m_hWnd) wnd.DestroyWindow();
    if (strip.m_hWnd) strip.DestroyWindow();
    server->Stop();
    EXPECT_TRUE(desk.RunUntil([] { return CountHttpRequestsForTesting() == 0; }, 20000));
    SetAppDataFolderForTesting("");
    SetInstallFolderForTesting("");
  }
  void Scenario(const std::function<void(simhttp::SimHttpScenario&)>& change) {
    simhttp::SimHttpScenario s = server->Scenario();
    change(s);
    server->SetScenario(s);
  }
  size_t Downloads() const { return server->Requests("randomcode").size(); }
  bool Shown() { return wnd.IsWindowVisible() != FALSE; }
  std::string CodeFile() const { return DataRoot() + "temp/code.jpeg"; }
  // The window shows `expected` stretched over it: each sampled picture
  // pixel matches the window's pixel at its stretched place.
  void ExpectShows(const QImage& expected) {
    QImage shot = desk.Snapshot(strip.m_hWnd);
    int dark = 0, light = 0;
    for (int y = 1; y < expected.height() - 1; y += 3)
      for (int x = 1; x < expected.width() - 1; x += 2) {
        const QRgb want = expected.pixel(x, y);
        const COLORREF got = PixelOf(shot, 220 + kScale * x, 20 + kScale * y);
        const bool isDark = qGray(want) < 100;
        if (isDark) ++dark;
        if (qGray(want) > 180) ++light;
        const int sum = GetRValue(got) + GetGValue(got) + GetBValue(got);
        if (isDark) {
          EXPECT_LT(sum, 3 * 120) << x << "," << y;
        }
        if (qGray(want) > 180) {
          EXPECT_GT(sum, 3 * 160) << x << "," << y;
        }
      }
    EXPECT_GT(dark, 5) << "the picture has strokes";
    EXPECT_GT(light, 50) << "and a light background";
  }

  TestApp app;
  TestDesktop desk;
  orvtest::TempFolder temp;
  std::unique_ptr<simhttp::SimHttpServer> server;
  QImage picture;
  Strip strip;
  CRandomCodeWnd wnd;
};

TEST_F(MediaCaptcha, AddressIsCutAt511Bytes) {
  const std::string exact(511, 'a'), longer(600, 'b');
  wnd.SetUrl(exact.c_str());
  EXPECT_EQ(std::string(wnd.Url()), exact);
  wnd.SetUrl(longer.c_str());
  EXPECT_EQ(std::string(wnd.Url()), longer.substr(0, 511));

  wnd.SetUrl("");
  wnd.Refresh();
  EXPECT_FALSE(Shown());
  desk.RunUntilIdle();
  EXPECT_EQ(Downloads(), 0u);
  EXPECT_EQ(wnd.CurrentRequest(), 0);
  EXPECT_TRUE(desk.Boxes().empty());
}

TEST_F(MediaCaptcha, ShowsTheServersPictureStretched) {
  wnd.Refresh();
  EXPECT_FALSE(Shown()) << "hidden until the reply";
  ASSERT_TRUE(desk.RunUntil([&] { return Shown(); }, 20000));
  EXPECT_TRUE(wnd.HasPicture());
  desk.RunUntilIdle();
  ExpectShows(picture);
  EXPECT_FALSE(std::filesystem::exists(CodeFile())) << "the temporary file is gone";
  EXPECT_TRUE(std::filesystem::is_directory(DataRoot() + "temp"));
  EXPECT_TRUE(desk.Boxes().empty());
  EXPECT_EQ(Downloads(), 1u);

  // A click fetches a new one.
  Scenario([](simhttp::SimHttpScenario& s) { s.captchaCode = "5678"; });
  desk.Click(wnd.m_hWnd, 5, 5);
  EXPECT_FALSE(Shown());
  ASSERT_TRUE(desk.RunUntil([&] { return Shown(); }, 20000));
  desk.RunUntilIdle();
  ExpectShows(CaptchaPicture("5678"));
  EXPECT_EQ(Downloads(), 2u);
}

TEST_F(MediaCaptcha, FailuresAreToldInBoxes) {
  const WString loadText = u"验证码加载失败,请刷新重试", loadCaption = u"验证码加载失败";
  const WString netText = u"验证码获取失败,请检查网络连接", netCaption = u"验证码获取失败";
  struct Case {
    const char* what;
    std::function<void()> arrange;
    WString text, caption;
  } cases[] = {
      {"an HTML body", [&] { Scenario([](auto& s) { s.captcha = simhttp::SimCaptcha::kNotImage; }); }, loadText,
       loadCaption},
      {"an empty body", [&] { Scenario([](auto& s) { s.status["randomcode"] = 200; }); }, loadText, loadCaption},
      {"status 500", [&] { Scenario([](auto& s) { s.status["randomcode"] = 500; }); }, netText, netCaption},
      {"a refused connection", [&] { server->SetSiteListening(0, false); }, netText, netCaption},
      {"not an http address", [&] { wnd.SetUrl("ftp://127.0.0.1/randomcode"); }, netText, netCaption},
      {"a data root that cannot take the file",
       [&] { std::filesystem::create_directories(CodeFile()); }, loadText, loadCaption},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Start from a shown picture, so a failure visibly releases it.
    server->SetSiteListening(0, true);
    server->SetScenario(simhttp::SimHttpScenario());
    wnd.SetUrl((server->BaseUrl() + "/randomcode").c_str());
    std::filesystem::remove_all(CodeFile());
    wnd.Refresh();
    ASSERT_TRUE(desk.RunUntil([&] { return Shown() && wnd.HasPicture(); }, 20000));
    desk.Boxes();
    const size_t before = desk.Boxes().size();

    c.arrange();
    wnd.Refresh();
    ASSERT_TRUE(desk.RunUntil([&] { return desk.Boxes().size() > before; }, 20000));
    desk.RunUntilIdle();
    ASSERT_EQ(desk.Boxes().size(), before + 1);
    const TestDesktop::Box& box = desk.Boxes().back();
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.caption, c.caption);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(Shown());
    if (c.text == loadText) {
      EXPECT_FALSE(wnd.HasPicture());
    }
  }
}

TEST_F(MediaCaptcha, SilentServiceTimesOut) {
  Scenario([](auto& s) { s.silent = {"randomcode"}; });
  wnd.Refresh();
  ASSERT_TRUE(desk.RunUntil([&] { return Downloads() == 1; }, 20000));
  desk.Advance(44000);
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.Boxes().empty());
  EXPECT_FALSE(Shown());
  desk.Advance(1001);
  ASSERT_TRUE(desk.RunUntil([&] { return !desk.Boxes().empty(); }, 20000));
  EXPECT_EQ(desk.Boxes()[0].text, u"验证码获取超时,请刷新重试");
  EXPECT_EQ(desk.Boxes()[0].caption, u"验证码获取超时");
  EXPECT_EQ(desk.Boxes()[0].owner, nullptr);
  EXPECT_TRUE(Shown());
  EXPECT_FALSE(wnd.HasPicture());
}

TEST_F(MediaCaptcha, OnlyTheLastDownloadShows) {
  server->Stop();
  simhttp::SimHttpOptions options;
  options.port = 0;
  options.holdMs = 800;  // the first reply comes late, after the second
  server = std::make_unique<simhttp::SimHttpServer>(options);
  ASSERT_EQ(server->Start(), 1);
  wnd.SetUrl((server->BaseUrl() + "/randomcode").c_str());
  Scenario([](auto& s) {
    s.silent = {"randomcode"};
    s.captchaCode = "1111";
  });
  desk.Click(wnd.m_hWnd, 5, 5);
  ASSERT_TRUE(desk.RunUntil([&] { return Downloads() == 1; }, 20000));
  const int first = wnd.CurrentRequest();
  Scenario([](auto& s) {
    s.silent.clear();
    s.captchaCode = "2222";
  });
  wnd.Refresh();
  EXPECT_NE(wnd.CurrentRequest(), first);
  ASSERT_TRUE(desk.RunUntil([&] { return Shown(); }, 20000));
  // Let the held first reply come and its worker end.
  ASSERT_TRUE(desk.RunUntil(
      [&] {
        auto log = server->Requests("randomcode");
        return log.size() == 2 && log[0].status != 0 && CountHttpRequestsForTesting() == 0;
      },
      20000));
  desk.RunUntilIdle();
  EXPECT_EQ(Downloads(), 2u);
  EXPECT_TRUE(desk.Boxes().empty());
  ExpectShows(CaptchaPicture("2222"));
}

TEST_F(MediaCaptcha, DestroyingAbandonsTheDownload) {
  server->Stop();
  simhttp::SimHttpOptions options;
  options.port = 0;
  options.holdMs = 500;
  server = std::make_unique<simhttp::SimHttpServer>(options);
  ASSERT_EQ(server->Start(), 1);
  Scenario([](auto& s) { s.silent = {"randomcode"}; });
  auto doomed = std::make_unique<CRandomCodeWnd>();
  ASSERT_TRUE(doomed->Create(CRect(0, 0, 100, 30), &strip, 1081));
  doomed->SetUrl((server->BaseUrl() + "/randomcode").c_str());
  doomed->Refresh();
  ASSERT_TRUE(desk.RunUntil([&] { return Downloads() == 1; }, 20000));
  doomed.reset();
  ASSERT_TRUE(desk.RunUntil(
      [&] { return server->Requests("randomcode")[0].status != 0 && CountHttpRequestsForTesting() == 0; }, 20000));
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.Boxes().empty());
}

// A test request whose reply calls Refresh on the request's thread.
struct RefreshingReply {
  CRandomCodeWnd* wnd;
  std::atomic<int> calls{0};
  static void OnReply(HttpRequest*, void* user, const char*, int, int status) {
    auto* self = static_cast<RefreshingReply*>(user);
    if (status == kHttpProgress) return;
    ++self->calls;
    self->wnd->Refresh();
  }
};

TEST_F(MediaCaptcha, RefreshFromOtherThreads) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i) wnd.Refresh();
    done = true;
  });
  while (!done) {
    desk.Click(strip.m_hWnd, 10, 10);
    desk.Click(wnd.m_hWnd, 5, 5);
    strip.Invalidate();
    desk.RunUntilIdle();
  }
  worker.join();

  // The UI thread abandons requests whose replies call Refresh.
  RefreshingReply reply{&wnd};
  const std::string url = server->BaseUrl() + "/randomcode";
  for (int i = 0; i < 5; ++i) {
    int id = StartWinInetRequest(url.c_str(), "", nullptr, 0, "", &RefreshingReply::OnReply, &reply);
    if (i % 2) desk.RunUntil([&] { return reply.calls > i / 2; }, 200);
    AbandonHttpRequest(id);
  }
  ASSERT_TRUE(desk.RunUntil(
      [&] { return CountHttpRequestsForTesting() == 0 && Shown() && wnd.HasPicture(); }, 20000));
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.Boxes().empty());
  ExpectShows(picture);
  EXPECT_GE(Downloads(), 1u);
}

TEST_F(MediaCaptcha, HandCursorAndProgressReports) {
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND), arrow = LoadCursorW(nullptr, IDC_ARROW);
  wnd.SetUrl("");
  SetCursor(arrow);
  desk.MoveMouse(wnd.m_hWnd, 5, 5);
  EXPECT_EQ(GetCursor(), hand);
  SetCursor(arrow);
  wnd.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(GetCursor(), hand);
  SetCursor(arrow);
  desk.MouseDown(wnd.m_hWnd, 5, 5);
  EXPECT_EQ(GetCursor(), hand);
  EXPECT_FALSE(Shown()) << "a press refreshes, which hides";

  wnd.ShowWindow(SW_SHOW);
  CRandomCodeWnd::OnPictureReply(nullptr, &wnd, nullptr, 20, kHttpProgress);
  desk.RunUntilIdle();
  EXPECT_TRUE(Shown());
  EXPECT_FALSE(wnd.HasPicture());
  EXPECT_TRUE(desk.Boxes().empty());
}

TEST_F(MediaCaptcha, SnapshotBesideAnEdit) {
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(20, 20, 200, 20 + kScale * picture.height()),
                          &strip, 1082));
  wnd.Refresh();
  ASSERT_TRUE(desk.RunUntil([&] { return Shown() && wnd.HasPicture(); }, 20000));
  desk.RunUntilIdle();
  EXPECT_TRUE(desk.SavePng(strip.m_hWnd, std::string(ORV_BINARY_DIR) + "/media_captcha.png"));
}

}  // namespace
