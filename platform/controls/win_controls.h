// The standard controls, menus, dialogs and message boxes of the window
// system: the layer's own BUTTON, EDIT, STATIC, SCROLLBAR, LISTBOX,
// COMBOBOX, msctls_progress32 and msctls_updown32 classes, pop-up menus of
// the "#32768" class tracked in a modal loop, dialogs ("#32770") made from
// templates in dialog units, and the message box. Each control paints with
// the layer's GDI in the classic look (the system colour table) and keeps the
// platform's behaviour that the system's windows rely on (platform/README.md
// lists it).
//
// The classes are registered the first time any window is created; the
// message box is installed as the window system's implementation at the
// same moment. Everything here runs on the UI thread (calls from other
// threads are forwarded by SendMessage and the window functions).
#pragma once

#include "platform/gdi/win_gdi.h"

#include <vector>

// ---------------------------------------------------------------------------
// Registration.

// Registers the control classes and installs the message box (idempotent).
void RegisterStandardControls();

// Class names.
inline constexpr const WCHAR* WC_BUTTON = u"Button";
inline constexpr const WCHAR* WC_EDIT = u"Edit";
inline constexpr const WCHAR* WC_STATIC = u"Static";
inline constexpr const WCHAR* WC_SCROLLBAR = u"ScrollBar";
inline constexpr const WCHAR* WC_LISTBOX = u"ListBox";
inline constexpr const WCHAR* WC_COMBOBOX = u"ComboBox";
inline constexpr const WCHAR* PROGRESS_CLASS = u"msctls_progress32";
inline constexpr const WCHAR* UPDOWN_CLASS = u"msctls_updown32";
inline constexpr const WCHAR* WC_DIALOG = u"#32770";
inline constexpr const WCHAR* WC_POPUPMENU = u"#32768";

// Dialog codes (WM_GETDLGCODE answers).
constexpr UINT WM_GETDLGCODE = 0x0087, WM_NEXTDLGCTL = 0x0028;
constexpr LRESULT DLGC_WANTARROWS = 0x1, DLGC_WANTTAB = 0x2, DLGC_WANTALLKEYS = 0x4,
                  DLGC_WANTMESSAGE = 0x4, DLGC_HASSETSEL = 0x8, DLGC_DEFPUSHBUTTON = 0x10,
                  DLGC_UNDEFPUSHBUTTON = 0x20, DLGC_RADIOBUTTON = 0x40, DLGC_WANTCHARS = 0x80,
                  DLGC_STATIC = 0x100, DLGC_BUTTON = 0x2000;

// ---------------------------------------------------------------------------
// Button.
constexpr DWORD BS_PUSHBUTTON = 0x0, BS_DEFPUSHBUTTON = 0x1, BS_CHECKBOX = 0x2,
                BS_AUTOCHECKBOX = 0x3, BS_RADIOBUTTON = 0x4, BS_3STATE = 0x5, BS_AUTO3STATE = 0x6,
                BS_GROUPBOX = 0x7, BS_AUTORADIOBUTTON = 0x9, BS_OWNERDRAW = 0xB,
                BS_TYPEMASK = 0xF, BS_LEFTTEXT = 0x20, BS_FLAT = 0x8000, BS_NOTIFY = 0x4000;
constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2,
               BM_SETSTATE = 0x00F3, BM_SETSTYLE = 0x00F4, BM_CLICK = 0x00F5;
constexpr UINT BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4,
               BST_FOCUS = 8;
constexpr UINT BN_PAINT = 1, BN_DISABLE = 4, BN_DOUBLECLICKED = 5, BN_SETFOCUS = 6,
               BN_KILLFOCUS = 7;

// ---------------------------------------------------------------------------
// Edit.
constexpr DWORD ES_LEFT = 0x0, ES_CENTER = 0x1, ES_RIGHT = 0x2, ES_MULTILINE = 0x4,
                ES_UPPERCASE = 0x8, ES_LOWERCASE = 0x10, ES_PASSWORD = 0x20,
                ES_AUTOVSCROLL = 0x40, ES_AUTOHSCROLL = 0x80, ES_NOHIDESEL = 0x100,
                ES_READONLY = 0x800, ES_WANTRETURN = 0x1000, ES_NUMBER = 0x2000;
constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETRECT = 0x00B2, EM_SCROLL = 0x00B5,
               EM_LINESCROLL = 0x00B6, EM_SCROLLCARET = 0x00B7, EM_GETMODIFY = 0x00B8,
               EM_SETMODIFY = 0x00B9, EM_GETLINECOUNT = 0x00BA, EM_LINEINDEX = 0x00BB,
               EM_LINELENGTH = 0x00C1, EM_REPLACESEL = 0x00C2, EM_GETLINE = 0x00C4,
               EM_LIMITTEXT = 0x00C5, EM_SETLIMITTEXT = 0x00C5, EM_CANUNDO = 0x00C6,
               EM_UNDO = 0x00C7, EM_LINEFROMCHAR = 0x00C9, EM_SETPASSWORDCHAR = 0x00CC,
               EM_EMPTYUNDOBUFFER = 0x00CD, EM_GETFIRSTVISIBLELINE = 0x00CE,
               EM_SETREADONLY = 0x00CF, EM_GETPASSWORDCHAR = 0x00D2, EM_GETLIMITTEXT = 0x00D5;
constexpr UINT WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302, WM_CLEAR = 0x0303,
               WM_UNDO = 0x0304;
constexpr UINT EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_UPDATE = 0x0400,
               EN_MAXTEXT = 0x0501, EN_VSCROLL = 0x0602;

// ---------------------------------------------------------------------------
// Static.
constexpr DWORD SS_LEFT = 0x0, SS_CENTER = 0x1, SS_RIGHT = 0x2, SS_BLACKRECT = 0x4,
                SS_GRAYRECT = 0x5, SS_WHITERECT = 0x6, SS_BLACKFRAME = 0x7, SS_SIMPLE = 0xB,
                SS_LEFTNOWORDWRAP = 0xC, SS_OWNERDRAW = 0xD, SS_ETCHEDHORZ = 0x10,
                SS_ETCHEDVERT = 0x11, SS_ETCHEDFRAME = 0x12, SS_TYPEMASK = 0x1F,
                SS_NOPREFIX = 0x80, SS_NOTIFY = 0x100, SS_CENTERIMAGE = 0x200,
                SS_ENDELLIPSIS = 0x4000, SS_SUNKEN = 0x1000;
constexpr UINT STN_CLICKED = 0, STN_DBLCLK = 1;

// ---------------------------------------------------------------------------
// Scroll bars: the SCROLLBAR control (SB_CTL) and the bars of windows with
// WS_VSCROLL/WS_HSCROLL (SB_VERT/SB_HORZ), which are kept as scroll-bar
// children along the right and bottom edges of the client area and tell the
// window by WM_VSCROLL/WM_HSCROLL with a null bar handle.
constexpr DWORD SBS_HORZ = 0x0, SBS_VERT = 0x1;
constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
constexpr UINT SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1,
               SB_PAGEUP = 2, SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3,
               SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6,
               SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
constexpr UINT SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
               SIF_TRACKPOS = 0x10, SIF_ALL = 0x17;
constexpr UINT SBM_SETPOS = 0x00E0, SBM_GETPOS = 0x00E1, SBM_SETRANGE = 0x00E2,
               SBM_GETRANGE = 0x00E3;
struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0;
  int nMax = 0;
  UINT nPage = 0;
  int nPos = 0;
  int nTrackPos = 0;
};
using LPSCROLLINFO = SCROLLINFO*;
using LPCSCROLLINFO = const SCROLLINFO*;
// For SB_CTL these arrive at the bar as SBM_SETSCROLLINFO/SBM_GETSCROLLINFO
// so a subclass sees them. The position is kept within [nMin, nMax - page + 1].
int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO si, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO si);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);  // the previous position
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw);
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
// The child that shows a window's SB_VERT/SB_HORZ bar (null when none yet).
HWND GetWindowScrollBar(HWND hwnd, int bar);

// ---------------------------------------------------------------------------
// List box and combo box.
constexpr DWORD LBS_NOTIFY = 0x1, LBS_SORT = 0x2, LBS_NOINTEGRALHEIGHT = 0x100,
                LBS_HASSTRINGS = 0x40, LBS_STANDARD = 0xA00003;
constexpr UINT LB_ADDSTRING = 0x0180, LB_INSERTSTRING = 0x0181, LB_DELETESTRING = 0x0182,
               LB_RESETCONTENT = 0x0184, LB_SETSEL = 0x0185, LB_SETCURSEL = 0x0186,
               LB_GETCURSEL = 0x0188, LB_GETTEXT = 0x0189, LB_GETTEXTLEN = 0x018A,
               LB_GETCOUNT = 0x018B, LB_GETTOPINDEX = 0x018E, LB_FINDSTRING = 0x018F,
               LB_SETTOPINDEX = 0x0197, LB_GETITEMDATA = 0x0199, LB_SETITEMDATA = 0x019A,
               LB_GETITEMHEIGHT = 0x01A1, LB_FINDSTRINGEXACT = 0x01A2;
