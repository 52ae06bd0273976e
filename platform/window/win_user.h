// The window system of the platform layer: window handles, the window tree,
// the UI thread's message queue, painting by invalid regions, input routing,
// focus, capture, timers, system colours and metrics. The vocabulary is the
// Win32 one the system's windows are written in; the behaviour kept is the
// one they rely on (see platform/README.md).
//
// Threads: the UI thread is the thread that first creates a window (or calls
// InitUiThread). Any thread may call PostMessage, InvalidateRect, SetTimer,
// KillTimer and the getters; calls that change a window and SendMessage from
// another thread run on the UI thread while the caller waits, as soon as the
// UI thread takes its next message.
#pragma once

#include "platform/kernel/win_types.h"

#include <atomic>
#include <functional>

struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;
struct HGDIOBJ__ {
  virtual ~HGDIOBJ__() = default;
  int gdiType = 0;                        // OBJ_PEN, OBJ_BRUSH, ...
  std::atomic<int> selectCount{0};       // DCs the object is selected into
  std::atomic<bool> deletePending{false};  // deleted while selected: freed when released
};
struct HPEN__ : HGDIOBJ__ {};
struct HBRUSH__ : HGDIOBJ__ {};
struct HFONT__ : HGDIOBJ__ {};
struct HBITMAP__ : HGDIOBJ__ {};
struct HRGN__ : HGDIOBJ__ {};
using HGDIOBJ = HGDIOBJ__*;
using HPEN = HPEN__*;
using HBRUSH = HBRUSH__*;
using HFONT = HFONT__*;
using HBITMAP = HBITMAP__*;
using HRGN = HRGN__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
using HICON = HCURSOR;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
struct HMENU__;
using HMENU = HMENU__*;
struct HHOOK__;
using HHOOK = HHOOK__*;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using ATOM = WORD;
using LONG_PTR = std::intptr_t;

struct POINT {
  LONG x = 0;
  LONG y = 0;
};
struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
};
struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;
using LPPOINT = POINT*;

// Rectangles. A rectangle holds the points left <= x < right and
// top <= y < bottom; it is empty when it holds none. Every function taking
// an out rectangle returns FALSE (and leaves it empty where Win32 does) for
// null arguments.
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL CopyRect(RECT* dst, const RECT* src);
BOOL IsRectEmpty(const RECT* r);  // TRUE for null as well
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* r, POINT p);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);  // negative values shrink
// The common part; empty (and FALSE) when they do not overlap.
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);
// The smallest rectangle holding both, ignoring an empty one; empty (and
// FALSE) when both are empty.
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr int GET_X_LPARAM(LPARAM l) { return static_cast<short>(LOWORD(static_cast<std::uintptr_t>(l))); }
constexpr int GET_Y_LPARAM(LPARAM l) { return static_cast<short>(HIWORD(static_cast<std::uintptr_t>(l))); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<DWORD>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
  return static_cast<WPARAM>(static_cast<DWORD>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr LONG MAKELONG(int lo, int hi) {
  return static_cast<LONG>(static_cast<DWORD>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)));
}
constexpr short GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<short>(HIWORD(w)); }
constexpr WORD GET_KEYSTATE_WPARAM(WPARAM w) { return LOWORD(w); }

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using HOOKPROC = LRESULT (*)(int, WPARAM, LPARAM);

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
  DWORD lPrivate = 0;  // the layer's own: MSG_INPUT for messages made by keyboard input
};
using LPMSG = MSG*;
// MSG::lPrivate of key messages that came from the keyboard (injected
// input); only those change the key state when taken from the queue, as on
// the platform, where a posted WM_KEYDOWN leaves GetKeyState alone.
constexpr DWORD MSG_INPUT = 1;

struct CREATESTRUCTW {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  int cy = 0;
  int cx = 0;
  int y = 0;
  int x = 0;
  LONG style = 0;
  LPCWSTR lpszName = nullptr;
  LPCWSTR lpszClass = nullptr;
  DWORD dwExStyle = 0;
};
using LPCREATESTRUCT = CREATESTRUCTW*;

