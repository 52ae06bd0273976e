#include "trading/ui/trade_view.h"

#include <cstring>

#include "controls/control_messages.h"
#include "foundation/draw_helpers.h"
#include "foundation/text_codec.h"
#include "platform/window/win_icons.h"
#include "trading/ui/trade_info_view.h"
#include "trading/ui/trade_login.h"
#include "trading/ui/trade_messages.h"
#include "trading/ui/trade_pages.h"
#include "trading/ui/trade_reply_inbox.h"

namespace {

// The tree's items with their icon indices; children follow their parent.
struct NavEntry {
  const WCHAR* text;
  int icon;
  int depth;     // 0 root, 1 its children, 2 grandchildren
  int navIndex;  // index for WM_TRADE_NAV_SELECT, -1 none
};
const NavEntry kNavTree[] = {
    {u"交易列表", 3, 0, -1},
    {u"买入", 1, 1, 0},
    {u"卖出", 2, 1, 1},
    {u"撤单", 3, 1, 2},
    {u"查询", 5, 1, -1},
    {u"资金股份", 6, 2, 4},
    {u"当日委托", 6, 2, -1},
    {u"当日成交", 6, 2, -1},
    {u"历史委托", 6, 2, -1},
    {u"历史成交", 6, 2, 5},
    {u"资金流水", 6, 2, -1},
    {u"配号查询", 6, 2, -1},
    {u"银证业务", 4, 1, -1},
    {u"银证转账", 6, 2, 3},
    {u"转账查询", 6, 2, -1},
    {u"修改密码", 7, 1, -1},
};
constexpr COLORREF kTreeBackground = RGB(0xF7, 0xF9, 0xFC);
// Icon resources in image-list order.
const int kNavIcons[] = {227, 220, 221, 222, 223, 224, 225, 226};

WString CodeText(const StockKey* stock) {
  char code[7] = {};
  memcpy(code, stock->code, 6);
  WCHAR* wide = Utf8ToUtf16Alloc(code);
  WString out = wide ? wide : u"";
  free(wide);
  return out;
}

bool HasCode(const StockKey* stock) { return stock && stock->code[0] != 0; }

}  // namespace

// ---------------------------------------------------------------------------
// CTradeMainView

CTradeMainView::CTradeMainView() = default;

CTradeMainView::~CTradeMainView() {
  if (font_) DeleteObject(font_);
}

int CTradeMainView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  bar_.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, 0);
  bar_.SetBackgroundImage(u"res\\MainStatus_bg.png");
  bar_.SetOrigin(10, 0);
  bar_.SetItemImages(u"res\\trade_tab_item_bg.png", u"res\\trade_tab_item_sel_bg.png");
  bar_.SetItems(u"股票");
  bar_.SetCurSel(0);
  tree_.Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                   TVS_SHOWSELALWAYS,
               CRect(0, 0, 0, 0), this, kTreeId);
  // The tree shows its items over a plain light background (its own
  // background colour is the see-through key, so it matches the picture).
  tree_.SendMessage(TVM_SETBKCOLOR, 0, kTreeBackground);
  {
    CClientDC screen(this);
    CDC mem;
    mem.CreateCompatibleDC(&screen);
    tree_.backgroundBitmap.CreateCompatibleBitmap(&screen, 8, 8);
    CBitmap* old = mem.SelectObject(&tree_.backgroundBitmap);
    mem.FillSolidRect(0, 0, 8, 8, kTreeBackground);
    mem.SelectObject(old);
  }
  font_ = CreateUiFont(GetUiFontFace(), 12);
  tree_.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  images_.Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 0);
  for (int id : kNavIcons) {
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(id));
    if (images_.Add(icon) < 0) {
      // Keep the indices: an empty picture for a missing icon.
      CBitmap blank;
      CClientDC dc(this);
      blank.CreateCompatibleBitmap(&dc, 16, 16);
      images_.Add(&blank, RGB(0, 0, 0));
    }
    if (icon) DestroyIcon(icon);
  }
  tree_.SetImageList(&images_, TVSIL_NORMAL);
  BuildTree();
  return 0;
}

void CTradeMainView::BuildTree() {
  HTREEITEM parents[3] = {TVI_ROOT, nullptr, nullptr};
  HTREEITEM root = nullptr;
  for (const NavEntry& e : kNavTree) {
    HTREEITEM item = tree_.InsertItem(e.text, e.icon, e.icon, parents[e.depth]);
    if (e.depth == 0) root = item;
    if (e.depth < 2) parents[e.depth + 1] = item;
    if (e.navIndex >= 0) navItems_[e.navIndex] = item;
  }
  tree_.Expand(root, TVE_EXPAND);
}

void CTradeMainView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (bar_.m_hWnd) bar_.MoveWindow(0, 0, cx, 30);
  if (tree_.m_hWnd) tree_.MoveWindow(0, 30, cx, cy > 30 ? cy - 30 : 0);
}