constexpr int LB_ERR = -1;
constexpr UINT LBN_SELCHANGE = 1, LBN_DBLCLK = 2;
constexpr DWORD CBS_SIMPLE = 0x1, CBS_DROPDOWN = 0x2, CBS_DROPDOWNLIST = 0x3, CBS_SORT = 0x100,
                CBS_AUTOHSCROLL = 0x40, CBS_HASSTRINGS = 0x200;
constexpr UINT CB_GETEDITSEL = 0x0140, CB_LIMITTEXT = 0x0141, CB_ADDSTRING = 0x0143,
               CB_DELETESTRING = 0x0144, CB_GETCOUNT = 0x0146, CB_GETCURSEL = 0x0147,
               CB_GETLBTEXT = 0x0148, CB_GETLBTEXTLEN = 0x0149, CB_INSERTSTRING = 0x014A,
               CB_RESETCONTENT = 0x014B, CB_FINDSTRING = 0x014C, CB_SETCURSEL = 0x014E,
               CB_SHOWDROPDOWN = 0x014F, CB_GETITEMDATA = 0x0150, CB_SETITEMDATA = 0x0151,
               CB_GETDROPPEDSTATE = 0x0157, CB_FINDSTRINGEXACT = 0x0158;
constexpr int CB_ERR = -1;
constexpr UINT CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_EDITCHANGE = 5, CBN_DROPDOWN = 7,
               CBN_CLOSEUP = 8, CBN_SELENDOK = 9;

// ---------------------------------------------------------------------------
// Progress bar and up-down control.
constexpr UINT PBM_SETRANGE = 0x0401, PBM_SETPOS = 0x0402, PBM_DELTAPOS = 0x0403,
               PBM_SETSTEP = 0x0404, PBM_STEPIT = 0x0405, PBM_SETRANGE32 = 0x0406,
               PBM_GETRANGE = 0x0407, PBM_GETPOS = 0x0408, PBM_SETBARCOLOR = 0x0409,
               PBM_SETBKCOLOR = 0x2001;
constexpr DWORD UDS_WRAP = 0x1, UDS_SETBUDDYINT = 0x2, UDS_ALIGNRIGHT = 0x4,
                UDS_ARROWKEYS = 0x20, UDS_HORZ = 0x40;
constexpr UINT UDM_SETRANGE = 0x0465, UDM_GETRANGE = 0x0466, UDM_SETPOS = 0x0467,
               UDM_GETPOS = 0x0468, UDM_SETRANGE32 = 0x046F, UDM_GETRANGE32 = 0x0470,
               UDM_SETPOS32 = 0x0471, UDM_GETPOS32 = 0x0472;
constexpr UINT UDN_DELTAPOS = static_cast<UINT>(-722);
// The default range is 100 (bottom) .. 0 (top): the upper arrow asks for a
// delta of -1 and the lower one +1.
struct NMUPDOWN {
  NMHDR hdr;
  int iPos = 0;
  int iDelta = 0;
};

// ---------------------------------------------------------------------------
// Menus.
constexpr UINT MF_STRING = 0x0, MF_BYCOMMAND = 0x0, MF_ENABLED = 0x0, MF_UNCHECKED = 0x0,
               MF_GRAYED = 0x1, MF_DISABLED = 0x2, MF_CHECKED = 0x8, MF_POPUP = 0x10,
               MF_HILITE = 0x80, MF_OWNERDRAW = 0x100, MF_BYPOSITION = 0x400,
               MF_SEPARATOR = 0x800, MF_DEFAULT = 0x1000;
constexpr UINT MFT_STRING = 0x0, MFT_OWNERDRAW = 0x100, MFT_SEPARATOR = 0x800,
               MFS_GRAYED = 0x3, MFS_CHECKED = 0x8, MFS_HILITE = 0x80;
constexpr UINT MIIM_STATE = 0x1, MIIM_ID = 0x2, MIIM_SUBMENU = 0x4, MIIM_DATA = 0x20,
               MIIM_TYPE = 0x10, MIIM_STRING = 0x40, MIIM_FTYPE = 0x100;
