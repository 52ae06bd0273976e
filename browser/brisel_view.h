// The browser program's one view: a web page inside a window of the main
// program. It sets the proxy and the "SoftwareFlags" header of its
// navigations, sets cookies before navigating for the main program, filters
// every navigation ("goto::" commands, token addresses), reports new-window
// requests, the page's closing, keys and the end of the page's renderer to
// the helper window, keeps script errors quiet, writes HTML into the
// element "news" and calls page functions by name. UI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <string>

#include "browser/brisel_catalogue.h"
#include "platform/mfc/afx.h"

class QWebEngineProfile;
class QWebEngineView;
class BriselPage;
class BriselViewWindow;

class BriselView : public QObject {
 public:
  // proxyView: the header of the proxy view; the proxy itself is set for
  // the whole program before the engine starts (see brisel_main.cpp).
  explicit BriselView(bool proxyView, const BriselProxy& proxy = BriselProxy());
  ~BriselView() override;

  // The attach: makes the view window, puts it into the slot (a window of
  // the main program), loads the start address. False when the window
  // cannot be made.
  bool Attach(HWND slot, HWND notify, const std::string& startAddress, const BriselRect& start);
  HWND ViewWindow() const;

  // The thread messages.
  void NavigateStart();
  void BackToFirst();
  void GoBack();
  void GoForward();
  void MoveToStartRect();
  void Show(int showCommand);
  void Focus();
  void SetHostFlag(int flag) { hostFlag_ = flag; }
  void Repaint();

  // WM_COPYDATA records from the helper.
  LRESULT OnCopyData(const COPYDATASTRUCT* record);
  // Calls a page function without arguments: 1 when it was called.
  int RunScriptCommand(const std::u16string& name);

  // Decides a navigation of the page or a frame: true to load it.
  bool Filter(const QUrl& url);
  // Keys of the page (an event filter on the application).
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The window's size changed (by the slot or a record 6).
  void Resize(int width, int height);
  QWebEngineView* WebView() const { return web_; }

 private:
  void Navigate(const std::u16string& address);
  void OnLoadFinished(bool ok);
  void WriteNews();
  void Report(std::uintptr_t type, const std::string& bytes);
  void ReportText(std::uintptr_t type, const QString& text);
  void Load(const QString& address, bool withHeader);

  bool proxyView_;
  BriselProxy proxy_;
  QWebEngineProfile* profile_ = nullptr;
  BriselPage* page_ = nullptr;
  QWebEngineView* web_ = nullptr;
  std::unique_ptr<BriselViewWindow> window_;
  std::unique_ptr<CWnd> pane_;  // on screen: the native window the page goes into
  HWND notify_ = nullptr;
  std::string startAddress_;
  BriselRect start_;
  std::u16string cookies_;
  QString pendingNews_;
  int hostFlag_ = 5;
  bool pdf_ = false;
  bool loaded_ = false;  // a top-level page finished loading
  bool proxyAsked_ = false;
  int snapshots_ = 0;
  std::string tokenHost_;
};
