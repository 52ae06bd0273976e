// Framework classes over the standard controls, menus and dialogs: thin
// wrappers that send the controls' messages, plus the reflected
// notifications a subclass overrides (DrawItem of an owner-drawn button or
// menu, CtlColor of an edit or static), CDialog with DoModal, templates,
// Enter/Esc and DDX-style data exchange, and AfxMessageBox.
#pragma once

#include "platform/mfc/afx.h"
#include "platform/controls/win_controls.h"

// ---------------------------------------------------------------------------
// Controls.

class CButton : public CWnd {
 public:
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_BUTTON, text, style, rect, parent, id);
  }
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  void SetState(BOOL pushed) { SendMessage(BM_SETSTATE, pushed); }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  // An owner-drawn button's painting (WM_DRAWITEM reflected from the parent).
  virtual void DrawItem(LPDRAWITEMSTRUCT dis);
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CEdit : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_EDIT, u"", style, rect, parent, id);
  }
  void SetSel(int start, int end, BOOL noScroll = FALSE) {
    SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
    if (!noScroll) SendMessage(EM_SCROLLCARET);
  }
  void GetSel(int& start, int& end) const {
    DWORD s = 0, e = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s), end = static_cast<int>(e);
  }
  void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE) { SendMessage(EM_REPLACESEL, canUndo, reinterpret_cast<LPARAM>(text)); }
  void LimitText(int max = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(max)); }
  void SetLimitText(int max) { LimitText(max); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
  void SetPasswordChar(WCHAR ch) { SendMessage(EM_SETPASSWORDCHAR, ch); }
  WCHAR GetPasswordChar() const { return static_cast<WCHAR>(SendMessage(EM_GETPASSWORDCHAR)); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly)); }
  BOOL Undo() { return static_cast<BOOL>(SendMessage(EM_UNDO)); }
  BOOL CanUndo() const { return static_cast<BOOL>(SendMessage(EM_CANUNDO)); }
  void EmptyUndoBuffer() { SendMessage(EM_EMPTYUNDOBUFFER); }
  void Cut() { SendMessage(WM_CUT); }
  void Copy() { SendMessage(WM_COPY); }
  void Paste() { SendMessage(WM_PASTE); }
  void Clear() { SendMessage(WM_CLEAR); }
  int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
  int LineIndex(int line = -1) const { return static_cast<int>(SendMessage(EM_LINEINDEX, static_cast<WPARAM>(line))); }
  int LineFromChar(int index = -1) const { return static_cast<int>(SendMessage(EM_LINEFROMCHAR, static_cast<WPARAM>(index))); }
  int LineLength(int index = -1) const { return static_cast<int>(SendMessage(EM_LINELENGTH, static_cast<WPARAM>(index))); }
  int GetFirstVisibleLine() const { return static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); }
  void LineScroll(int lines, int chars = 0) { SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines); }
  BOOL GetModify() const { return static_cast<BOOL>(SendMessage(EM_GETMODIFY)); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, modified); }
  // Colours asked of the parent (WM_CTLCOLOREDIT/STATIC reflected): set the
  // DC's colours and return a brush, or null to leave the parent's answer.
  virtual HBRUSH CtlColor(CDC* dc, UINT ctlColor);
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CStatic : public CWnd {
 public:
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF) {
    return CWnd::Create(WC_STATIC, text, style, rect, parent, id);
  }
  virtual HBRUSH CtlColor(CDC* dc, UINT ctlColor);
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class CScrollBar : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_SCROLLBAR, u"", style, rect, parent, id);
  }
  BOOL SetScrollInfo(LPSCROLLINFO si, BOOL redraw = TRUE) { return ::SetScrollInfo(m_hWnd, SB_CTL, si, redraw) , TRUE; }
  BOOL GetScrollInfo(LPSCROLLINFO si, UINT mask = SIF_ALL) {
    si->fMask = mask;
    return ::GetScrollInfo(m_hWnd, SB_CTL, si);
  }
  int SetScrollPos(int pos, BOOL redraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, pos, redraw); }
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  void SetScrollRange(int lo, int hi, BOOL redraw = TRUE) { ::SetScrollRange(m_hWnd, SB_CTL, lo, hi, redraw); }
};

