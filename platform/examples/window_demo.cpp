// A small window written on the platform layer: shapes, lines, a focus
// rectangle, frame controls and text in the UI faces. On screen it opens a
// window; with QT_QPA_PLATFORM=offscreen it saves its picture to the PNG
// named by the first argument (window_demo.png by default) and exits.
#include "platform/kernel/kernel_files.h"
#include "platform/mfc/afx.h"
#include "platform/window/win_desktop.h"

#include <cstdlib>
#include <string>

class DemoWnd : public CWnd {
 protected:
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    CDC mem;
    mem.CreateCompatibleDC(&dc);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(&dc, rc.Width(), rc.Height());
    CBitmap* oldBmp = mem.SelectObject(&bmp);
    mem.FillSolidRect(&rc, RGB(24, 28, 36));

    CPen red(PS_SOLID, 1, RGB(255, 64, 64));
    CPen* oldPen = mem.SelectObject(&red);
    CBrush blue(RGB(40, 90, 200));
    CBrush* oldBrush = mem.SelectObject(&blue);
    mem.Rectangle(20, 20, 140, 90);
    mem.Ellipse(160, 20, 280, 90);
    mem.RoundRect(300, 20, 420, 90, 16, 16);
    POINT tri[3] = {{460, 90}, {520, 20}, {580, 90}};
    mem.Polygon(tri, 3);
    CPen thick(PS_SOLID, 3, RGB(250, 200, 40));
    mem.SelectObject(&thick);
    for (int i = 0; i < 6; ++i) {
      mem.MoveTo(20 + i * 40, 120);
      mem.LineTo(40 + i * 40, 170);
    }
    mem.SelectObject(oldPen);
    mem.SelectObject(oldBrush);

    CRect box(300, 110, 330, 140);
    mem.DrawFrameControl(&box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    box.OffsetRect(40, 0);
    mem.DrawFrameControl(&box, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED);
    CRect push(420, 110, 580, 145);
    mem.DrawFrameControl(&push, DFC_BUTTON, DFCS_BUTTONPUSH);
    mem.SetBkMode(TRANSPARENT);
    mem.DrawText(u"按钮 Button", &push, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    CFont yahei, song;
    yahei.CreateFont(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 32, u"微软雅黑");
    song.CreatePointFont(120, u"宋体");
    CFont* oldFont = mem.SelectObject(&yahei);
    mem.SetTextColor(RGB(255, 255, 255));
    CRect line(20, 190, 580, 220);
    mem.DrawText(u"上证指数 3245.67 +1.25%  微软雅黑", &line, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    mem.SelectObject(&song);
    mem.SetTextColor(RGB(255, 80, 80));
    line.OffsetRect(0, 34);
    mem.DrawText(u"深证成指 10234.56 -0.37%  宋体", &line, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    line.OffsetRect(0, 34);
    mem.SetTextColor(RGB(120, 220, 120));
    mem.DrawText(u"一段很长很长的文字会在右边被省略号截断而不会越过边界 abcdefghijklmnopqrstuvwxyz", &line,
                 DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    CRect focus = line;
    focus.InflateRect(2, 2);
    mem.DrawFocusRect(&focus);
    mem.SelectObject(oldFont);

    dc.BitBlt(0, 0, rc.Width(), rc.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(oldBmp);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
};

class DemoApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    auto* wnd = new DemoWnd;
    wnd_.reset(wnd);
    wnd->CreateEx(0, nullptr, u"Orvenna 演示", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(100, 100, 700, 400), nullptr, 0);
    m_pMainWnd = wnd;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) == "offscreen") {
      TestDesktop desktop;
      desktop.RunUntilIdle();
      desktop.SavePng(wnd->m_hWnd, out_);
      return FALSE;
    }
    return TRUE;
  }
  std::string out_ = "window_demo.png";
  std::unique_ptr<DemoWnd> wnd_;
};

DemoApp theApp;

int main(int argc, char** argv) {
  // The program runs in its own folder; the picture goes where the user meant.
  theApp.out_ = PathFromStartingFolder(argc > 1 ? argv[1] : theApp.out_);
  return AfxWinMain(argc, argv);
}
