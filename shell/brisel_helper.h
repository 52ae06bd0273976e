// The main program's side of one Brisel process (see
// shell/brisel_helper_interface.h and browser/brisel_catalogue.h).
//
// The browser's view cannot become a child window of ours on Linux, so the
// helper keeps a slot: a black child window of the host at the browser's
// rectangle (the start rectangle, then every MoveBrowser), shown and hidden
// with ShowBrowser. The attach message hands the slot to the browser, whose
// view goes inside it and takes its size. Destroying the slot (with the host
// or the helper) ends the browser's view and so its process.
#pragma once

#include <memory>
#include <string>

#include "platform/mfc/afx.h"
#include "shell/brisel_helper_interface.h"

class VexloBriselHelper : public CWnd, public IBriselHelper {
 public:
  VexloBriselHelper() = default;
  VexloBriselHelper(HWND owner, CWnd* host) : host_(host), owner_(owner) {}
  ~VexloBriselHelper() override;

  CWnd* Window() override { return this; }
  void SetOwner(HWND owner) override { owner_ = owner; }
  void SetHost(CWnd* host) override;

  void StartBrowser(const WCHAR* address, CWnd* host, const RECT& rect) override;
  void StartBrowserSized(const WCHAR* address, CWnd* host, int width, int height) override;
  BOOL TerminateBrowser() override;
  void Navigate(const WCHAR* address) override;
  void SetCookies(const WCHAR* cookies) override;
  void SetNewsHtml(const WCHAR* html) override;
  void MoveBrowser(const RECT& rect) override;
  int CallScript(const WCHAR* function) override;
  void BackToFirstPage() override;
  void SetHostFlag(int flag) override;
  void ShowBrowser(int showCommand) override;

  // For tests and diagnostics.
  int ProcessId() const { return pid_; }
  DWORD BrowserThread() const { return thread_; }
  HWND ViewWindow() const { return view_; }
  HWND SlotWindow() const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnKeyDown(UINT key, UINT repeat, UINT flags) override;
  void OnLButtonDown(UINT flags, CPoint point) override;

 private:
  LRESULT OnBrowserReady(HWND view);
  BOOL OnBrowserRecord(const COPYDATASTRUCT* record);
  void PlaceSlot(const RECT& rect);
  LRESULT SendRecord(std::uintptr_t type, const void* data, DWORD bytes);
  LRESULT SendText(std::uintptr_t type, const std::u16string& text);

  CWnd* host_ = nullptr;
  HWND owner_ = nullptr;
  std::unique_ptr<CWnd> slot_;
  HWND view_ = nullptr;
  int pid_ = 0;
  DWORD thread_ = 0;
  // Kept until the view is ready (empty: nothing kept).
  std::u16string keptAddress_;
  std::u16string keptNews_;
  std::u16string keptCookies_;
  RECT keptRect_{};
};

// Tests only: the program the helpers start instead of the program folder's
// Brisel (empty: back to Brisel).
void SetBriselProgramForTesting(const std::string& path);
// Tests only: how long a start waits for a browser that ends at once
// (0: back to 500 ms). A browser that ends is seen the moment it ends, so a
// long wait costs only a browser that keeps running.
void SetBriselStartWaitForTesting(int ms);