class CListBox : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_LISTBOX, u"", style, rect, parent, id);
  }
  int AddString(LPCWSTR s) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s))); }
  int InsertString(int index, LPCWSTR s) {
    return static_cast<int>(SendMessage(LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(LB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
  WString GetText(int index) const;
  std::uintptr_t GetItemData(int index) const { return static_cast<std::uintptr_t>(SendMessage(LB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, std::uintptr_t data) {
    return static_cast<int>(SendMessage(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LB_GETTOPINDEX)); }
  int SetTopIndex(int index) { return static_cast<int>(SendMessage(LB_SETTOPINDEX, static_cast<WPARAM>(index))); }
};

class CComboBox : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_COMBOBOX, u"", style, rect, parent, id);
  }
  int AddString(LPCWSTR s) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s))); }
  int InsertString(int index, LPCWSTR s) {
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s)));
  }
  int DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(CB_RESETCONTENT); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
  WString GetLBText(int index) const;
  std::uintptr_t GetItemData(int index) const { return static_cast<std::uintptr_t>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index))); }
  int SetItemData(int index, std::uintptr_t data) {
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
  }
  void ShowDropDown(BOOL show = TRUE) { SendMessage(CB_SHOWDROPDOWN, show); }
  BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
};

class CProgressCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(PROGRESS_CLASS, u"", style, rect, parent, id);
  }
  void SetRange(short lo, short hi) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lo, hi)); }
  void SetRange32(int lo, int hi) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lo), hi); }
  void GetRange(int& lo, int& hi) const {
    lo = static_cast<int>(SendMessage(PBM_GETRANGE, TRUE));
    hi = static_cast<int>(SendMessage(PBM_GETRANGE, FALSE));
  }
  int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos))); }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int OffsetPos(int delta) { return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta))); }
  int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
  int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
  COLORREF SetBarColor(COLORREF c) { return static_cast<COLORREF>(SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(c))); }
  COLORREF SetBkColor(COLORREF c) { return static_cast<COLORREF>(SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(c))); }
};

class CSpinButtonCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(UPDOWN_CLASS, u"", style, rect, parent, id);
  }
  void SetRange(short lower, short upper) { SendMessage(UDM_SETRANGE, 0, MAKELPARAM(upper, lower)); }
  void SetRange32(int lower, int upper) { SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
  void GetRange32(int& lower, int& upper) const {
    SendMessage(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower), reinterpret_cast<LPARAM>(&upper));
  }
  int SetPos(int pos) { return static_cast<int>(SendMessage(UDM_SETPOS32, 0, pos)); }
  int GetPos() const { return static_cast<int>(SendMessage(UDM_GETPOS32)); }
};

class CListCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_LISTVIEW, u"", style, rect, parent, id);
  }
  DWORD SetExtendedStyle(DWORD ex) { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, ex)); }
  DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  int InsertColumn(int col, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1) {
    LVCOLUMNW c;
    c.mask = LVCF_TEXT | LVCF_FMT | (width >= 0 ? LVCF_WIDTH : 0);
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<LPWSTR>(heading);
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c)));
  }
  BOOL DeleteColumn(int col) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(col))); }
  int GetColumnWidth(int col) const { return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(col))); }
  BOOL SetColumnWidth(int col, int cx) { return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(col), cx)); }
  int InsertItem(int item, LPCWSTR text) {
    LVITEMW it;
    it.mask = LVIF_TEXT;
    it.iItem = item;
    it.pszText = const_cast<LPWSTR>(text);
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  }
  BOOL SetItemText(int item, int sub, LPCWSTR text) {
    LVITEMW it;
    it.iSubItem = sub;
    it.pszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
  }
  WString GetItemText(int item, int sub) const {
    WCHAR buf[512] = {};
    LVITEMW it;
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = 512;
    SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
    return buf;
  }
  BOOL SetItemData(int item, LPARAM data) {
    LVITEMW it;
    it.mask = LVIF_PARAM;
    it.iItem = item;
    it.lParam = data;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  }
  LPARAM GetItemData(int item) const {
    LVITEMW it;
    it.mask = LVIF_PARAM;
    it.iItem = item;
    SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return it.lParam;
  }
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  BOOL SetItemCount(int count) { return static_cast<BOOL>(SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count))); }
  BOOL DeleteItem(int item) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item))); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  int GetNextItem(int start, UINT flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), static_cast<LPARAM>(flags)));
  }
  BOOL SetItemState(int item, UINT state, UINT mask) {
    LVITEMW it;
    it.state = state;
    it.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
  }
  UINT GetItemState(int item, UINT mask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
  }
  BOOL GetCheck(int item) const { return GetItemState(item, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2); }
  BOOL SetCheck(int item, BOOL check = TRUE) {
    return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
  }
  int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
  BOOL GetSubItemRect(int item, int sub, int area, RECT& rc) const {
    rc.top = sub;
    rc.left = area;
    return static_cast<BOOL>(SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rc)));
  }
  BOOL EnsureVisible(int item, BOOL) { return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item))); }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
  int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
  int HitTest(LVHITTESTINFO* info) const { return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(info))); }
};

