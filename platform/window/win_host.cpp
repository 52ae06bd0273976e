// The on-screen host: each top-level window is a QRasterWindow that shows
// the window's backing picture and turns Qt's input into the platform's
// messages (through the same routing as the test desktop's input).
#include "platform/mfc/afx.h"
#include "platform/controls/win_controls.h"
#include "platform/window/win_icons.h"
#include "platform/window/win_internal.h"
#include "platform/window/win_qtkeys.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QWheelEvent>

#include <unordered_map>

namespace {

UINT VkFromQtKey(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<UINT>('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Semicolon: return VK_OEM_1;
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Comma: return VK_OEM_COMMA;
    case Qt::Key_Minus: return VK_OEM_MINUS;
    case Qt::Key_Period: return VK_OEM_PERIOD;
    case Qt::Key_Slash: return VK_OEM_2;
    default: return 0;
  }
}

Qt::CursorShape ShapeFor(HCURSOR cursor) {
  switch (CursorShapeOf(cursor)) {
    case 32513: return Qt::IBeamCursor;
    case 32514: return Qt::WaitCursor;
    case 32515: return Qt::CrossCursor;
    case 32642: return Qt::SizeFDiagCursor;
    case 32643: return Qt::SizeBDiagCursor;
    case 32644: return Qt::SizeHorCursor;
    case 32645: return Qt::SizeVerCursor;
    case 32646: return Qt::SizeAllCursor;
    case 32648: return Qt::ForbiddenCursor;
    case 32649: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
  }
}

class HostWindow : public QRasterWindow {
 public:
  explicit HostWindow(HWND hwnd) : hwnd_(hwnd) {}
  HWND hwnd_;
  bool applying = false;  // geometry being set by the window system
  HICON icon = nullptr;   // the icon the frame shows

 protected:
  void paintEvent(QPaintEvent*) override {
    QImage* img = TopLevelBacking(hwnd_);
    if (!img) return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), *img);
  }
  POINT Screen(const QPointF& local) const {
    QPoint g = geometry().topLeft() + local.toPoint();
    return POINT{g.x(), g.y()};
  }
  void Modifiers(Qt::KeyboardModifiers m) {
    SetKeyDown(VK_SHIFT, m & Qt::ShiftModifier);
    SetKeyDown(VK_CONTROL, m & Qt::ControlModifier);
  }
  void mousePressEvent(QMouseEvent* e) override {
    Modifiers(e->modifiers());
    MouseInput kind = e->button() == Qt::RightButton    ? MouseInput::RightDown
                      : e->button() == Qt::MiddleButton ? MouseInput::MiddleDown
                                                        : MouseInput::LeftDown;
    InjectMouse(kind, Screen(e->position()));
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Modifiers(e->modifiers());
    MouseInput kind = e->button() == Qt::RightButton    ? MouseInput::RightUp
                      : e->button() == Qt::MiddleButton ? MouseInput::MiddleUp
                                                        : MouseInput::LeftUp;
    InjectMouse(kind, Screen(e->position()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    Modifiers(e->modifiers());
    InjectMouse(MouseInput::Move, Screen(e->position()));
  }
  void wheelEvent(QWheelEvent* e) override {
    InjectMouse(MouseInput::Wheel, Screen(e->position()), e->angleDelta().y());
  }
  bool event(QEvent* e) override {
    if (e->type() == QEvent::Leave) InjectMouse(MouseInput::Move, POINT{-32000, -32000});
    if (e->type() == QEvent::InputMethod) {
      for (QChar c : static_cast<QInputMethodEvent*>(e)->commitString()) InjectChar(c.unicode());
      return true;
    }
    if (e->type() == QEvent::InputMethodQuery) {
      AnswerInputMethod(static_cast<QInputMethodQueryEvent*>(e));
      return true;
    }
    return QRasterWindow::event(e);
  }
  // The input method is on while the focus is in an edit of this window,
  // and places its candidates at the caret.
  void AnswerInputMethod(QInputMethodQueryEvent* q) {
    HWND focus = GetFocus();
    WCHAR cls[32] = {};
    bool edit = focus && GetAncestor(focus, GA_ROOT) == hwnd_ && GetClassNameW(focus, cls, 32) > 0 &&
                WString(cls) == WC_EDIT;
    if (q->queries() & Qt::ImEnabled) q->setValue(Qt::ImEnabled, edit);
    if (q->queries() & Qt::ImHints) q->setValue(Qt::ImHints, static_cast<int>(Qt::ImhNone));
    if (q->queries() & Qt::ImCursorRectangle) {
      QRect r;
      HWND caretWnd = nullptr;
      RECT caret;
      if (edit && GetCaretRect(&caretWnd, &caret) && caretWnd == focus) {
        POINT tl{caret.left, caret.top};
        ClientToScreen(focus, &tl);
        r = QRect(QPoint(tl.x, tl.y) - geometry().topLeft(), QSize(caret.right - caret.left, caret.bottom - caret.top));
      }
      q->setValue(Qt::ImCursorRectangle, r);
    }
    q->accept();
  }
  void keyPressEvent(QKeyEvent* e) override {
    Modifiers(e->modifiers());
    UINT vk = VkFromQtKey(e->key());
    if (vk) {
      InjectKey(vk, true, 1);
      return;
    }
    for (QChar c : e->text()) InjectChar(c.unicode());
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    UINT vk = VkFromQtKey(e->key());
    if (vk) InjectKey(vk, false, 1);
    Modifiers(e->modifiers());
  }
  void resizeEvent(QResizeEvent*) override {
    if (!applying) HostMovedTopLevel(hwnd_, geometry());
  }
  void moveEvent(QMoveEvent*) override {
    if (!applying) HostMovedTopLevel(hwnd_, geometry());
  }
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  }
};

