// Brisel: the browser program. One process shows one web page inside a
// window of the main program. It starts without a window, waits for the
// attach message on its main thread, then serves the thread messages and
// the records of browser/brisel_catalogue.h until its window goes away.
#include <unistd.h>

#include <QApplication>
#include <QWebEngineUrlScheme>

#include <cstdlib>
#include <string>
#include <vector>

#include "browser/brisel_catalogue.h"
#include "browser/brisel_view.h"
#include "platform/controls/win_controls.h"
#include "platform/kernel/debug_sink.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_user.h"

namespace {

void Trace(const std::string& text) { OutputDebugStringA(("brisel: " + text + "\n").c_str()); }

std::vector<std::string> g_args;
BriselProxy g_proxy;
bool g_proxyView = false;
bool g_proxyFailed = false;

void AddEngineFlags(const std::string& flags) {
  const char* old = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
  std::string all = old && *old ? std::string(old) + " " + flags : flags;
  ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", all.c_str(), 1);
}

// Everything the engine must know before it starts.
void PrepareEngine() {
  const char* noSandbox = std::getenv(kBriselNoSandboxVariable);
  if (::geteuid() == 0) {
    Trace("running as root: the engine's sandbox is off");
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  } else if (noSandbox && std::string(noSandbox) == "1") {
    Trace("BRISEL_NO_SANDBOX=1: the engine's sandbox is off");
    ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  }
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && std::string(platform) == "offscreen") AddEngineFlags("--disable-gpu");

  const char* proxy = std::getenv(kBriselProxyVariable);
  if (proxy && *proxy) {
    g_proxyView = true;
    g_proxy = ParseBriselProxy(proxy);
    if (!g_proxy.valid) {
      g_proxyFailed = true;
    } else {
      static const char* schemes[] = {"socks4", "socks5", "http"};
      AddEngineFlags(std::string("--proxy-server=") + schemes[g_proxy.type] + "://" + g_proxy.host + ":" +
                     std::to_string(g_proxy.port));
      if (g_proxy.type != 2 && !g_proxy.user.empty())
        Trace("the web engine cannot sign in to a SOCKS proxy: its user name and password are not used");
    }
  }

  QWebEngineUrlScheme gotoScheme("goto");
  gotoScheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  QWebEngineUrlScheme::registerScheme(gotoScheme);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

class CBriselApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    JoinMessagePorts();
    BriselArgs args = ParseBriselArgs(g_args);
    if (!args.ok) {
      Trace("too few arguments: " + std::to_string(g_args.size()));
      exitCode_ = 2;
      return FALSE;
    }
    address_ = args.address;
    start_ = args.rect;
    if (g_proxyFailed) {
      ::MessageBoxW(nullptr, u"代理失败", nullptr, MB_OK);
      g_proxy = BriselProxy();
    }
    view_ = std::make_unique<BriselView>(g_proxyView, g_proxy);
    return TRUE;
  }

  int ExitInstance() override {
    view_.reset();
    return exitCode_;
  }

  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->hwnd) return CWinApp::PreTranslateMessage(msg);
    OnThreadMessage(msg->message, msg->wParam, msg->lParam);
    return TRUE;
  }

 private:
  void OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!view_) return;
    switch (message) {
      case BRISEL_MSG_ATTACH:
        if (view_->ViewWindow()) return;  // attached once
        if (!view_->Attach(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam), address_, start_)) return;
        ::PostMessageW(reinterpret_cast<HWND>(lParam), BRISEL_MSG_VIEW_READY,
                       reinterpret_cast<WPARAM>(view_->ViewWindow()), 0);
        break;
      case BRISEL_MSG_NAVIGATE_START:
        view_->NavigateStart();
        break;
      case BRISEL_MSG_BACK_TO_FIRST:
        view_->BackToFirst();
        break;
      case BRISEL_MSG_GO_BACK:
        view_->GoBack();
        break;
      case BRISEL_MSG_GO_FORWARD:
        view_->GoForward();
        break;
      case BRISEL_MSG_MOVE_TO_START_RECT:
        view_->MoveToStartRect();
        break;
      case BRISEL_MSG_SHOW:
        view_->Show(static_cast<int>(wParam));
        break;
      case BRISEL_MSG_FOCUS:
        view_->Focus();
        break;
      case BRISEL_MSG_SET_HOST_FLAG:
        view_->SetHostFlag(static_cast<int>(wParam));
        break;
      case BRISEL_MSG_REPAINT:
        view_->Repaint();
        break;
      case BRISEL_MSG_QUIT:
        ::PostQuitMessage(0);
        break;
      default:
        break;  // unknown thread messages are ignored
    }
  }

  std::unique_ptr<BriselView> view_;
  std::string address_;
  BriselRect start_;
  int exitCode_ = 0;
};

CBriselApp theApp;

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) g_args.emplace_back(argv[i]);
  PrepareEngine();
  static int qtArgc = 1;
  static char* qtArgv[] = {argv[0], nullptr};
  QApplication app(qtArgc, qtArgv);
  return AfxWinMain(argc, argv);
}
