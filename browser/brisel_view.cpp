#include "browser/brisel_view.h"

#include <QAuthenticator>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QKeyEvent>
#include <QNetworkCookie>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineHistory>
#include <QWebEngineHttpRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <QWindow>

#include <cstdlib>

#include "platform/kernel/debug_sink.h"
#include "platform/kernel/kernel_utf.h"
#include "platform/window/win_qtkeys.h"
#include "platform/window/win_user.h"

namespace {

constexpr const char* kErrorSuppressor = "function fnOnError(msg,url,lineno){return true;}window.onerror=fnOnError;";
constexpr const char* kPlainHeader = "tq_winpc_tqx";
constexpr const char* kProxyHeader = "pz_winpc_pzx";

void Trace(const std::string& text) { OutputDebugStringA(("brisel: " + text + "\n").c_str()); }

QString ToQString(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// "goto:" addresses are cancelled before they load; anything that reaches
// the handler all the same fails.
class RefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override { job->fail(QWebEngineUrlRequestJob::UrlInvalid); }
};

}  // namespace

class BriselPage : public QWebEnginePage {
 public:
  BriselPage(QWebEngineProfile* profile, BriselView* view) : QWebEnginePage(profile, view), view_(view) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override { return view_->Filter(url); }
  QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }  // reported, never opened
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

 private:
  BriselView* view_;
};

// The view's window in the layer: a top-level window that goes into the
// slot; it takes the records and follows the slot's size.
class BriselViewWindow : public CWnd {
 public:
  explicit BriselViewWindow(BriselView* view) : view_(view) {}

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_COPYDATA:
        return view_->OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      case WM_SIZE:
        view_->Resize(LOWORD(lParam), HIWORD(lParam));
        break;
      case WM_DESTROY:
        // The slot or the main program went away: the program ends.
        ::PostQuitMessage(0);
        break;
      default:
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(255, 255, 255));
  }
  void OnLButtonDown(UINT flags, CPoint point) override {
    view_->Focus();
    CWnd::OnLButtonDown(flags, point);
  }

 private:
  BriselView* view_;
};

BriselView::BriselView(bool proxyView, const BriselProxy& proxy) : proxyView_(proxyView), proxy_(proxy) {
  const char* token = std::getenv(kBriselTokenHostVariable);
  tokenHost_ = token && *token ? token : kBriselTokenHost;
  profile_ = new QWebEngineProfile(this);  // off the record: nothing written
  profile_->installUrlSchemeHandler("goto", new RefusingSchemeHandler(profile_));
  page_ = new BriselPage(profile_, this);
  QWebEngineScript suppressor;
  suppressor.setName("brisel-errors");
  suppressor.setSourceCode(kErrorSuppressor);
  suppressor.setInjectionPoint(QWebEngineScript::DocumentCreation);
  suppressor.setWorldId(QWebEngineScript::MainWorld);
  suppressor.setRunsOnSubFrames(true);
  page_->scripts().insert(suppressor);

  QObject::connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) { OnLoadFinished(ok); });
  QObject::connect(page_, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
    ReportText(BRISEL_COPY_NEW_WINDOW, request.requestedUrl().toString());
  });
  QObject::connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] {
    if (notify_) ::PostMessageW(notify_, BRISEL_MSG_CLOSED, 0, 0);
  });
  QObject::connect(page_, &QWebEnginePage::renderProcessTerminated, this,
                   [this](QWebEnginePage::RenderProcessTerminationStatus, int) {
                     if (notify_) ::PostMessageW(notify_, BRISEL_MSG_CLOSED, 0, 1);
                   });
  QObject::connect(page_, &QWebEnginePage::proxyAuthenticationRequired, this,
                   [this](const QUrl&, QAuthenticator* auth, const QString&) {
                     // One answer; a refused one is not repeated.
                     if (proxyAsked_ || proxy_.user.empty()) return;
                     proxyAsked_ = true;
                     auth->setUser(QString::fromStdString(proxy_.user));
                     auth->setPassword(QString::fromStdString(proxy_.password));
                   });
  qApp->installEventFilter(this);
}

BriselView::~BriselView() {
  qApp->removeEventFilter(this);
  if (window_ && window_->GetSafeHwnd()) window_->DestroyWindow();
  delete web_;
  web_ = nullptr;
  delete page_;
  page_ = nullptr;
}

HWND BriselView::ViewWindow() const { return window_ ? window_->GetSafeHwnd() : nullptr; }

