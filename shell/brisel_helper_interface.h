// The main program's side of one browser-program process.
//
// Every web page the terminal shows (the home page, each web tab, each
// pop-up page) is drawn by a browser-program process whose view becomes a
// child of a host window. A helper is a small hidden child window that
// starts that process, drives it, keeps what it is given until the view
// reports ready, and turns the process's reports into messages posted to its
// owner window. One helper drives at most one process at a time. Helpers are
// made through the frame's factory (shell/frame_factories.h); UI thread only.
//
// The implementing class derives from CWnd (or a CWnd-based class) and from
// IBriselHelper, and answers Window() with itself. The owner and host are set
// before a process is started; the helper's window is created by its user
// (WS_CHILD, hidden, id 0).
//
// Notifications posted to the owner window (numbers below). A posted message
// that carries a text carries a heap copy owned by the message: the final
// handler frees it (`delete[]`), a relay passes it on unchanged.
//   WM_WEB_COMMAND    (UTF-8 "goto::" text as a char[] copy, 0)
//   WM_OAUTH_SINA_URL / WM_OAUTH_QQ_URL  (UTF-16 address as a WCHAR[] copy, 0)
//   WM_POP_HTML       (UTF-16 address, 0) is the one exception: it is SENT,
//                     as every sender of WM_POP_HTML does (the K-line view
//                     too), and the address is lent for the call only; the
//                     handler copies what it keeps. The helper sends it from
//                     a message it posted itself, so it still arrives after
//                     the browser's record has returned.
//   WM_KEY_COMMAND    (0, key code; F1 to F12 as 40000 plus the key)
//   WM_BROWSER_READY  (the helper's IBriselHelper*, 0)
//   WM_BRISEL_CLOSED  (as the process reported it)
#pragma once

#include "platform/mfc/afx.h"

constexpr UINT WM_BRISEL_CLOSED = 2000;
constexpr UINT WM_BROWSER_READY = 4700;
constexpr UINT WM_WEB_COMMAND = 10105;
constexpr UINT WM_OAUTH_SINA_URL = 10106;
constexpr UINT WM_OAUTH_QQ_URL = 10107;

class IBriselHelper {
 public:
  virtual ~IBriselHelper() = default;

  virtual CWnd* Window() = 0;
  // Receives every notification.
  virtual void SetOwner(HWND owner) = 0;
  // The window that becomes the parent of the browser's view.
  virtual void SetHost(CWnd* host) = 0;

  // Terminates a running process and starts a new one on the address; a
  // host, when given, replaces the stored one.
  virtual void StartBrowser(const WCHAR* address, CWnd* host, const RECT& rect) = 0;
  // StartBrowser with the rectangle (0, 0, width, height).
  virtual void StartBrowserSized(const WCHAR* address, CWnd* host, int width, int height) = 0;
  // Terminates the current process and forgets its view; the termination's
  // result.
  virtual BOOL TerminateBrowser() = 0;

  // Sent at once when the view is ready, otherwise kept (replacing what was
  // kept) until it is.
  virtual void Navigate(const WCHAR* address) = 0;
  virtual void SetCookies(const WCHAR* cookies) = 0;  // "name=value|" items
  virtual void SetNewsHtml(const WCHAR* html) = 0;
  virtual void MoveBrowser(const RECT& rect) = 0;     // host coordinates

  // Calls a page script function: 1 when it was called, 0 otherwise (and
  // always 0 without a ready view).
  virtual int CallScript(const WCHAR* function) = 0;
  virtual void BackToFirstPage() = 0;
  virtual void SetHostFlag(int flag) = 0;
  // Shows or hides the browser's view and the helper window.
  virtual void ShowBrowser(int showCommand) = 0;
};
