#include "controls/skin_tree.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

}  // namespace

CVexloTreeCtrl::~CVexloTreeCtrl() = default;

BOOL CVexloTreeCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CVexloTreeCtrl::OnPaint() {
  CPaintDC dc(this);
  lock_.Enter();
  CRect client;
  GetClientRect(&client);
  const int w = client.Width(), h = client.Height();
  if (w > 0 && h > 0) {
    // The tree paints itself into a picture of the window's kind; its
    // background colour is left as the picture's background colour.
    CDC items;
    items.CreateCompatibleDC(&dc);
    CBitmap itemsBitmap;
    itemsBitmap.CreateCompatibleBitmap(&dc, w, h);
    CBitmap* oldItems = items.SelectObject(&itemsBitmap);
    DefWindowProc(WM_PAINT, reinterpret_cast<WPARAM>(items.m_hDC), 0);

    // Mask: 1 where the tree left its background colour, 0 on item pixels.
    CDC mask;
    mask.CreateCompatibleDC(&dc);
    CBitmap maskBitmap;
    maskBitmap.CreateBitmap(w, h, 1, 1, nullptr);
    CBitmap* oldMask = mask.SelectObject(&maskBitmap);
    mask.BitBlt(0, 0, w, h, &items, 0, 0, SRCCOPY);

    CBrush background;
    if (backgroundBitmap.m_hObject && background.CreatePatternBrush(&backgroundBitmap)) dc.FillRect(&client, &background);

    items.SetBkColor(kBlack);  // transparent pixels become black
    items.SetTextColor(kWhite);
    items.BitBlt(0, 0, w, h, &mask, 0, 0, SRCAND);
    dc.SetBkColor(kWhite);  // the background under item pixels becomes black
    dc.SetTextColor(kBlack);
    dc.BitBlt(0, 0, w, h, &mask, 0, 0, SRCAND);
    dc.BitBlt(0, 0, w, h, &items, 0, 0, SRCPAINT);

    mask.SelectObject(oldMask);
    items.SelectObject(oldItems);
  }
  lock_.Leave();
}

BOOL CVexloTreeCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
  if (message != WM_NOTIFY || !hdr) return CTreeCtrl::OnChildNotify(message, wParam, lParam, result);
  if (hdr->code == TVN_ITEMEXPANDINGW) {
    SendMessage(WM_SETREDRAW, FALSE);
    *result = 0;  // the expansion goes ahead
    return TRUE;
  }
  if (hdr->code == TVN_ITEMEXPANDEDW) {
    Invalidate(TRUE);  // one full repaint instead of item by item
    SendMessage(WM_SETREDRAW, TRUE);
    *result = 0;
    return TRUE;
  }
  return CTreeCtrl::OnChildNotify(message, wParam, lParam, result);
}