struct WNDCLASSW {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;
  LPCWSTR lpszMenuName = nullptr;
  LPCWSTR lpszClassName = nullptr;
};

struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
};

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;
  RECT rcPaint;
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};

struct MINMAXINFO {
  POINT ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
};

struct NMHDR {
  HWND hwndFrom = nullptr;
  UINT_PTR idFrom = 0;
  UINT code = 0;
};

// Owner-drawn items.
constexpr UINT ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4, ODT_STATIC = 5;
constexpr UINT ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4;
constexpr UINT ODS_SELECTED = 0x1, ODS_GRAYED = 0x2, ODS_DISABLED = 0x4, ODS_CHECKED = 0x8,
               ODS_FOCUS = 0x10, ODS_DEFAULT = 0x20, ODS_HOTLIGHT = 0x40, ODS_INACTIVE = 0x80;
struct DRAWITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = 0;
  UINT itemState = 0;
  HWND hwndItem = nullptr;
  HDC hDC = nullptr;
  RECT rcItem;
  std::uintptr_t itemData = 0;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;
struct MEASUREITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemWidth = 0;
  UINT itemHeight = 0;
  std::uintptr_t itemData = 0;
};
using LPMEASUREITEMSTRUCT = MEASUREITEMSTRUCT*;

struct TRACKMOUSEEVENT {
  DWORD cbSize = sizeof(TRACKMOUSEEVENT);
  DWORD dwFlags = 0;
  HWND hwndTrack = nullptr;
  DWORD dwHoverTime = 0;
};

struct CWPSTRUCT {
  LPARAM lParam;
  WPARAM wParam;
  UINT message;
  HWND hwnd;
};

struct CBT_CREATEWNDW {
  CREATESTRUCTW* lpcs;
  HWND hwndInsertAfter;
};

// Messages.
constexpr UINT WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003,
               WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008,
               WM_ENABLE = 0x000A, WM_SETREDRAW = 0x000B, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D,
               WM_GETTEXTLENGTH = 0x000E, WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012,
               WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018, WM_SETCURSOR = 0x0020,
               WM_MOUSEACTIVATE = 0x0021, WM_GETMINMAXINFO = 0x0024, WM_DRAWITEM = 0x002B,
               WM_MEASUREITEM = 0x002C, WM_SETFONT = 0x0030, WM_GETFONT = 0x0031,
               WM_WINDOWPOSCHANGING = 0x0046, WM_WINDOWPOSCHANGED = 0x0047, WM_NOTIFY = 0x004E,
               WM_CONTEXTMENU = 0x007B, WM_GETICON = 0x007F, WM_NCCREATE = 0x0081, WM_NCDESTROY = 0x0082,
               WM_NCHITTEST = 0x0084, WM_NCPAINT = 0x0085, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
               WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106,
               WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112,
               WM_TIMER = 0x0113, WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115,
               WM_INITMENUPOPUP = 0x0117, WM_CTLCOLORMSGBOX = 0x0132, WM_CTLCOLOREDIT = 0x0133,
               WM_CTLCOLORLISTBOX = 0x0134, WM_CTLCOLORBTN = 0x0135, WM_CTLCOLORDLG = 0x0136,
               WM_CTLCOLORSCROLLBAR = 0x0137, WM_CTLCOLORSTATIC = 0x0138, WM_MOUSEMOVE = 0x0200,
               WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
               WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206,
               WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209,
               WM_MOUSEWHEEL = 0x020A, WM_CAPTURECHANGED = 0x0215, WM_IME_CHAR = 0x0286,
               WM_MOUSEHOVER = 0x02A1, WM_MOUSELEAVE = 0x02A3, WM_PRINT = 0x0317,
               WM_PRINTCLIENT = 0x0318, WM_USER = 0x0400, WM_APP = 0x8000;