constexpr UINT TPM_LEFTALIGN = 0x0, TPM_CENTERALIGN = 0x4, TPM_RIGHTALIGN = 0x8,
               TPM_TOPALIGN = 0x0, TPM_VCENTERALIGN = 0x10, TPM_BOTTOMALIGN = 0x20,
               TPM_LEFTBUTTON = 0x0, TPM_RIGHTBUTTON = 0x2, TPM_NONOTIFY = 0x80,
               TPM_RETURNCMD = 0x100;
constexpr UINT WM_MENUSELECT = 0x011F, WM_ENTERMENULOOP = 0x0211, WM_EXITMENULOOP = 0x0212;
struct MENUITEMINFOW {
  UINT cbSize = sizeof(MENUITEMINFOW);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = nullptr;
  HBITMAP hbmpChecked = nullptr;
  HBITMAP hbmpUnchecked = nullptr;
  std::uintptr_t dwItemData = 0;
  LPWSTR dwTypeData = nullptr;
  UINT cch = 0;
  HBITMAP hbmpItem = nullptr;
};
HMENU CreatePopupMenu();
HMENU CreateMenu();
BOOL DestroyMenu(HMENU menu);  // destroys its submenus too
BOOL IsMenu(HMENU menu);
// Items: a string (MF_STRING), a separator, an owner-drawn item whose
// text pointer is its item data, or a submenu (MF_POPUP: id is the HMENU).
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);  // -1 for submenus and bad positions
HMENU GetSubMenu(HMENU menu, int position);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);  // -1 when absent
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);  // the previous state, -1 when absent
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR out, int capacity, UINT flags);
// Shows the menu at the screen point and tracks it in a modal loop on the
// UI thread: Up/Down move, Right/Enter open a submenu, Left/Esc close one
// level, Enter or a click chooses; a click outside every menu window
// dismisses. Owner-drawn items are measured once (WM_MEASUREITEM to the
// owner) and drawn by WM_DRAWITEM on every paint and highlight change. The
// choice arrives at the owner as WM_COMMAND(id) (posted) unless
// TPM_RETURNCMD, which returns it; dismissing returns 0 and sends nothing.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
// Dismisses the menu being tracked (as Esc on its first level would); FALSE
// when none is. A menu is also dismissed when another window becomes active
// (the owner lost the focus) and, on screen, when the user presses in another
// program's window (the host calls EndMenu then).
BOOL EndMenu();
// The menu a "#32768" window shows (null for other windows).
HMENU MenuOfMenuWindow(HWND hwnd);

// ---------------------------------------------------------------------------
// Dialogs.
constexpr DWORD DS_ABSALIGN = 0x01, DS_SYSMODAL = 0x02, DS_SETFONT = 0x40, DS_MODALFRAME = 0x80,
                DS_FIXEDSYS = 0x0008, DS_CENTER = 0x0800, DS_CONTROL = 0x0400,
                DS_SHELLFONT = 0x48;
constexpr UINT DM_GETDEFID = WM_USER + 0, DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;
constexpr UINT WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

// One control of a template: id, class, text, style (WS_CHILD and
// WS_VISIBLE are added unless the style holds WS_POPUP), position and size
// in dialog units.
struct DialogItem {
  int id = 0;
  const WCHAR* className = nullptr;
  const WCHAR* text = nullptr;
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD exStyle = 0;
};
// A dialog template in dialog units with its font (point size and face;
// "MS Shell Dlg" when the face is null).
struct DialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  const WCHAR* caption = nullptr;
  int pointSize = 8;
  const WCHAR* fontFace = nullptr;
  std::vector<DialogItem> items;
};
// Templates kept by resource id (a program's tables register themselves),
// per resource module: a loaded library (a plug-in) registers and finds its
// own while its module is the calling thread's current resource module, so
// its ids never clash with the program's.
void RegisterDialogTemplate(int id, const DialogTemplate* tmpl);
// The current module's template first, then the program's; null for none.
const DialogTemplate* FindDialogTemplate(int id);
// Forgets every template of module (a library about to be unloaded).
void ForgetDialogTemplates(HINSTANCE module);

// The calling thread's current resource module (null: the program's own).
HINSTANCE GetResourceModule();
// Makes module current; returns the previous one.
HINSTANCE SetResourceModule(HINSTANCE module);
// Makes a module current for a scope and restores the caller's on leaving
// it, also when the scope is left by an exception.
class ResourceModuleScope {
 public:
  explicit ResourceModuleScope(HINSTANCE module) : previous_(SetResourceModule(module)) {}
  ~ResourceModuleScope() { SetResourceModule(previous_); }
  ResourceModuleScope(const ResourceModuleScope&) = delete;
  ResourceModuleScope& operator=(const ResourceModuleScope&) = delete;

