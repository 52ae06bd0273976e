// CRandomCodeWnd: the verification picture beside a sign-in form's code
// field. It downloads the picture from its address through the system HTTP
// stack, shows it stretched over its client area and fetches a new one at
// every click. The window is hidden from the start of a download until its
// reply arrives; failures are told in message boxes (no owner, OK only).
//
// Threads: the reply runs on the request's thread. It writes the body to
// "temp\code.jpeg" below the data root, loads it (by content: PNG, JPEG,
// GIF or BMP), deletes the file, leaves the outcome in a slot of the window
// and posts a message; the UI thread then shows the window, swaps the
// picture in, repaints and shows any message box. The reply never waits for
// the UI thread, so abandoning a download from the UI thread cannot
// deadlock. Refresh on another thread only posts a request to the UI
// thread. Only the last download started can show its picture; destroying
// the window abandons the download in flight.
#pragma once

#include <memory>
#include <mutex>

#include "platform/mfc/afx.h"

struct HttpRequest;

class CRandomCodeWnd : public CWnd {
 public:
  static constexpr size_t kMaxAddress = 511;

  CRandomCodeWnd();
  ~CRandomCodeWnd() override;

  // Copies at most 511 bytes of the address (UTF-8).
  void SetUrl(const char* address);
  const char* Url() const { return address_; }
  // A visible child that clips its siblings.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id);
  // Hides the window and, with an address, abandons the previous download
  // and starts a new one. Any thread (see above).
  void Refresh();

  bool HasPicture() const { return picture_ != nullptr; }
  int CurrentRequest() const { return request_; }

  // The reply callback (user: the window).
  static void OnPictureReply(HttpRequest* request, void* user, const char* body, int length, int status);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnDestroy() override;

 private:
  // What a reply left for the UI thread.
  struct Outcome {
    int request = 0;
    int status = 0;
    std::unique_ptr<CImage> picture;  // status 0: the loaded picture, or null when it did not load
  };

  void RefreshOnUiThread();
  void TakeOutcome();
  void AbandonDownload();

  char address_[kMaxAddress + 1] = {};
  int request_ = 0;                    // UI thread only
  std::unique_ptr<CImage> picture_;    // UI thread only
  std::mutex slotLock_;                // the slot and the window handle for replies
  std::unique_ptr<Outcome> slot_;
  HWND replyWindow_ = nullptr;
};