void CTradeMainView::OnPaint() { CPaintDC dc(this); }

LRESULT CTradeMainView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TABLEBAR_SELECT:
      if (lParam == 0) tree_.ShowWindow(SW_SHOW);
      else if (lParam >= 1 && lParam <= 3) tree_.ShowWindow(SW_HIDE);
      return 0;
    case WM_TRADE_NAV_SELECT:
      if (lParam >= 0 && lParam < kNavItems && navItems_[lParam]) tree_.SelectItem(navItems_[lParam]);
      Invalidate();
      tree_.Invalidate();
      return 0;
    default:
      return CWnd::WindowProc(message, wParam, lParam);
  }
}

BOOL CTradeMainView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (!hdr || hdr->hwndFrom != tree_.m_hWnd) return CWnd::OnNotify(wParam, lParam, result);
  if (hdr->code == NM_CUSTOMDRAW) {
    *result = OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(lParam));
    return TRUE;
  }
  if (hdr->code == NM_CLICK) {
    POINT p;
    GetCursorPos(&p);
    tree_.ScreenToClient(&p);
    UINT flags = 0;
    ActOnItem(tree_.HitTest(p, &flags));
    *result = 0;
    return TRUE;
  }
  return CWnd::OnNotify(wParam, lParam, result);
}

LRESULT CTradeMainView::OnCustomDraw(NMTVCUSTOMDRAW* draw) {
  if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT || !tree_.IsWindowEnabled()) return CDRF_DODEFAULT;
  const UINT state = draw->nmcd.uItemState;
  if (!(state & CDIS_SELECTED) || (state & CDIS_FOCUS)) return CDRF_DODEFAULT;
  auto item = reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec);
  RECT text;
  if (!tree_.GetItemRect(item, &text, TRUE)) return CDRF_DODEFAULT;
  HDC dc = draw->nmcd.hdc;
  // The item's icon stays where the tree puts it, left of the text.
  TVITEMW info;
  info.mask = TVIF_IMAGE;
  info.hItem = item;
  if (tree_.SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info)))
    ImageList_Draw(images_, info.iImage, dc, text.left - 19, text.top + (text.bottom - text.top - 16) / 2,
                   ILD_TRANSPARENT);
  HBRUSH fill = CreateSolidBrush(RGB(47, 154, 255));
  FillRect(dc, &text, fill);
  DeleteObject(fill);
  const WString label = tree_.GetItemText(item);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, RGB(255, 255, 255));
  DrawTextW(dc, label.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  return CDRF_SKIPDEFAULT;
}

void CTradeMainView::ActOnItem(HTREEITEM item) {
  if (!item || !panel_) return;
  const WString text = tree_.GetItemText(item);
  struct Query {
    const char16_t* text;
    int page;
  };
  static const Query kQueries[] = {{u"撤单", 8},     {u"资金股份", 0}, {u"当日委托", 1}, {u"当日成交", 2},
                                   {u"历史委托", 3}, {u"历史成交", 4}, {u"资金流水", 6}, {u"配号查询", 7}};
  if (text == u"买入") return panel_->ShowOrderPage(0, nullptr);
  if (text == u"卖出") return panel_->ShowOrderPage(1, nullptr);
  for (const Query& q : kQueries)
    if (text == q.text) return panel_->ShowQueryPage(q.page);
  if (text == u"银证转账") return panel_->ShowBankPage(0);
  if (text == u"转账查询") return panel_->ShowBankPage(2);
  if (text == u"修改密码") return panel_->ShowPasswordPage();
  // "交易列表", "查询", "银证业务": nothing.
}

// ---------------------------------------------------------------------------
// CTradeView

CTradeView::CTradeView() {
  nav_ = std::make_unique<CTradeMainView>();
  session_ = CreateTradeSession();
  panel_ = std::make_unique<CTradeInfoView>();
  panel_->SetOwner(this);
  panel_->SetSession(session_);
  nav_->SetPanel(panel_.get());
}

CTradeView::~CTradeView() {
  if (m_hWnd) DestroyWindow();
  panel_.reset();
  nav_.reset();
  DestroyTradeSession(session_);
}

int CTradeView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
  nav_->Create(nullptr, u"", style, CRect(0, 0, 0, 0), this, 0);
  panel_->Create(nullptr, u"", style, CRect(0, 0, 0, 0), this, 0);
  return 0;
}

CWnd* CTradeView::MainWindow() {
  HWND root = m_hWnd ? ::GetAncestor(m_hWnd, GA_ROOT) : nullptr;
  return root && root != m_hWnd ? CWnd::FromHandle(root) : nullptr;
}

CRect CTradeView::MainClient() {
  CRect rc(0, 0, 0, 0);
  if (CWnd* main = MainWindow()) main->GetClientRect(&rc);
  return rc;
}

bool CTradeView::LoggedIn() {
  std::lock_guard<std::mutex> hold(session_->lock);
  return session_->loggedIn;
}