constexpr UINT SBM_SETSCROLLINFO = 0x00E9, SBM_GETSCROLLINFO = 0x00EA;
// Mouse messages over a window's sizing edges (hit codes HTLEFT to
// HTBOTTOMRIGHT): wParam the hit code, lParam the screen point. Default
// handling of WM_NCLBUTTONDOWN on such an edge sends WM_SYSCOMMAND
// SC_SIZE + the WMSZ_ edge, whose default handling runs the sizing loop: the
// mouse is captured, every move moves that edge (the opposite edge stays,
// WM_SIZE at each step) within WM_GETMINMAXINFO's track sizes, the release
// ends it, Esc or the capture taken away puts the starting rectangle back.
constexpr UINT WM_NCMOUSEMOVE = 0x00A0, WM_NCLBUTTONDOWN = 0x00A1, WM_NCLBUTTONUP = 0x00A2,
               WM_ENTERSIZEMOVE = 0x0231, WM_EXITSIZEMOVE = 0x0232;
constexpr WPARAM SC_SIZE = 0xF000;
constexpr int WMSZ_LEFT = 1, WMSZ_RIGHT = 2, WMSZ_TOP = 3, WMSZ_TOPLEFT = 4, WMSZ_TOPRIGHT = 5, WMSZ_BOTTOM = 6,
              WMSZ_BOTTOMLEFT = 7, WMSZ_BOTTOMRIGHT = 8;
// The kinds of WM_CTLCOLOR* (message - WM_CTLCOLORMSGBOX), as CWnd::OnCtlColor
// receives them.
constexpr UINT CTLCOLOR_MSGBOX = 0, CTLCOLOR_EDIT = 1, CTLCOLOR_LISTBOX = 2, CTLCOLOR_BTN = 3,
               CTLCOLOR_DLG = 4, CTLCOLOR_SCROLLBAR = 5, CTLCOLOR_STATIC = 6;
// WM_CONTEXTMENU: wParam the window clicked, lParam the screen point, or
// (-1, -1) when asked from the keyboard (the menu key or Shift+F10). Default
// handling of WM_RBUTTONUP sends it; default handling of WM_CONTEXTMENU
// passes it to the parent of a child window.

// Notification codes.
constexpr UINT BN_CLICKED = 0, EN_CHANGE = 0x0300;
constexpr UINT NM_CLICK = static_cast<UINT>(-2), NM_DBLCLK = static_cast<UINT>(-3),
               NM_CUSTOMDRAW = static_cast<UINT>(-12), LVN_GETDISPINFOW = static_cast<UINT>(-177),
               TVN_ITEMEXPANDINGW = static_cast<UINT>(-454),
               TVN_ITEMEXPANDEDW = static_cast<UINT>(-455);

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000,
                WS_MAXIMIZE = 0x01000000, WS_CAPTION = 0x00C00000, WS_BORDER = 0x00800000,
                WS_DLGFRAME = 0x00400000, WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000,
                WS_SYSMENU = 0x00080000, WS_THICKFRAME = 0x00040000, WS_GROUP = 0x00020000,
                WS_TABSTOP = 0x00010000, WS_MINIMIZEBOX = 0x00020000, WS_MAXIMIZEBOX = 0x00010000,
                WS_OVERLAPPEDWINDOW = 0x00CF0000, WS_POPUPWINDOW = 0x80880000;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001, WS_EX_TOPMOST = 0x00000008,
                WS_EX_TRANSPARENT = 0x00000020, WS_EX_TOOLWINDOW = 0x00000080,
                WS_EX_WINDOWEDGE = 0x00000100, WS_EX_CLIENTEDGE = 0x00000200,
                WS_EX_CONTROLPARENT = 0x00010000, WS_EX_STATICEDGE = 0x00020000,
                WS_EX_LAYERED = 0x00080000, WS_EX_NOACTIVATE = 0x08000000;
