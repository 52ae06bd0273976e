// The main window until the real frame exists: a maximised, captionless
// top-level window with the program title that says who is signed in.
#include "shell/main_frame_factory.h"

#include "foundation/draw_helpers.h"
#include "shell/about_box.h"
#include "shell/program_identity.h"

namespace {

class CPlaceholderFrame : public CWnd {
 public:
  explicit CPlaceholderFrame(const WString& account) : account_(account) {}

 protected:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(8, 12, 22));
    CRect band(rc.left, rc.top, rc.right, rc.top + 40);
    dc.FillSolidRect(&band, RGB(20, 36, 66));
    dc.SetBkMode(TRANSPARENT);
    HFONT title = CreateUiFont(GetUiFontFace(), 20);
    HFONT body = CreateUiFont(GetUiFontFace(), 16);
    HGDIOBJ old = dc.SelectObject(title);
    dc.SetTextColor(RGB(255, 255, 255));
    CRect titleRc = band;
    titleRc.left += 16;
    dc.DrawText(kProgramTitle, &titleRc, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    dc.SelectObject(body);
    dc.SetTextColor(RGB(255, 210, 0));
    CRect line(rc.left, rc.top + 40, rc.right, rc.bottom);
    dc.DrawText(u"已登录：" + account_, &line, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc.SelectObject(old);
    DeleteObject(title);
    DeleteObject(body);
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND && LOWORD(wParam) == ID_APP_ABOUT) {
      ShowAboutBox(this);
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  void PostNcDestroy() override { delete this; }

 private:
  WString account_;
};

}  // namespace

CWnd* CreateMainFrame(const char*, const char*, const char*, const char*, const WString& accountTyped) {
  auto* frame = new CPlaceholderFrame(accountTyped);
  const CRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (!frame->CreateEx(0, nullptr, kProgramTitle, WS_OVERLAPPEDWINDOW, screen, nullptr, 0)) {
    delete frame;
    return nullptr;
  }
  frame->ModifyStyle(WS_CAPTION, 0);
  frame->ShowWindow(SW_MAXIMIZE);
  frame->ShowWindow(SW_SHOW);
  frame->UpdateWindow();
  return frame;
}