void CTradeView::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  panelHeight_ = cy;
  const int inner = cy > 3 ? cy - 3 : 0;
  if (nav_->m_hWnd) nav_->MoveWindow(0, 3, 200, inner);
  if (panel_->m_hWnd) panel_->MoveWindow(200, 3, cx > 200 ? cx - 200 : 0, inner);
  if (CWnd* main = MainWindow()) main->PostMessage(WM_TRADE_RELAYOUT_MAIN, cx, cy);
}

void CTradeView::OnPaint() {
  CPaintDC dc(this);
  CRect rc;
  GetClientRect(&rc);
  dc.FillSolidRect(0, 0, rc.Width(), 1, RGB(0xDE, 0xDE, 0xDE));
  dc.FillSolidRect(0, 1, rc.Width(), 2, RGB(0xC0, 0xC0, 0xC0));
}

BOOL CTradeView::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (wnd != this) return CWnd::OnSetCursor(wnd, hitTest, message);
  ::SetCursor(LoadCursorW(nullptr, hitTest == static_cast<UINT>(HTTOP) ? IDC_SIZENS : IDC_ARROW));
  return TRUE;
}

void CTradeView::OnGetMinMaxInfo(MINMAXINFO* info) {
  CRect main = MainClient();
  info->ptMaxTrackSize = POINT{main.Width(), main.Height() - kTopMargin};
}

void CTradeView::OnKeyDown(UINT key, UINT, UINT) {
  if (CWnd* main = MainWindow()) main->PostMessage(WM_KEY_COMMAND, 0, key);
}

LRESULT CTradeView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTTOP;
    case WM_NCLBUTTONDOWN:
      if (wParam == static_cast<WPARAM>(HTTOP)) PostMessage(WM_SYSCOMMAND, SC_SIZE + WMSZ_TOP, lParam);
      return 0;
    case WM_KEY_COMMAND:
      return 1;
    default:
      return CWnd::WindowProc(message, wParam, lParam);
  }
}

void CTradeView::HideTrade() {
  shown_ = 0;
  ShowWindow(SW_HIDE);
  if (CWnd* main = MainWindow()) {
    main->SendMessage(WM_SIZE, 0, 0);
    main->SetFocus();
  }
}

void CTradeView::ShowTrade(const StockKey* stock, int side) {
  // 1, 2. The login first.
  if (!LoggedIn()) {
    panelHeight_ = kStartHeight;
    CTradeLogin login(session_, MainWindow());
    login.DoModal();
    if (!LoggedIn()) return;
  }
  // 3. Shown.
  shown_ = 1;
  if (CWnd* main = MainWindow()) main->SendMessage(WM_SIZE, 0, 0);
  ShowWindow(SW_SHOW);
  // 4. The page.
  if (HasCode(stock)) {
    char code[7] = {};
    memcpy(code, stock->code, 6);
    panel_->ShowOrderPage(side, code);
  } else {
    nav_->PostMessage(WM_TRADE_NAV_SELECT, kTradeNavSelectTag, 4);
    panel_->ShowQueryPage(0);
  }
  // 5. The list takes the focus with its first tab.
  nav_->SetFocus();
  nav_->TableBar().SetCurSel(0);
  nav_->TableBar().Invalidate();
}

void CTradeView::QuickBuySell(int side, const StockKey* stock) {
  if (!stock) return;
  if (!LoggedIn()) {
    ShowTradeMessage(MainWindow() ? MainWindow()->m_hWnd : m_hWnd, u"只有登录交易才能进行闪电买入卖出！");
    return;
  }
  RunQuickTradeDialog(MainWindow(), session_, side, CodeText(stock).c_str());
}

void CTradeView::LogOut() {
  shown_ = 0;
  // Nothing of this account may survive into the next login: the session's
  // tables and bytes go, and every page forgets what it showed.
  ClearTradeLogin(session_);
  panel_->ResetPages();
  ShowWindow(SW_HIDE);
  if (CWnd* main = MainWindow()) {
    main->SendMessage(WM_SIZE, 0, 0);
    main->SetFocus();
  }
}

void CTradeView::ToggleMaximize() {
  CWnd* main = MainWindow();
  if (!main) return;
  CRect client = MainClient();
  const int tallest = client.Height() - kTopMargin;
  CRect target;
  if (panelHeight_ == tallest) {
    target = CRect(0, client.Height() - savedHeight_, client.Width(), client.Height());
  } else {
    savedHeight_ = panelHeight_;
    target = CRect(0, kTopMargin, client.Width(), client.Height());
  }
  // In the parent's coordinates (the parent may be a view inside the main
  // window).
  CWnd* parent = GetParent();
  if (parent && parent != main) ::MapWindowPoints(main->m_hWnd, parent->m_hWnd, reinterpret_cast<POINT*>(&target), 2);
  MoveWindow(target.left, target.top, target.Width(), target.Height());
}