class CImageList {
 public:
  CImageList() = default;
  ~CImageList() { DeleteImageList(); }
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;
  HIMAGELIST m_hImageList = nullptr;
  operator HIMAGELIST() const { return m_hImageList; }
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow) {
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
  }
  BOOL DeleteImageList() {
    BOOL ok = m_hImageList ? ImageList_Destroy(m_hImageList) : FALSE;
    m_hImageList = nullptr;
    return ok;
  }
  int Add(CBitmap* bitmap, COLORREF key) { return ImageList_AddMasked(m_hImageList, *bitmap, key); }
  int Add(CBitmap* bitmap, CBitmap* mask) { return ImageList_Add(m_hImageList, *bitmap, mask ? static_cast<HBITMAP>(*mask) : nullptr); }
  int Add(HICON icon) { return ImageList_AddIcon(m_hImageList, icon); }
  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
  BOOL Draw(CDC* dc, int index, POINT p, UINT style) { return ImageList_Draw(m_hImageList, index, *dc, p.x, p.y, style); }
};

class CTreeCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_TREEVIEW, u"", style, rect, parent, id);
  }
  HTREEITEM InsertItem(LPCWSTR text, int image, int selectedImage, HTREEITEM parent = TVI_ROOT,
                       HTREEITEM after = TVI_LAST) {
    TVINSERTSTRUCTW ins;
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.pszText = const_cast<LPWSTR>(text);
    ins.item.iImage = image;
    ins.item.iSelectedImage = selectedImage;
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  }
  HTREEITEM InsertItem(LPCWSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST) {
    return InsertItem(text, 0, 0, parent, after);
  }
  BOOL DeleteItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
  BOOL Expand(HTREEITEM item, UINT code) { return static_cast<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item))); }
  BOOL SelectItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item))); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
  HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
  }
  UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
  HIMAGELIST SetImageList(CImageList* list, int which) {
    return reinterpret_cast<HIMAGELIST>(SendMessage(TVM_SETIMAGELIST, static_cast<WPARAM>(which),
                                                    reinterpret_cast<LPARAM>(list ? list->m_hImageList : nullptr)));
  }
  HTREEITEM HitTest(POINT p, UINT* flags = nullptr) const {
    TVHITTESTINFO ht;
    ht.pt = p;
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&ht)));
    if (flags) *flags = ht.flags;
    return item;
  }
  BOOL GetItemRect(HTREEITEM item, RECT* rc, BOOL textOnly) const {
    *reinterpret_cast<HTREEITEM*>(rc) = item;
    return static_cast<BOOL>(SendMessage(TVM_GETITEMRECT, textOnly, reinterpret_cast<LPARAM>(rc)));
  }
  WString GetItemText(HTREEITEM item) const {
    WCHAR buf[260] = {};
    TVITEMW it;
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = buf;
    it.cchTextMax = 260;
    SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
  }
  BOOL SetItemData(HTREEITEM item, LPARAM data) {
    TVITEMW it;
    it.mask = TVIF_PARAM;
    it.hItem = item;
    it.lParam = data;
    return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  }
  LPARAM GetItemData(HTREEITEM item) const {
    TVITEMW it;
    it.mask = TVIF_PARAM;
    it.hItem = item;
    SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return it.lParam;
  }
  UINT GetItemState(HTREEITEM item, UINT mask) const {
    TVITEMW it;
    it.mask = TVIF_STATE;
    it.hItem = item;
    it.stateMask = mask;
    SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return it.state & mask;
  }
  COLORREF SetBkColor(COLORREF c) { return static_cast<COLORREF>(SendMessage(TVM_SETBKCOLOR, 0, static_cast<LPARAM>(c))); }
  COLORREF SetTextColor(COLORREF c) { return static_cast<COLORREF>(SendMessage(TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(c))); }
};