bool BriselView::Attach(HWND slot, HWND notify, const std::string& startAddress, const BriselRect& start) {
  if (window_) return false;  // one attach per process
  startAddress_ = startAddress;
  start_ = start;
  int width = std::max(1, start.right - start.left), height = std::max(1, start.bottom - start.top);
  window_ = std::make_unique<BriselViewWindow>(this);
  if (!window_->CreateEx(0, nullptr, u"", WS_POPUP | WS_CLIPCHILDREN, CRect(0, 0, width, height), nullptr, 0)) {
    Trace("cannot create the view window");
    window_.reset();
    return false;
  }
  web_ = new QWebEngineView();
  web_->setPage(page_);
  web_->resize(width, height);
  if (!::EmbedIntoWindow(window_->GetSafeHwnd(), slot)) Trace("cannot go into the host's window");
  if (QGuiApplication::platformName() == "xcb") {
    // The page's native window goes inside a native child of the view window.
    pane_ = std::make_unique<CWnd>();
    CRect client;
    window_->GetClientRect(&client);
    pane_->Create(nullptr, u"", WS_CHILD | WS_VISIBLE, client, window_.get(), 1);
    if (std::uintptr_t id = ::GetNativeWindowId(pane_->GetSafeHwnd())) {
      web_->winId();
      if (QWindow* parent = QWindow::fromWinId(static_cast<WId>(id))) web_->windowHandle()->setParent(parent);
      web_->move(0, 0);
    }
  }
  web_->show();
  notify_ = notify;
  NavigateStart();
  return true;
}

void BriselView::Resize(int width, int height) {
  if (pane_ && pane_->GetSafeHwnd()) pane_->MoveWindow(0, 0, width, height, TRUE);
  if (web_) web_->resize(std::max(1, width), std::max(1, height));
}

void BriselView::Load(const QString& address, bool withHeader) {
  QString target = address.startsWith("about:blank") ? QString("about:blank") : address;
  page_->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, hostFlag_ != 0);
  if (!withHeader) {
    page_->load(QUrl(target));
    return;
  }
  QWebEngineHttpRequest request{QUrl(target)};
  request.setHeader("SoftwareFlags", proxyView_ ? kProxyHeader : kPlainHeader);
  page_->load(request);
}

void BriselView::NavigateStart() {
  if (web_) Load(QString::fromStdString(startAddress_), false);
}

void BriselView::Navigate(const std::u16string& address) {
  QString text = ToQString(address);
  QUrl url(text);
  for (const std::u16string& piece : SplitCookieList(cookies_)) {
    std::string cookie = WideToUtf8(piece);
    size_t eq = cookie.find('=');
    QNetworkCookie c(QByteArray::fromStdString(cookie.substr(0, eq == std::string::npos ? cookie.size() : eq)),
                     QByteArray::fromStdString(eq == std::string::npos ? "" : cookie.substr(eq + 1)));
    c.setDomain(url.host());
    c.setPath("/");
    profile_->cookieStore()->setCookie(c, url);
  }
  Load(text, true);
}

void BriselView::BackToFirst() {
  QWebEngineHistory* history = page_->history();
  if (history->canGoBack() && history->currentItemIndex() > 0) history->goToItem(history->itemAt(0));
}

void BriselView::GoBack() {
  page_->triggerAction(QWebEnginePage::Stop);
  page_->triggerAction(QWebEnginePage::Back);
}

void BriselView::GoForward() {
  page_->triggerAction(QWebEnginePage::Stop);
  page_->triggerAction(QWebEnginePage::Forward);
}

void BriselView::MoveToStartRect() {
  if (!window_) return;
  window_->MoveWindow(0, 0, start_.right - start_.left, start_.bottom - start_.top, TRUE);
  Repaint();
}

void BriselView::Show(int showCommand) {
  if (!window_) return;
  window_->ShowWindow(showCommand);
  if (web_) web_->setVisible(showCommand != SW_HIDE);
}

void BriselView::Focus() {
  if (window_) window_->SetFocus();
  if (web_) web_->setFocus();
}

void BriselView::Repaint() {
  if (window_) window_->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  if (web_) web_->update();
}

bool BriselView::Filter(const QUrl& url) {
  std::string address = DecodeNonAsciiEscapes(url.toString(QUrl::FullyEncoded).toStdString());
  switch (ClassifyNavigation(address, tokenHost_)) {
    case BriselNavigation::kWebCommand:
      Report(BRISEL_COPY_WEB_COMMAND, address);
      return false;
    case BriselNavigation::kAccessToken:
      ReportText(BRISEL_COPY_ACCESS_TOKEN, url.toString());
      return false;
    case BriselNavigation::kIgnore:
      return false;
    case BriselNavigation::kLoad:
      break;
  }
  pdf_ = IsPdfAddress(address);
  return true;
}