 private:
  HINSTANCE previous_;
};

// A module's own message filter (a plug-in's application object). While that
// module is the UI thread's current resource module, the layer's loops (the
// application's, modal dialogs and message boxes, the idle pump) offer every
// message to it before anything else; TRUE means it is handled. Null removes it (before the
// library unloads).
void SetModuleMessageFilter(HINSTANCE module, BOOL (*filter)(MSG*));
// Runs the current module's filter, if it has one.
BOOL RunModuleMessageFilter(MSG* msg);

// Dialog base units of a font: the average character width and the
// character height in pixels.
SIZE DialogBaseUnits(HFONT font);
// Converts a rectangle in dialog units of the dialog's font to pixels.
BOOL MapDialogRect(HWND dlg, RECT* rect);
// The font a template asks for (a shared object per face and size).
HFONT DialogTemplateFont(const DialogTemplate& tmpl);

// A dialog from a template, hidden until its controls exist and
// WM_INITDIALOG has run (whose TRUE answer focuses the first tab stop).
// created(hwnd) runs right after the dialog window exists, before its
// controls, so a framework object can take it over.
HWND CreateDialogIndirectParamW(HINSTANCE, const DialogTemplate* tmpl, HWND parent, DLGPROC proc,
                                LPARAM param, const std::function<void(HWND)>& created = {});
// The modal form: disables the owner's top-level window, runs a nested
// loop until EndDialog, re-enables and re-activates the owner, destroys the
// dialog and returns the EndDialog code (-1 when it could not be made).
INT_PTR DialogBoxIndirectParamW(HINSTANCE, const DialogTemplate* tmpl, HWND parent, DLGPROC proc,
                                LPARAM param, const std::function<void(HWND)>& created = {});
// Runs a modal loop for an existing dialog window (the pieces of
// DialogBoxIndirectParamW after creation). filter may take a message first.
INT_PTR RunModalDialog(HWND dlg, HWND owner, BOOL (*filter)(MSG*) = nullptr);
BOOL EndDialog(HWND dlg, INT_PTR result);
BOOL IsDialogEnded(HWND dlg);
// Keyboard of a dialog: Tab/Shift+Tab over WS_TABSTOP controls, arrows
// within a WS_GROUP group, Enter for the default button, Esc for IDCANCEL.
// TRUE when the message was for the dialog (and is now handled).
BOOL IsDialogMessageW(HWND dlg, MSG* msg);
HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous);
HWND GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous);
BOOL SetDlgItemTextW(HWND dlg, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dlg, int id, LPWSTR out, int capacity);
BOOL SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dlg, int id, UINT check);
UINT IsDlgButtonChecked(HWND dlg, int id);
BOOL CheckRadioButton(HWND dlg, int firstId, int lastId, int checkId);
LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------------------
// List view (report mode).
inline constexpr const WCHAR* WC_LISTVIEW = u"SysListView32";
constexpr DWORD LVS_ICON = 0x0, LVS_REPORT = 0x1, LVS_SINGLESEL = 0x4, LVS_SHOWSELALWAYS = 0x8,
                LVS_OWNERDATA = 0x1000, LVS_NOCOLUMNHEADER = 0x4000, LVS_NOSORTHEADER = 0x8000;
constexpr DWORD LVS_EX_GRIDLINES = 0x1, LVS_EX_CHECKBOXES = 0x4, LVS_EX_HEADERDRAGDROP = 0x10,
                LVS_EX_FULLROWSELECT = 0x20;
constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_SETBKCOLOR = LVM_FIRST + 1, LVM_GETITEMCOUNT = LVM_FIRST + 4,
               LVM_DELETEITEM = LVM_FIRST + 8, LVM_DELETEALLITEMS = LVM_FIRST + 9,
               LVM_GETNEXTITEM = LVM_FIRST + 12, LVM_GETITEMRECT = LVM_FIRST + 14,
               LVM_HITTEST = LVM_FIRST + 18, LVM_ENSUREVISIBLE = LVM_FIRST + 19,
               LVM_DELETECOLUMN = LVM_FIRST + 28, LVM_GETCOLUMNWIDTH = LVM_FIRST + 29,
               LVM_SETCOLUMNWIDTH = LVM_FIRST + 30, LVM_SETTEXTCOLOR = LVM_FIRST + 36,
               LVM_SETTEXTBKCOLOR = LVM_FIRST + 38, LVM_GETTOPINDEX = LVM_FIRST + 39,
               LVM_GETCOUNTPERPAGE = LVM_FIRST + 40, LVM_SETITEMSTATE = LVM_FIRST + 43,
               LVM_GETITEMSTATE = LVM_FIRST + 44, LVM_SETITEMCOUNT = LVM_FIRST + 47,
               LVM_GETSELECTEDCOUNT = LVM_FIRST + 50, LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54,
               LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55, LVM_GETSUBITEMRECT = LVM_FIRST + 56,
               LVM_SUBITEMHITTEST = LVM_FIRST + 57, LVM_GETSELECTIONMARK = LVM_FIRST + 66,
               LVM_SETSELECTIONMARK = LVM_FIRST + 67, LVM_GETITEMW = LVM_FIRST + 75,
               LVM_SETITEMW = LVM_FIRST + 76, LVM_INSERTITEMW = LVM_FIRST + 77,
               LVM_INSERTCOLUMNW = LVM_FIRST + 97, LVM_GETITEMTEXTW = LVM_FIRST + 115,
               LVM_SETITEMTEXTW = LVM_FIRST + 116;
constexpr UINT LVIF_TEXT = 0x1, LVIF_IMAGE = 0x2, LVIF_PARAM = 0x4, LVIF_STATE = 0x8;
constexpr UINT LVIS_FOCUSED = 0x1, LVIS_SELECTED = 0x2, LVIS_STATEIMAGEMASK = 0xF000;
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT i) { return i << 12; }
constexpr UINT LVNI_ALL = 0x0, LVNI_FOCUSED = 0x1, LVNI_SELECTED = 0x2;
constexpr int LVIR_BOUNDS = 0, LVIR_ICON = 1, LVIR_LABEL = 2;
constexpr UINT LVCF_FMT = 0x1, LVCF_WIDTH = 0x2, LVCF_TEXT = 0x4, LVCF_SUBITEM = 0x8;
constexpr int LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2;
constexpr UINT LVN_ITEMCHANGED = static_cast<UINT>(-101), LVN_COLUMNCLICK = static_cast<UINT>(-108),
               NM_RCLICK = static_cast<UINT>(-5);
// The column header of a report list view: its notifications reach the list
// view's parent in WM_NOTIFY with an NMHEADERW (hwndFrom and idFrom those of
// the list view). A press on a column and its release on the same column
// give HDN_ITEMCLICKW, then LVN_COLUMNCLICK (NMLISTVIEW, iItem -1,
// iSubItem the column). Dragging a divider (the 4 pixels around a column's
// right edge) sends HDN_BEGINTRACKW (non-zero refuses), HDN_TRACKW with
// each new width (applied as the mouse moves), then HDN_ENDTRACKW and
// HDN_ITEMCHANGEDW on release; a double click on it sends
// HDN_DIVIDERDBLCLICKW.
constexpr UINT HDN_ITEMCHANGINGW = static_cast<UINT>(-320), HDN_ITEMCHANGEDW = static_cast<UINT>(-321),
               HDN_ITEMCLICKW = static_cast<UINT>(-322), HDN_ITEMDBLCLICKW = static_cast<UINT>(-323),
               HDN_DIVIDERDBLCLICKW = static_cast<UINT>(-325), HDN_BEGINTRACKW = static_cast<UINT>(-326),
               HDN_ENDTRACKW = static_cast<UINT>(-327), HDN_TRACKW = static_cast<UINT>(-328);
constexpr UINT HDI_WIDTH = 0x1, HDI_TEXT = 0x2, HDI_FORMAT = 0x4;
struct HDITEMW {
  UINT mask = 0;
  int cxy = 0;
  LPWSTR pszText = nullptr;
  int cchTextMax = 0;
  int fmt = 0;
  LPARAM lParam = 0;
};
struct NMHEADERW {
  NMHDR hdr;
  int iItem = -1;
  int iButton = 0;  // 0 the left button
  HDITEMW* pitem = nullptr;
};
constexpr UINT LVHT_NOWHERE = 0x1, LVHT_ONITEMICON = 0x2, LVHT_ONITEMLABEL = 0x4,
               LVHT_ONITEMSTATEICON = 0x8, LVHT_ONITEM = 0xE;