class CToolTipCtrl : public CWnd {
 public:
  // A pop-up tip window owned by the parent's top-level window.
  BOOL Create(CWnd* parent, DWORD style = 0) {
    return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, TOOLTIPS_CLASS, u"", WS_POPUP | style,
                    CRect(0, 0, 0, 0), parent, 0);
  }
  // With no rectangle and id 0 the tool is the whole window.
  BOOL AddTool(CWnd* wnd, LPCWSTR text, LPCRECT rect = nullptr, UINT_PTR id = 0) {
    TTTOOLINFOW ti = Info(wnd, rect, id);
    ti.lpszText = const_cast<LPWSTR>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
  }
  void UpdateTipText(LPCWSTR text, CWnd* wnd, UINT_PTR id = 0) {
    TTTOOLINFOW ti = Info(wnd, nullptr, id);
    ti.lpszText = const_cast<LPWSTR>(text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  void DelTool(CWnd* wnd, UINT_PTR id = 0) {
    TTTOOLINFOW ti = Info(wnd, nullptr, id);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
  void Activate(BOOL active) { SendMessage(TTM_ACTIVATE, active); }
  void SetDelayTime(DWORD which, int ms) { SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(ms, 0)); }
  int GetDelayTime(DWORD which) const { return static_cast<int>(SendMessage(TTM_GETDELAYTIME, which)); }
  void SetTipTextColor(COLORREF c) { SendMessage(TTM_SETTIPTEXTCOLOR, c); }
  void SetTipBkColor(COLORREF c) { SendMessage(TTM_SETTIPBKCOLOR, c); }
  void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
  void Pop() { SendMessage(TTM_POP); }

 private:
  static TTTOOLINFOW Info(CWnd* wnd, LPCRECT rect, UINT_PTR id) {
    TTTOOLINFOW ti;
    ti.hwnd = wnd ? wnd->m_hWnd : nullptr;
    if (!rect && id == 0) {
      ti.uFlags = TTF_IDISHWND;
      ti.uId = reinterpret_cast<UINT_PTR>(ti.hwnd);
    } else {
      ti.uId = id;
      if (rect) ti.rect = *rect;
    }
    return ti;
  }
};

// ---------------------------------------------------------------------------
// Menus. A CMenu owns its handle (destroyed with the object unless
// detached); owner-drawn items are measured and drawn by the CMenu that
// holds the menu handle (the owner window's default OnMeasureItem and
// OnDrawItem route them there).

class CMenu {
 public:
  CMenu() = default;
  virtual ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;
  HMENU m_hMenu = nullptr;
  operator HMENU() const { return m_hMenu; }
  HMENU GetSafeHmenu() const { return m_hMenu; }
  BOOL Attach(HMENU menu);
  HMENU Detach();
  static CMenu* FromHandle(HMENU menu);           // permanent object or a temporary one
  static CMenu* FromHandlePermanent(HMENU menu);  // null when no object owns it
  BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
  BOOL CreateMenu() { return Attach(::CreateMenu()); }
  BOOL DestroyMenu();
  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) { return ::AppendMenuW(m_hMenu, flags, id, text); }
  BOOL InsertMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
    return ::InsertMenuW(m_hMenu, pos, flags, id, text);
  }
  BOOL ModifyMenu(UINT pos, UINT flags, UINT_PTR id = 0, LPCWSTR text = nullptr) {
    return ::ModifyMenuW(m_hMenu, pos, flags, id, text);
  }
  BOOL DeleteMenu(UINT pos, UINT flags) { return ::DeleteMenu(m_hMenu, pos, flags); }
  BOOL RemoveMenu(UINT pos, UINT flags) { return ::RemoveMenu(m_hMenu, pos, flags); }
  UINT GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
  UINT GetMenuItemID(int pos) const { return ::GetMenuItemID(m_hMenu, pos); }
  UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
  BOOL GetMenuItemInfo(UINT item, MENUITEMINFOW* info, BOOL byPos = FALSE) {
    return ::GetMenuItemInfoW(m_hMenu, item, byPos, info);
  }
  CMenu* GetSubMenu(int pos) const { return FromHandle(::GetSubMenu(m_hMenu, pos)); }
  UINT CheckMenuItem(UINT id, UINT check) { return ::CheckMenuItem(m_hMenu, id, check); }
  UINT EnableMenuItem(UINT id, UINT enable) { return static_cast<UINT>(::EnableMenuItem(m_hMenu, id, enable)); }
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr) {
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
  }
  virtual void DrawItem(LPDRAWITEMSTRUCT dis);
  virtual void MeasureItem(LPMEASUREITEMSTRUCT mis);

 private:
  bool temporary_ = false;
};