void BriselView::OnLoadFinished(bool) {
  loaded_ = true;
  std::string address = page_->url().toString(QUrl::FullyEncoded).toStdString();
  switch (ClassifySuccessPage(address, tokenHost_)) {
    case 1:
      ReportText(BRISEL_COPY_ACCESS_TOKEN, page_->url().toString());
      break;
    case 2:
      page_->triggerAction(QWebEnginePage::Back);
      break;
    default:
      break;
  }
  WriteNews();
  if (const char* folder = std::getenv(kBriselSnapshotVariable); folder && *folder && web_) {
    // Give the compositor a moment to draw the finished page.
    int n = ++snapshots_;
    QPointer<QWebEngineView> web = web_;
    QString path = QDir(QString::fromUtf8(folder)).filePath(QString("page-%1.png").arg(n));
    QTimer::singleShot(300, this, [web, path] {
      if (web) web->grab().save(path);
    });
  }
}

void BriselView::WriteNews() {
  if (pendingNews_.isEmpty()) return;
  QString html = pendingNews_;
  QString literal = QString::fromUtf8(QJsonDocument::fromVariant(QVariantList{html}).toJson(QJsonDocument::Compact));
  QString script = "(function(h){var e=document.getElementById('news')||document.getElementsByName('news')[0];"
                   "if(!e)return 0;e.innerHTML=h;return 1;})(" + literal + "[0])";
  QPointer<BriselView> self = this;
  page_->runJavaScript(script, [self, html](const QVariant& result) {
    if (self && result.toInt() == 1 && self->pendingNews_ == html) self->pendingNews_.clear();
  });
}

int BriselView::RunScriptCommand(const std::u16string& name) {
  if (pdf_ || !web_) return 0;
  QString literal =
      QString::fromUtf8(QJsonDocument::fromVariant(QVariantList{ToQString(name)}).toJson(QJsonDocument::Compact));
  QString script = "(function(n){var f=window[n];if(typeof f!=='function')return 0;"
                   "try{f();}catch(e){return 0;}return 1;})(" + literal + "[0])";
  // The engine answers later; wait for it (at most 2 s), serving the
  // engine's events and the sends of other processes meanwhile.
  auto answer = std::make_shared<int>(-1);
  QEventLoop loop;
  QPointer<QEventLoop> waiting = &loop;
  page_->runJavaScript(script, [answer, waiting](const QVariant& result) {
    *answer = result.toInt() == 1 ? 1 : 0;
    if (waiting) waiting->quit();
  });
  QTimer::singleShot(2000, &loop, &QEventLoop::quit);
  if (*answer < 0) loop.exec();
  return *answer == 1 ? 1 : 0;
}

LRESULT BriselView::OnCopyData(const COPYDATASTRUCT* record) {
  if (!record) return 1;
  switch (record->dwData) {
    case BRISEL_COPY_COOKIES:
      cookies_ = RecordText(record->lpData, record->cbData);
      return 1;
    case BRISEL_COPY_NAVIGATE:
      Navigate(RecordText(record->lpData, record->cbData));
      return 1;
    case BRISEL_COPY_CALL_SCRIPT:
      return RunScriptCommand(RecordText(record->lpData, record->cbData));
    case BRISEL_COPY_MOVE: {
      if (record->cbData != 16 || !record->lpData) return 1;
      std::int32_t box[4];
      std::memcpy(box, record->lpData, sizeof box);
      if (window_) window_->MoveWindow(0, 0, box[2] - box[0], box[3] - box[1], TRUE);
      Repaint();
      return 1;
    }
    case BRISEL_COPY_NEWS_HTML:
      pendingNews_ = ToQString(RecordText(record->lpData, record->cbData));
      return 1;
    default:
      return 1;
  }
}

void BriselView::Report(std::uintptr_t type, const std::string& bytes) {
  if (!notify_) return;
  COPYDATASTRUCT record{type, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data())};
  ::SendMessageW(notify_, WM_COPYDATA, reinterpret_cast<WPARAM>(ViewWindow()), reinterpret_cast<LPARAM>(&record));
}

void BriselView::ReportText(std::uintptr_t type, const QString& text) {
  std::string bytes(reinterpret_cast<const char*>(text.utf16()), static_cast<size_t>(text.size()) * 2);
  Report(type, bytes);
}

bool BriselView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !web_) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || (widget != web_ && !web_->isAncestorOf(widget))) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  int vk = static_cast<int>(VirtualKeyFromQtKey(key->key()));
  if (vk == 0) return false;
  if (!loaded_) {
    if (notify_) ::PostMessageW(notify_, BRISEL_MSG_KEY, 0, vk);
    return true;
  }
  // The engine turns its input method on while a text field (of the page
  // or any frame) has the focus.
  QWidget* proxy = web_->focusProxy();
  if (widget->testAttribute(Qt::WA_InputMethodEnabled) || (proxy && proxy->testAttribute(Qt::WA_InputMethodEnabled)))
    return false;
  std::string text = std::to_string(BriselKeyCode(vk));
  ReportText(BRISEL_COPY_KEY, QString::fromStdString(text));
  return true;
}
