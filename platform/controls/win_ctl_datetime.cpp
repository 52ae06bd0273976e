// SysDateTimePick32, short-date form (win_datetime.h).
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "platform/controls/win_ctl_internal.h"
#include "platform/controls/win_datetime.h"

namespace {

struct Picker {
  int year = 2000, month = 1, day = 1;
  int part = 2;      // 0 year, 1 month, 2 day
  int typed = 0;     // digits typed into the part so far
  HFONT font = nullptr;
};

ctl::StateMap<Picker>& Pickers() {
  static ctl::StateMap<Picker> map;
  return map;
}

bool Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysIn(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && Leap(y) ? 29 : kDays[(m - 1 + 12) % 12];
}
bool Valid(int y, int m, int d) { return y >= 1601 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysIn(y, m); }

void Clamp(Picker* p) {
  p->year = std::clamp(p->year, 1601, 9999);
  p->month = std::clamp(p->month, 1, 12);
  p->day = std::clamp(p->day, 1, DaysIn(p->year, p->month));
}

// Day number since 1601-01-01 and back.
long Serial(int y, int m, int d) {
  long n = 0;
  for (int year = 1601; year < y; ++year) n += Leap(year) ? 366 : 365;
  for (int month = 1; month < m; ++month) n += DaysIn(y, month);
  return n + d - 1;
}
void FromSerial(long n, int* y, int* m, int* d) {
  n = std::max(0L, n);
  int year = 1601;
  while (year < 9999 && n >= (Leap(year) ? 366 : 365)) n -= Leap(year++) ? 366 : 365;
  int month = 1;
  while (month < 12 && n >= DaysIn(year, month)) n -= DaysIn(year, month++);
  *y = year;
  *m = month;
  *d = std::min(static_cast<int>(n) + 1, DaysIn(year, month));
}

SYSTEMTIME Time(const Picker& p) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(p.year);
  st.wMonth = static_cast<WORD>(p.month);
  st.wDay = static_cast<WORD>(p.day);
  st.wDayOfWeek = static_cast<WORD>((Serial(p.year, p.month, p.day) + 1) % 7);  // 1601-01-01 was a Monday
  return st;
}

WString Text(const Picker& p, int part) {
  char text[8];
  if (part == 0) snprintf(text, sizeof(text), "%04d", p.year);
  else snprintf(text, sizeof(text), "%02d", part == 1 ? p.month : p.day);
  WString out;
  for (const char* c = text; *c; ++c) out += static_cast<WCHAR>(*c);
  return out;
}

