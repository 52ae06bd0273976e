// SysDateTimePick32 in its short-date form: the date as year/month/day in
// one field-like box. A click or Left/Right chooses the year, month or day
// part; digits retype the chosen part; Up/Down step it (a day carries into
// the month, a month into the year, and the day is kept within its month).
// Every change the user makes is sent to the parent as WM_NOTIFY
// DTN_DATETIMECHANGE; DTM_SETSYSTEMTIME changes silently. Dates stay within
// 1601-9999. The class is registered by the first CreateDateTimePicker (or
// RegisterDateTimePicker). UI thread only.
#pragma once

#include "platform/controls/win_controls.h"

#ifndef ORV_SYSTEMTIME_DEFINED
#define ORV_SYSTEMTIME_DEFINED
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
#endif

inline constexpr const WCHAR* DATETIMEPICK_CLASS = u"SysDateTimePick32";
constexpr DWORD DTS_SHORTDATEFORMAT = 0x0000;
// wParam unused, lParam SYSTEMTIME*: fills it; returns GDT_VALID.
constexpr UINT DTM_GETSYSTEMTIME = 0x1001;
// wParam GDT_VALID, lParam const SYSTEMTIME*: sets the date; FALSE for an
// invalid date (nothing changes).
constexpr UINT DTM_SETSYSTEMTIME = 0x1002;
constexpr DWORD GDT_VALID = 0;
constexpr UINT DTN_DATETIMECHANGE = static_cast<UINT>(-759);

struct NMDATETIMECHANGE {
  NMHDR nmhdr;
  DWORD dwFlags = GDT_VALID;
  SYSTEMTIME st;
};

void RegisterDateTimePicker();
// Today's local date.
void GetLocalDate(SYSTEMTIME* out);
// The date days away from in (negative: earlier), through month and year ends.
SYSTEMTIME AddDays(const SYSTEMTIME& in, int days);
