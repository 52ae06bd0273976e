// CDateTimeCtrl over the layer's SysDateTimePick32 (short-date form).
#pragma once

#include "platform/controls/win_datetime.h"
#include "platform/mfc/afx.h"

class CDateTimeCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    RegisterDateTimePicker();
    return CWnd::Create(DATETIMEPICK_CLASS, u"", style, rect, parent, id);
  }
  DWORD GetTime(SYSTEMTIME* out) const {
    return static_cast<DWORD>(SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(out)));
  }
  BOOL SetTime(const SYSTEMTIME* in) {
    return static_cast<BOOL>(SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(in)));
  }
};