void Notify(HWND h, const Picker& p) {
  HWND parent = GetParent(h);
  if (!parent) return;
  NMDATETIMECHANGE nm{};
  nm.nmhdr.hwndFrom = h;
  nm.nmhdr.idFrom = static_cast<UINT_PTR>(ctl::Id(h));
  nm.nmhdr.code = DTN_DATETIMECHANGE;
  nm.st = Time(p);
  SendMessageW(parent, WM_NOTIFY, nm.nmhdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

void Changed(HWND h, Picker* p) {
  InvalidateRect(h, nullptr, FALSE);
  Notify(h, *p);
}

// The left edge of each part and the right end, for painting and clicks.
void PartEdges(HDC dc, const Picker& p, int left, int edges[4]) {
  const WString texts[3] = {Text(p, 0), Text(p, 1), Text(p, 2)};
  SIZE slash{}, size{};
  GetTextExtentPoint32W(dc, u"/", 1, &slash);
  int x = left;
  for (int i = 0; i < 3; ++i) {
    edges[i] = x;
    GetTextExtentPoint32W(dc, texts[i].c_str(), static_cast<int>(texts[i].size()), &size);
    x += size.cx + (i < 2 ? slash.cx : 0);
  }
  edges[3] = x;
}

void Paint(HWND h, Picker* p, HDC dc) {
  RECT rc;
  GetClientRect(h, &rc);
  FillRect(dc, &rc, GetSysColorBrush(IsWindowEnabled(h) ? COLOR_WINDOW : COLOR_BTNFACE));
  RECT frame = rc;
  DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
  HGDIOBJ old = SelectObject(dc, p->font ? static_cast<HGDIOBJ>(p->font) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  int edges[4];
  PartEdges(dc, *p, 5, edges);
  const bool focused = GetFocus() == h;
  for (int i = 0; i < 3; ++i) {
    RECT part = {edges[i], rc.top + 3, edges[i + 1], rc.bottom - 3};
    WString text = Text(*p, i);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    part.right = part.left + size.cx;
    if (focused && i == p->part) {
      FillRect(dc, &part, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    DrawTextW(dc, text.c_str(), -1, &part, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    if (i < 2) {
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      RECT slash = {part.right, part.top, edges[i + 1], part.bottom};
      DrawTextW(dc, u"/", 1, &slash, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }
  }
  SelectObject(dc, old);
}

void Step(HWND h, Picker* p, int delta) {
  if (p->part == 2) {
    FromSerial(Serial(p->year, p->month, p->day) + delta, &p->year, &p->month, &p->day);
  } else if (p->part == 1) {
    int months = p->year * 12 + (p->month - 1) + delta;
    p->year = months / 12;
    p->month = months % 12 + 1;
  } else {
    p->year += delta;
  }
  p->typed = 0;
  Clamp(p);
  Changed(h, p);
}

void TypeDigit(HWND h, Picker* p, int digit) {
  const int width = p->part == 0 ? 4 : 2;
  int& value = p->part == 0 ? p->year : p->part == 1 ? p->month : p->day;
  value = p->typed == 0 ? digit : value * 10 + digit;
  // A part is kept as typed until its last digit (a year's first digits are
  // no year yet), then brought into range and the next part chosen.
  if (++p->typed >= width) {
    p->typed = 0;
    Clamp(p);
    if (p->part < 2) ++p->part;
  }
  if (Valid(p->year, p->month, p->day)) Changed(h, p);
  else InvalidateRect(h, nullptr, FALSE);
}

void EndTyping(Picker* p) {
  p->typed = 0;
  Clamp(p);
}

LRESULT PickerProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_NCCREATE) {
    Picker* p = Pickers().Make(h);
    SYSTEMTIME today;
    GetLocalDate(&today);
    p->year = today.wYear;
    p->month = today.wMonth;
    p->day = today.wDay;
    return DefWindowProcW(h, msg, w, l);
  }
  if (msg == WM_NCDESTROY) {
    Pickers().Drop(h);
    return DefWindowProcW(h, msg, w, l);
  }
  Picker* p = Pickers().Get(h);
  if (!p) return DefWindowProcW(h, msg, w, l);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return ctl::PaintControl(h, msg == WM_PRINTCLIENT ? w : 0, [&](HDC dc) { Paint(h, p, dc); });
    case WM_SETFONT:
      p->font = reinterpret_cast<HFONT>(w);
      if (l) InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(p->font);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      EndTyping(p);
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(h);
      HDC dc = GetDC(h);
      HGDIOBJ old = SelectObject(dc, p->font ? static_cast<HGDIOBJ>(p->font) : GetStockObject(DEFAULT_GUI_FONT));
      int edges[4];
      PartEdges(dc, *p, 5, edges);
      SelectObject(dc, old);
      ReleaseDC(h, dc);
      const int x = GET_X_LPARAM(l);
      p->part = x < edges[1] ? 0 : x < edges[2] ? 1 : 2;
      EndTyping(p);
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    }
    case WM_KEYDOWN:
      switch (w) {
        case VK_LEFT: EndTyping(p); p->part = std::max(0, p->part - 1); InvalidateRect(h, nullptr, FALSE); return 0;
        case VK_RIGHT: EndTyping(p); p->part = std::min(2, p->part + 1); InvalidateRect(h, nullptr, FALSE); return 0;
        case VK_UP: Step(h, p, 1); return 0;
        case VK_DOWN: Step(h, p, -1); return 0;
        default: return DefWindowProcW(h, msg, w, l);
      }
    case WM_CHAR:
      if (w >= '0' && w <= '9') TypeDigit(h, p, static_cast<int>(w - '0'));
      return 0;
    case DTM_GETSYSTEMTIME: {
      Picker shown = *p;  // a part being typed counts as brought into range
      Clamp(&shown);
      if (l) *reinterpret_cast<SYSTEMTIME*>(l) = Time(shown);
      return GDT_VALID;
    }
    case DTM_SETSYSTEMTIME: {
      const SYSTEMTIME* st = reinterpret_cast<const SYSTEMTIME*>(l);
      if (!st || !Valid(st->wYear, st->wMonth, st->wDay)) return FALSE;
      p->year = st->wYear;
      p->month = st->wMonth;
      p->day = st->wDay;
      p->typed = 0;
      InvalidateRect(h, nullptr, FALSE);
      return TRUE;
    }
    default:
      return DefWindowProcW(h, msg, w, l);
  }
}

}  // namespace

void RegisterDateTimePicker() {
  static std::once_flag once;
  std::call_once(once, [] { ctl::RegisterControlClass(DATETIMEPICK_CLASS, PickerProc, CS_DBLCLKS); });
}

void GetLocalDate(SYSTEMTIME* out) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  Picker p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  *out = Time(p);
}

SYSTEMTIME AddDays(const SYSTEMTIME& in, int days) {
  Picker p;
  p.year = in.wYear;
  p.month = in.wMonth;
  p.day = in.wDay;
  Clamp(&p);
  FromSerial(Serial(p.year, p.month, p.day) + days, &p.year, &p.month, &p.day);
  return Time(p);
}