// Class styles.
constexpr UINT CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008,
               CS_OWNDC = 0x0020, CS_CLASSDC = 0x0040, CS_PARENTDC = 0x0080,
               CS_NOCLOSE = 0x0200, CS_SAVEBITS = 0x0800, CS_GLOBALCLASS = 0x4000,
               CS_DROPSHADOW = 0x00020000;

// ShowWindow.
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOWMINIMIZED = 2,
              SW_SHOWMAXIMIZED = 3, SW_MAXIMIZE = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5,
              SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7, SW_SHOWNA = 8, SW_RESTORE = 9;
// WM_SIZE types.
constexpr UINT SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2;

// SetWindowPos.
constexpr UINT SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004,
               SWP_NOREDRAW = 0x0008, SWP_NOACTIVATE = 0x0010, SWP_FRAMECHANGED = 0x0020,
               SWP_SHOWWINDOW = 0x0040, SWP_HIDEWINDOW = 0x0080, SWP_NOCOPYBITS = 0x0100,
               SWP_NOOWNERZORDER = 0x0200, SWP_NOSENDCHANGING = 0x0400;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);

// GetWindowLongPtr.
constexpr int GWLP_WNDPROC = -4, GWLP_HINSTANCE = -6, GWLP_HWNDPARENT = -8, GWLP_ID = -12,
              GWL_STYLE = -16, GWL_EXSTYLE = -20, GWLP_USERDATA = -21;
constexpr int GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3,
              GW_OWNER = 4, GW_CHILD = 5;

// Hit-test codes.
constexpr int HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2,
              HTBORDER = 18;
// The sizing edges: mouse input over them arrives as WM_NCMOUSEMOVE /
// WM_NCLBUTTONDOWN / WM_NCLBUTTONUP and WM_SETCURSOR carries the code.
constexpr int HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15,
              HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17;
inline bool IsSizingHitCode(LRESULT code) { return code >= HTLEFT && code <= HTBOTTOMRIGHT; }

// WM_MOUSEACTIVATE answers.
constexpr LRESULT MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4;

// Mouse key flags.
constexpr UINT MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004,
               MK_CONTROL = 0x0008, MK_MBUTTON = 0x0010;
constexpr int WHEEL_DELTA = 120;

// TrackMouseEvent.
constexpr DWORD TME_HOVER = 0x00000001, TME_LEAVE = 0x00000002, TME_CANCEL = 0x80000000,
                HOVER_DEFAULT = 0xFFFFFFFF;

// PeekMessage.
constexpr UINT PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001;

// Virtual keys.
constexpr UINT VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04, VK_BACK = 0x08,
               VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
               VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B,
               VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
               VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D,
               VK_DELETE = 0x2E, VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B,
               VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70,
               VK_F12 = 0x7B, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC,
               VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_APPS = 0x5D,
               VK_F10 = 0x79;

// Cursors (LoadCursor with a null instance).
inline LPCWSTR const IDC_ARROW = reinterpret_cast<LPCWSTR>(32512);
inline LPCWSTR const IDC_IBEAM = reinterpret_cast<LPCWSTR>(32513);
inline LPCWSTR const IDC_WAIT = reinterpret_cast<LPCWSTR>(32514);
inline LPCWSTR const IDC_CROSS = reinterpret_cast<LPCWSTR>(32515);
inline LPCWSTR const IDC_SIZENWSE = reinterpret_cast<LPCWSTR>(32642);
inline LPCWSTR const IDC_SIZENESW = reinterpret_cast<LPCWSTR>(32643);
inline LPCWSTR const IDC_SIZEWE = reinterpret_cast<LPCWSTR>(32644);
inline LPCWSTR const IDC_SIZENS = reinterpret_cast<LPCWSTR>(32645);
inline LPCWSTR const IDC_SIZEALL = reinterpret_cast<LPCWSTR>(32646);
inline LPCWSTR const IDC_NO = reinterpret_cast<LPCWSTR>(32648);
inline LPCWSTR const IDC_HAND = reinterpret_cast<LPCWSTR>(32649);