// ---------------------------------------------------------------------------
// Dialogs.

class CDataExchange {
 public:
  CDataExchange(CWnd* dlg, BOOL save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members
};
void DDX_Text(CDataExchange* dx, int id, WString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The index of the checked radio button in the group starting at id (-1 none).
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_LBIndex(CDataExchange* dx, int id, int& index);
// Attaches a control object to the dialog's control (once).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
 public:
  CDialog() = default;
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}
  CDialog(const DialogTemplate* tmpl, CWnd* parent) : m_lpTemplate(tmpl), m_pParentWnd(parent) {}

  // Modal: the owner's top-level window is disabled while the nested loop
  // runs; the result is the code given to EndDialog (-1 when the template
  // is missing or the dialog could not be made).
  virtual INT_PTR DoModal();
  // Modeless.
  BOOL Create(UINT templateId, CWnd* parent = nullptr);
  BOOL CreateIndirect(const DialogTemplate* tmpl, CWnd* parent = nullptr);

  virtual BOOL OnInitDialog();  // UpdateData(FALSE); TRUE: focus to the first tab stop
  virtual void OnOK();          // UpdateData(TRUE), then EndDialog(IDOK)
  virtual void OnCancel();      // EndDialog(IDCANCEL)
  virtual void DoDataExchange(CDataExchange* dx);
  BOOL UpdateData(BOOL save = TRUE);
  void EndDialog(int result);
  void CenterWindow(CWnd* alternateOwner = nullptr);
  void NextDlgCtrl() const;
  void PrevDlgCtrl() const;
  void GotoDlgCtrl(CWnd* control);
  void SetDefID(UINT id) { SendMessage(DM_SETDEFID, id); }
  DWORD GetDefID() const { return static_cast<DWORD>(SendMessage(DM_GETDEFID)); }
  BOOL MapDialogRect(RECT* rc) const { return ::MapDialogRect(m_hWnd, rc); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCmdMsg(UINT id, int code) override;
  BOOL PreTranslateMessage(MSG* msg) override;

  UINT m_nIDTemplate = 0;
  const DialogTemplate* m_lpTemplate = nullptr;
  CWnd* m_pParentWnd = nullptr;

 protected:
  const DialogTemplate* Template() const;
  bool modal_ = false;
};

// ---------------------------------------------------------------------------
// Message boxes with the application's name as caption when none is given.
// Safe from any thread: the box is shown on the UI thread and the caller
// waits for the answer.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(const WString& text, UINT type = MB_OK, UINT helpId = 0);
// The caption of AfxMessageBox (the application's name).
void AfxSetAppName(const WString& name);
const WString& AfxGetAppName();