// The native frame of a window. A window without owner is an application
// window with a task-bar entry whatever its caption; owned pop-ups (menus,
// tips, lists) are frameless tool windows. Captioned windows show the
// close, minimise and maximise buttons only while WS_SYSMENU,
// WS_MINIMIZEBOX and WS_MAXIMIZEBOX are set.
Qt::WindowFlags FrameFlags(const TopLevelInfo& info) {
  // WS_EX_TOOLWINDOW keeps an unowned window off the task bar as well.
  const bool tool = (info.owned && !info.appWindow) || (info.exStyle & WS_EX_TOOLWINDOW);
  if (info.popup) return (tool ? Qt::Tool : Qt::Window) | Qt::FramelessWindowHint;
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (info.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (info.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  if (info.style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

class QtHost final : public ScreenHost {
 public:
  QtHost() {
    // The screen's real size, kept as it changes.
    if (QScreen* screen = QGuiApplication::primaryScreen())
      QObject::connect(screen, &QScreen::virtualGeometryChanged, [this](const QRect&) {
        if (enabled) ApplyScreenSize();
      });
    // A press in another program's window takes the focus from ours: an
    // open menu closes, as a native one does.
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, [this](QWindow* now) {
      if (!Ours(now)) EndMenu();
    });
  }
  bool enabled = false;
  static void ApplyScreenSize() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
      SetScreenSize(screen->virtualGeometry().width(), screen->virtualGeometry().height());
  }
  bool Ours(QWindow* w) const {
    if (!w) return false;
    for (auto& [h, hw] : windows_)
      if (hw == w) return true;
    for (auto& [h, nw] : natives_)
      if (nw == w) return true;
    return false;
  }
  void TopLevelChanged(HWND top) override {
    TopLevelInfo info;
    if (!GetTopLevelInfo(top, &info)) return;
    HostWindow*& w = windows_[top];
    if (!w) w = new HostWindow(top);
    Qt::WindowFlags flags = FrameFlags(info);
    if (w->flags() != flags) w->setFlags(flags);
    w->applying = true;
    w->setTitle(QString::fromStdU16String(info.title));
    if (info.icon != w->icon) {
      w->icon = info.icon;
      // The window frame takes icons as pixmaps; this runs on the UI thread.
      const QImage picture = IconPicture(info.icon);
      w->setIcon(picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture)));
    }
    if (w->geometry() != info.rect) w->setGeometry(info.rect);
    if (info.visible && !w->isVisible()) {
      if (info.maximized)
        w->showMaximized();
      else
        w->show();
    } else if (!info.visible && w->isVisible()) {
      w->hide();
    }
    w->applying = false;
    w->update();
  }
  void TopLevelDestroyed(HWND top) override {
    for (auto n = natives_.begin(); n != natives_.end();) {
      if (n->second->parent() == windows_[top]) {
        delete n->second;
        n = natives_.erase(n);
      } else {
        ++n;
      }
    }
    auto it = windows_.find(top);
    if (it == windows_.end()) return;
    delete it->second;
    windows_.erase(it);
  }
  void Flush(HWND top) override {
    auto it = windows_.find(top);
    if (it != windows_.end()) it->second->update();
  }
  void CursorChanged(HCURSOR cursor) override {
    for (auto& [h, w] : windows_) w->setCursor(QCursor(ShapeFor(cursor)));
  }
  std::uintptr_t NativeChild(HWND child) override {
    auto it = natives_.find(child);
    if (it == natives_.end()) {
      HWND top = nullptr;
      if (!GetNativeChildInfo(child, &top, nullptr, nullptr)) return 0;
      TopLevelChanged(top);
      auto host = windows_.find(top);
      if (host == windows_.end()) return 0;
      auto* native = new QWindow(host->second);
      it = natives_.emplace(child, native).first;
      NativeChildChanged(child);
    }
    return static_cast<std::uintptr_t>(it->second->winId());
  }
  void NativeChildChanged(HWND child) override {
    auto it = natives_.find(child);
    if (it == natives_.end()) return;
    QRect rect;
    bool visible = false;
    if (!GetNativeChildInfo(child, nullptr, &rect, &visible)) return;
    it->second->setGeometry(rect);
    it->second->setVisible(visible);
  }
  bool EmbedTopLevel(HWND top, std::uintptr_t nativeParent) override {
    TopLevelChanged(top);
    auto it = windows_.find(top);
    if (it == windows_.end() || !nativeParent) return false;
    QWindow* parent = QWindow::fromWinId(static_cast<WId>(nativeParent));
    if (!parent) return false;
    it->second->setParent(parent);
    it->second->setPosition(0, 0);
    return true;
  }
  void NativeChildDestroyed(HWND child) override {
    auto it = natives_.find(child);
    if (it == natives_.end()) return;
    delete it->second;
    natives_.erase(it);
  }
  // The host window of a top-level window (tests).
  QWindow* WindowOf(HWND top) {
    auto it = windows_.find(top);
    return it == windows_.end() ? nullptr : it->second;
  }

 private:
  std::unordered_map<HWND, HostWindow*> windows_;
  std::unordered_map<HWND, QWindow*> natives_;
};

QtHost* Host() {
  static QtHost* host = new QtHost;
  return host;
}

}  // namespace

UINT VirtualKeyFromQtKey(int qtKey) { return VkFromQtKey(qtKey); }

void EnableScreenHost() {
  Host()->enabled = true;
  QtHost::ApplyScreenSize();
  SetScreenHost(Host());
}

void DisableScreenHost() {
  SetScreenHost(nullptr);
  Host()->enabled = false;
  SetScreenSize(1920, 1080);
}

QWindow* ScreenWindowOf(HWND top) { return Host()->WindowOf(top); }