// Hooks.
constexpr int WH_CALLWNDPROC = 4, WH_CBT = 5;
constexpr int HCBT_CREATEWND = 3, HCBT_DESTROYWND = 4;

// System colours (GetSysColor indexes).
constexpr int COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2,
              COLOR_INACTIVECAPTION = 3, COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6,
              COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9,
              COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12,
              COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15,
              COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18,
              COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20, COLOR_3DDKSHADOW = 21,
              COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24, COLOR_HOTLIGHT = 26,
              COLOR_GRADIENTACTIVECAPTION = 27, COLOR_GRADIENTINACTIVECAPTION = 28,
              COLOR_MENUHILIGHT = 29, COLOR_MENUBAR = 30, COLOR_3DFACE = COLOR_BTNFACE,
              COLOR_3DSHADOW = COLOR_BTNSHADOW, COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT,
              COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT, COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;

// System metrics.
constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3,
              SM_CYCAPTION = 4, SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXDLGFRAME = 7,
              SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11,
              SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15,
              SM_CXFULLSCREEN = 16, SM_CYFULLSCREEN = 17, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21,
              SM_CXMIN = 28, SM_CYMIN = 29, SM_CXSIZE = 30, SM_CYSIZE = 31, SM_CXFRAME = 32,
              SM_CYFRAME = 33, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37, SM_CXEDGE = 45,
              SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50, SM_CYSMCAPTION = 51,
              SM_CXMAXIMIZED = 61, SM_CYMAXIMIZED = 62, SM_CXMENUCHECK = 71,
              SM_CYMENUCHECK = 72, SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79,
              SM_CMONITORS = 80;

// ---------------------------------------------------------------------------
// Colours and metrics: one fixed table.
DWORD GetSysColor(int index);           // 0 for an unknown index
HBRUSH GetSysColorBrush(int index);     // a stock brush; null for an unknown index
int GetSystemMetrics(int index);        // 0 for an unknown index
UINT GetDoubleClickTime();              // 500 ms

// ---------------------------------------------------------------------------
// Classes and windows.

// Registers a class. Registering a name that exists returns the existing
// atom and keeps the first registration (the system re-registers freely).
// Null class name or procedure: 0.
ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* out);
// Creates a window. The class must be registered; x/y/cx/cy are in the
// parent's client coordinates (screen coordinates for top-level windows);
// hMenu is the child id for WS_CHILD windows. Sends WM_NCCREATE, WM_CREATE
// (a result of -1 destroys the window and returns null), then WM_SIZE and
// WM_MOVE, and shows it when WS_VISIBLE is set.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int cx, int cy, HWND parent, HMENU hMenu, HINSTANCE, void* param);
// Destroys the window and its children: WM_DESTROY parent first, then
// WM_NCDESTROY children first. Its handle is never reused.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetParent(HWND hwnd);
HWND SetParent(HWND hwnd, HWND newParent);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetTopWindow(HWND hwnd);
constexpr UINT GA_PARENT = 1, GA_ROOT = 2;
HWND GetAncestor(HWND hwnd, UINT flags);  // GA_ROOT: the top-level window holding hwnd
HWND GetDlgItem(HWND parent, int id);
int GetDlgCtrlID(HWND hwnd);
int GetClassNameW(HWND hwnd, LPWSTR out, int capacity);
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Enumerates the children (and their children) in tree order; stops when
// the callback returns FALSE.
BOOL EnumChildWindows(HWND parent, const std::function<BOOL(HWND)>& callback);
// The top-level windows whose title equals title (null class and title
// match any); null when none.
HWND FindWindowW(LPCWSTR className, LPCWSTR title);

