#include "shell/main_frame_factory.h"

#include "shell/main_frame.h"

namespace {

// The program's frame: made once, it deletes itself when its window is
// destroyed.
class ProgramFrame : public CMainFrame {
 protected:
  void PostNcDestroy() override { delete this; }
};

}  // namespace

CWnd* CreateMainFrame(const char* userId, const char* sessionId, const char* account, const char* password,
                      const WString& accountTyped) {
  auto* frame = new ProgramFrame;
  frame->SetCredentials(userId, sessionId);
  frame->SetAccount(account, password);
  frame->SetUserName(accountTyped.c_str());
  // The tab bar tells the main window of its tabs while the frame is made.
  CWinApp* app = AfxGetApp();
  CWnd* previous = app != nullptr ? app->m_pMainWnd : nullptr;
  if (app != nullptr) app->m_pMainWnd = frame;
  if (!frame->CreateFrame()) {
    if (app != nullptr) app->m_pMainWnd = previous;
    delete frame;
    return nullptr;
  }
  frame->ShowWindow(SW_MAXIMIZE);
  frame->UpdateWindow();
  return frame;
}