constexpr DWORD CDDS_PREPAINT = 0x1, CDDS_POSTPAINT = 0x2, CDDS_ITEM = 0x10000,
                CDDS_ITEMPREPAINT = 0x10001, CDDS_ITEMPOSTPAINT = 0x10002, CDDS_SUBITEM = 0x20000;
constexpr LRESULT CDRF_DODEFAULT = 0x0, CDRF_NEWFONT = 0x2, CDRF_SKIPDEFAULT = 0x4,
                  CDRF_NOTIFYPOSTPAINT = 0x10, CDRF_NOTIFYITEMDRAW = 0x20,
                  CDRF_NOTIFYSUBITEMDRAW = 0x20;
constexpr UINT CDIS_SELECTED = 0x1, CDIS_GRAYED = 0x2, CDIS_DISABLED = 0x4, CDIS_CHECKED = 0x8,
               CDIS_FOCUS = 0x10;
struct LVCOLUMNW {
  UINT mask = 0;
  int fmt = 0;
  int cx = 0;
  LPWSTR pszText = nullptr;
  int cchTextMax = 0;
  int iSubItem = 0;
};
struct LVITEMW {
  UINT mask = 0;
  int iItem = 0;
  int iSubItem = 0;
  UINT state = 0;
  UINT stateMask = 0;
  LPWSTR pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0;
  LPARAM lParam = 0;
};
struct NMLVDISPINFOW {
  NMHDR hdr;
  LVITEMW item;
};
struct NMLISTVIEW {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  POINT ptAction;
  LPARAM lParam = 0;
};
struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  POINT ptAction;
  LPARAM lParam = 0;
  UINT uKeyFlags = 0;
};
struct NMCUSTOMDRAW {
  NMHDR hdr;
  DWORD dwDrawStage = 0;
  HDC hdc = nullptr;
  RECT rc;
  std::uintptr_t dwItemSpec = 0;
  UINT uItemState = 0;
  LPARAM lItemlParam = 0;
};
struct NMLVCUSTOMDRAW {
  NMCUSTOMDRAW nmcd;
  COLORREF clrText = 0;
  COLORREF clrTextBk = 0;
  int iSubItem = 0;
};
struct LVHITTESTINFO {
  POINT pt;
  UINT flags = 0;
  int iItem = -1;
  int iSubItem = 0;
};

// ---------------------------------------------------------------------------
// Image lists (pictures of one size in a row) and the tree view.
struct IMAGELIST__;
using HIMAGELIST = IMAGELIST__*;
constexpr UINT ILC_COLOR32 = 0x20, ILC_MASK = 0x1;
constexpr UINT ILD_NORMAL = 0x0, ILD_TRANSPARENT = 0x1;
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// Adds the bitmap cut into cx-wide pictures; the index of the first, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// As ImageList_Add, with pixels of the key colour left transparent.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF key);
// An icon of LoadIconW, scaled to the list's image size with its alpha.
int ImageList_AddIcon(HIMAGELIST list, HICON icon);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);

inline constexpr const WCHAR* WC_TREEVIEW = u"SysTreeView32";
struct TREEITEM__;
using HTREEITEM = TREEITEM__*;
inline HTREEITEM const TVI_ROOT = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x10000));
inline HTREEITEM const TVI_FIRST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFF));
inline HTREEITEM const TVI_LAST = reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(-0x0FFFE));
constexpr DWORD TVS_HASBUTTONS = 0x1, TVS_HASLINES = 0x2, TVS_LINESATROOT = 0x4,
                TVS_SHOWSELALWAYS = 0x20, TVS_TRACKSELECT = 0x200, TVS_FULLROWSELECT = 0x1000;
constexpr UINT TV_FIRST = 0x1100;
constexpr UINT TVM_DELETEITEM = TV_FIRST + 1, TVM_EXPAND = TV_FIRST + 2, TVM_GETITEMRECT = TV_FIRST + 4,
               TVM_GETCOUNT = TV_FIRST + 5, TVM_GETINDENT = TV_FIRST + 6, TVM_SETINDENT = TV_FIRST + 7,
               TVM_SETIMAGELIST = TV_FIRST + 9, TVM_GETNEXTITEM = TV_FIRST + 10,
               TVM_SELECTITEM = TV_FIRST + 11, TVM_HITTEST = TV_FIRST + 17,
               TVM_ENSUREVISIBLE = TV_FIRST + 20, TVM_SETBKCOLOR = TV_FIRST + 29,
               TVM_SETTEXTCOLOR = TV_FIRST + 30, TVM_GETBKCOLOR = TV_FIRST + 31,
               TVM_INSERTITEMW = TV_FIRST + 50, TVM_GETITEMW = TV_FIRST + 62, TVM_SETITEMW = TV_FIRST + 63;