BOOL GetWindowRect(HWND hwnd, RECT* rect);  // screen coordinates
BOOL GetClientRect(HWND hwnd, RECT* rect);  // (0, 0, width, height)
BOOL ClientToScreen(HWND hwnd, POINT* pt);
BOOL ScreenToClient(HWND hwnd, POINT* pt);
int MapWindowPoints(HWND from, HWND to, POINT* pts, UINT count);
BOOL MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL repaint);
// Moves, sizes and orders; WM_WINDOWPOSCHANGING, then WM_WINDOWPOSCHANGED
// whose default handling sends WM_MOVE and WM_SIZE, all before returning.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL BringWindowToTop(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);  // the previous visibility
BOOL IsWindowVisible(HWND hwnd);      // the window and all its ancestors visible
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);  // TRUE when it was disabled before
BOOL IsWindowEnabled(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR out, int capacity);  // units copied, cut at capacity-1
int GetWindowTextLengthW(HWND hwnd);
WString GetWindowTextString(HWND hwnd);
HWND WindowFromPoint(POINT screenPt);
HWND ChildWindowFromPoint(HWND parent, POINT clientPt);

// ---------------------------------------------------------------------------
// Messages.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Posts to the UI thread's queue with no window (hwnd null in the MSG);
// FALSE for any other thread id (only the UI thread has a queue), except the
// UI thread of another joined process (see "Between processes" below).
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Waits for the next message; FALSE for WM_QUIT. Only on the UI thread.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
DWORD GetMessageTime();
// TRUE while the UI thread runs a handler for a message another thread sent
// with SendMessage; FALSE in a handler for a send from the UI thread itself
// or for a posted message, and on any other thread.
BOOL InSendMessage();

// ---------------------------------------------------------------------------
// Between processes.
//
// A program joins the user's message ports once, at start, from its UI
// thread, before it creates windows (JoinMessagePorts; folder empty: the
// folder inherited from the starter, else the private runtime folder; tests
// give a folder of their own). From then on its window handles carry its
// instance number in their high half, its UI thread id is unique among the
// user's processes, and the functions below reach windows and UI threads of
// the other joined processes of the folder. False (with one trace) when the
// folder is unusable: every cross-process call then behaves as if no other
// process existed.
//
// What crosses: message numbers and WPARAM/LPARAM as integers, unchanged.
// WM_COPYDATA is the one exception: the sender's COPYDATASTRUCT and its
// cbData bytes are copied; the receiver's lParam points at its own copy,
// valid only during the call (the layer frees it afterwards). No other
// pointer parameter is marshalled: a pointer sent to another process is a
// meaningless number there.
//
// Sends to another process's window run its handler on that process's UI
// thread (InSendMessage TRUE there) and return its result. The sender waits
// at most the cross-process send time-out (SendMessageW) or its own
// (SendMessageTimeoutW); meanwhile, when it is the UI thread, it runs the
// sends other processes and its own worker threads make to it, and nothing
// else (no posted message, input, paint or timer), so two processes sending
// to each other never deadlock. On time-out: 0, GetLastError()
// ERROR_TIMEOUT, and the late reply is discarded. A peer that has ended or
// closes during the send: 0 at once, ERROR_INVALID_WINDOW_HANDLE. A
// WM_COPYDATA with a null COPYDATASTRUCT, a null lpData with a non-zero
// cbData or cbData above kCopyDataMax is refused without sending:
// ERROR_INVALID_PARAMETER.
//
// Posts (PostMessageW, PostThreadMessageW): TRUE once handed to the other
// process's port, FALSE when it has no port or has ended. Posts from one
// process to another arrive in order. A post to a window that no longer
// exists is dropped by the receiver with a trace.
//
// FindWindowW looks at the calling process's windows first, then asks every
// other port; a process that does not answer within 500 ms is skipped with a
// trace. IsWindow, GetWindowThreadProcessId, GetWindowTextW, GetWindowRect,
// ShowWindow, SetForegroundWindow and GetNativeWindowId on another process's
// handle are answered by its owner. Every other function fails for such a
// handle as for an invalid one.
constexpr UINT WM_COPYDATA = 0x004A;
constexpr DWORD kCopyDataMax = 16u << 20;
struct COPYDATASTRUCT {
  std::uintptr_t dwData;
  DWORD cbData;
  void* lpData;
};
using PCOPYDATASTRUCT = COPYDATASTRUCT*;
constexpr UINT SMTO_NORMAL = 0x0000, SMTO_BLOCK = 0x0001, SMTO_ABORTIFHUNG = 0x0002;

bool JoinMessagePorts(const std::string& folder = std::string());
// The send time-out for SendMessageW to another process (5,000 ms until set).
void SetCrossProcessSendTimeout(DWORD ms);
DWORD CrossProcessSendTimeout();
// 0 on failure or time-out (GetLastError says which), non-zero on success
// with the handler's result in *result (optional). In the calling process it
// behaves as SendMessageW.
LRESULT SendMessageTimeoutW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            std::uintptr_t* result);
// The UI thread id of the window's process (0 for no window); *processId
// (optional) receives its process id.
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// Painting.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);  // null rect: the client area
BOOL InvalidateRgn(HWND hwnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL UpdateWindow(HWND hwnd);  // paints hwnd now if it is invalid
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
constexpr UINT RDW_INVALIDATE = 0x0001, RDW_INTERNALPAINT = 0x0002, RDW_ERASE = 0x0004,
               RDW_VALIDATE = 0x0008, RDW_NOERASE = 0x0020, RDW_ALLCHILDREN = 0x0080,
               RDW_UPDATENOW = 0x0100, RDW_ERASENOW = 0x0200, RDW_FRAME = 0x0400,
               RDW_NOCHILDREN = 0x0040;
BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN rgn, UINT flags);
// Scrolling the client area's picture: the pixels of the scroll rectangle
// (null: the client area) inside the clip rectangle (null: the client area)
// move by dx, dy; what they uncover is returned in rgnUpdate/rcUpdate and,
// with SW_INVALIDATE, invalidated (erased with SW_ERASE). SW_SCROLLCHILDREN
// moves the child windows the scroll rectangle holds along. ScrollWindow is
// ScrollWindowEx with SW_INVALIDATE | SW_ERASE, moving every child when
// rect is null. Returns the region kind of the uncovered part (ERROR for an
// invalid window).
constexpr UINT SW_SCROLLCHILDREN = 0x0001, SW_INVALIDATE = 0x0002, SW_ERASE = 0x0004;
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN rgnUpdate,
                   RECT* rcUpdate, UINT flags);
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HDC GetDC(HWND hwnd);        // client area; null hwnd: a memory screen DC
HDC GetWindowDC(HWND hwnd);  // whole window including the frame
int ReleaseDC(HWND hwnd, HDC hdc);

// ---------------------------------------------------------------------------
// Input, focus, capture, cursors, caret, clipboard.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
short GetKeyState(int vk);
short GetAsyncKeyState(int vk);
BOOL GetCursorPos(POINT* pt);
BOOL SetCursorPos(int x, int y);
HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
int CursorShapeOf(HCURSOR cursor);  // the IDC_ number of a standard cursor, 0 otherwise
BOOL TrackMouseEvent(TRACKMOUSEEVENT* tme);
inline BOOL _TrackMouseEvent(TRACKMOUSEEVENT* tme) { return TrackMouseEvent(tme); }
BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height);
BOOL SetCaretPos(int x, int y);
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
BOOL DestroyCaret();
BOOL GetCaretPos(POINT* pt);
// Clipboard text (UTF-16), process-wide; on screen it also goes through
// the desktop's clipboard.
BOOL SetClipboardText(const WString& text);
WString GetClipboardText();

// A native window covering the child window, kept over it as it moves, for
// another process to embed into (the browser view); 0 when hwnd is not a
// child window. Without a screen host (the test desktop) the answer is a
// non-zero token naming the child window. For another process's window its
// owner answers.
std::uintptr_t GetNativeWindowId(HWND hwnd);