constexpr UINT TVE_COLLAPSE = 0x1, TVE_EXPAND = 0x2, TVE_TOGGLE = 0x3;
constexpr UINT TVGN_ROOT = 0x0, TVGN_NEXT = 0x1, TVGN_PREVIOUS = 0x2, TVGN_PARENT = 0x3,
               TVGN_CHILD = 0x4, TVGN_FIRSTVISIBLE = 0x5, TVGN_NEXTVISIBLE = 0x6,
               TVGN_PREVIOUSVISIBLE = 0x7, TVGN_CARET = 0x9;
constexpr UINT TVIF_TEXT = 0x1, TVIF_IMAGE = 0x2, TVIF_PARAM = 0x4, TVIF_STATE = 0x8,
               TVIF_HANDLE = 0x10, TVIF_SELECTEDIMAGE = 0x20, TVIF_CHILDREN = 0x40;
constexpr UINT TVIS_SELECTED = 0x2, TVIS_EXPANDED = 0x20;
constexpr UINT TVHT_NOWHERE = 0x1, TVHT_ONITEMICON = 0x2, TVHT_ONITEMLABEL = 0x4,
               TVHT_ONITEMINDENT = 0x8, TVHT_ONITEMBUTTON = 0x10, TVHT_ONITEMRIGHT = 0x20,
               TVHT_ONITEM = 0x46;
constexpr UINT TVC_UNKNOWN = 0x0, TVC_BYMOUSE = 0x1, TVC_BYKEYBOARD = 0x2;
constexpr int TVSIL_NORMAL = 0;
constexpr UINT TVN_SELCHANGEDW = static_cast<UINT>(-451);
struct TVITEMW {
  UINT mask = 0;
  HTREEITEM hItem = nullptr;
  UINT state = 0;
  UINT stateMask = 0;
  LPWSTR pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0;
  int iSelectedImage = 0;
  int cChildren = 0;
  LPARAM lParam = 0;
};
struct TVINSERTSTRUCTW {
  HTREEITEM hParent = nullptr;
  HTREEITEM hInsertAfter = nullptr;
  TVITEMW item;
};
struct NMTREEVIEWW {
  NMHDR hdr;
  UINT action = 0;
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
};
struct TVHITTESTINFO {
  POINT pt;
  UINT flags = 0;
  HTREEITEM hItem = nullptr;
};
struct NMTVCUSTOMDRAW {
  NMCUSTOMDRAW nmcd;
  COLORREF clrText = 0;
  COLORREF clrTextBk = 0;
  int iLevel = 0;
};

// ---------------------------------------------------------------------------
// Tool tips.
inline constexpr const WCHAR* TOOLTIPS_CLASS = u"tooltips_class32";
constexpr DWORD TTS_ALWAYSTIP = 0x1, TTS_NOPREFIX = 0x2;
constexpr UINT TTF_IDISHWND = 0x1, TTF_CENTERTIP = 0x2, TTF_SUBCLASS = 0x10;
constexpr UINT TTM_ACTIVATE = WM_USER + 1, TTM_SETDELAYTIME = WM_USER + 3, TTM_RELAYEVENT = WM_USER + 7,
               TTM_GETTOOLCOUNT = WM_USER + 13, TTM_SETTIPBKCOLOR = WM_USER + 19,
               TTM_SETTIPTEXTCOLOR = WM_USER + 20, TTM_GETDELAYTIME = WM_USER + 21, TTM_POP = WM_USER + 28,
               TTM_ADDTOOLW = WM_USER + 50, TTM_DELTOOLW = WM_USER + 51, TTM_UPDATETIPTEXTW = WM_USER + 57;
constexpr int TTDT_AUTOMATIC = 0, TTDT_RESHOW = 1, TTDT_AUTOPOP = 2, TTDT_INITIAL = 3;
struct TTTOOLINFOW {
  UINT cbSize = sizeof(TTTOOLINFOW);
  UINT uFlags = 0;
  HWND hwnd = nullptr;
  UINT_PTR uId = 0;
  RECT rect;
  HINSTANCE hinst = nullptr;
  LPWSTR lpszText = nullptr;
  LPARAM lParam = 0;
};