// Embedding, client side: puts this process's top-level window own inside
// slot, a child window of another process (the slot), at (0, 0). From then
// on own keeps the slot's size and shows and hides with it; when the slot is
// destroyed or its process ends, own is destroyed (WM_DESTROY tells the
// program). On screen (xcb) own's native window is reparented into the
// slot's; without a screen the client renders offscreen at the slot's size
// and the slot's test desktop lists the attach (TestDesktop::Embeddings).
// FALSE (GetLastError set) when own is not a top-level window of this
// process or the slot cannot be reached.
BOOL EmbedIntoWindow(HWND own, HWND slot);

// ---------------------------------------------------------------------------
// Timers.
// Sets or restarts (same window and id) a timer; WM_TIMER arrives when the
// queue has nothing else. A null window makes a new id. 0 on failure.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// ---------------------------------------------------------------------------
// The UI thread and the clock.
void InitUiThread();   // makes the calling thread the UI thread
bool IsUiThread();
DWORD GetUiThreadId();  // the kernel's GetCurrentThreadId of the UI thread; 0 before one exists
// Milliseconds of the window system's clock: the kernel clock
// (GetTickCount64), which a test's ManualClock drives.
ULONGLONG UiTickCount64();
// Runs fn on the UI thread and waits for it (runs it at once on the UI
// thread or before any UI thread exists).
void RunOnUiThread(const std::function<void()>& fn);

// Message-box sink: while set, MessageBoxW calls it instead of showing a box;
// its result is the box's answer.
using MessageBoxSink = std::function<int(HWND owner, const WString& text, const WString& caption,
                                         UINT type)>;
void SetMessageBoxSink(MessageBoxSink sink);
constexpr UINT MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
               MB_ICONHAND = 0x10, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
               MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40,
               MB_ICONASTERISK = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6,
              IDNO = 7;
// With no sink and no message-box window class registered by the controls
// library, it traces the text and answers IDOK (or IDYES).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// The controls library installs the real box here.
void SetMessageBoxImplementation(MessageBoxSink impl);

inline const WCHAR* MAKEINTRESOURCEW(int id) {
  return reinterpret_cast<const WCHAR*>(static_cast<std::uintptr_t>(id));
}

// ---------------------------------------------------------------------------
// Caption-less frames: non-client presses, system commands, the work area and
// the input method's key.

// Sent by the layer when a left press lands where the window's WM_NCHITTEST
// answers something other than HTCLIENT, HTTRANSPARENT, HTNOWHERE or HTERROR
// (wParam the hit code, lParam the screen point); a second press within the
// double-click time and distance gives WM_NCLBUTTONDBLCLK whatever the class
// style. Default handling on a top-level window with HTCAPTION: the press
// moves the window with the mouse until the button is released (not while
// maximised), the double click maximises or restores it (WM_SYSCOMMAND).
constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;  // WM_NCLBUTTONDOWN is with the sizing edges above

// WM_SYSCOMMAND (wParam). Default handling on a top-level window: minimise,
// maximise to the work area (WM_GETMINMAXINFO is asked first), restore the
// rectangle it had before. IsZoomed and IsIconic follow; so does ShowWindow
// with SW_MAXIMIZE, SW_MINIMIZE and SW_RESTORE.
constexpr WPARAM SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_RESTORE = 0xF120;

// SystemParametersInfoW(SPI_GETWORKAREA, 0, RECT*, 0): the screen less the
// task bar (40 pixels along the bottom), in screen coordinates. Other actions
// answer FALSE.
constexpr UINT SPI_GETWORKAREA = 0x0030;
BOOL SystemParametersInfoW(UINT action, UINT param, void* value, UINT winIni);

// The input method's key: the layer never produces VK_PROCESSKEY (its
// commits arrive as characters), so there is no pending key and the answer
// is 0.
constexpr UINT VK_PROCESSKEY = 0xE5;
UINT ImmGetVirtualKey(HWND hwnd);
