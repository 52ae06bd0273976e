// The short-date picker: its date by message, keyboard editing with carries
// and clamping, clicks choosing the part, and its change notice.
#include "platform/controls/tests/ctl_test_util.h"
#include "platform/mfc/afx_datetime.h"

namespace {

SYSTEMTIME Date(int y, int m, int d) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  return st;
}

std::string Shown(CDateTimeCtrl& picker) {
  SYSTEMTIME st{};
  picker.GetTime(&st);
  char text[32];
  snprintf(text, sizeof(text), "%04d/%02d/%02d", st.wYear, st.wMonth, st.wDay);
  return text;
}

class CtlDatePicker : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(parent.Make());
    ASSERT_TRUE(picker.Create(WS_CHILD | WS_VISIBLE | DTS_SHORTDATEFORMAT, CRect(10, 10, 130, 35), &parent, 4042));
    desk.RunUntilIdle();
  }
  int Changes() {
    int n = 0;
    for (const Note& note : parent.Of(WM_NOTIFY)) n += note.code == DTN_DATETIMECHANGE && note.id == 4042;
    return n;
  }
  TestDesktop desk;
  Parent parent;
  CDateTimeCtrl picker;
};

TEST_F(CtlDatePicker, DatesAndKeysWithCarriesAndClamping) {
  // Today to start with; a set date is read back; an invalid one is refused.
  SYSTEMTIME today{};
  GetLocalDate(&today);
  EXPECT_EQ(Shown(picker), [&] {
    char t[32];
    snprintf(t, sizeof(t), "%04d/%02d/%02d", today.wYear, today.wMonth, today.wDay);
    return std::string(t);
  }());
  SYSTEMTIME st = Date(2024, 3, 31);
  EXPECT_TRUE(picker.SetTime(&st));
  SYSTEMTIME bad = Date(2023, 2, 29);
  EXPECT_FALSE(picker.SetTime(&bad));
  EXPECT_EQ(Shown(picker), "2024/03/31");
  EXPECT_EQ(Changes(), 0);  // set by the program: no notice

  picker.SetFocus();
  struct Step {
    const char* name;
    UINT key;
    const char* want;
  } steps[] = {
      {"day up carries into April", VK_UP, "2024/04/01"},
      {"day down carries back", VK_DOWN, "2024/03/31"},
      {"to the month", VK_LEFT, "2024/03/31"},
      {"month down clamps the day", VK_DOWN, "2024/02/29"},
      {"to the year", VK_LEFT, "2024/02/29"},
      {"a year on clamps to 28", VK_UP, "2025/02/28"},
      {"back to the month", VK_RIGHT, "2025/02/28"},
      {"month down twice crosses the year", VK_DOWN, "2025/01/28"},
      {"", VK_DOWN, "2024/12/28"},
  };
  int changes = 0;
  for (const Step& s : steps) {
    desk.Key(s.key);
    desk.RunUntilIdle();
    EXPECT_EQ(Shown(picker), s.want) << s.name;
    if (s.key == VK_UP || s.key == VK_DOWN) ++changes;
    EXPECT_EQ(Changes(), changes) << s.name;
  }
  // Digits retype the chosen part and move on to the next.
  desk.Type(u"0615");
  desk.RunUntilIdle();
  EXPECT_EQ(Shown(picker), "2024/06/15");
  // A click on the year part, then four digits.
  desk.Click(picker.m_hWnd, 8, 12);
  desk.Type(u"2023");
  desk.RunUntilIdle();
  EXPECT_EQ(Shown(picker), "2023/06/15");
  // Letters are ignored.
  desk.Type(u"ab");
  desk.RunUntilIdle();
  EXPECT_EQ(Shown(picker), "2023/06/15");
  EXPECT_TRUE(desk.SavePng(parent.m_hWnd, std::string(ORV_BINARY_DIR) + "/ctl_date_picker.png"));
}

TEST(CtlDatePickerDays, AddDaysCrossesMonthsYearsAndLeapDays) {
  struct Case {
    SYSTEMTIME from;
    int days;
    const char* want;
  } cases[] = {{Date(2024, 3, 15), -7, "2024/03/08"},
               {Date(2024, 3, 5), -7, "2024/02/27"},
               {Date(2024, 3, 15), -31, "2024/02/13"},
               {Date(2025, 1, 3), -7, "2024/12/27"},
               {Date(2024, 2, 28), 1, "2024/02/29"},
               {Date(2023, 2, 28), 1, "2023/03/01"}};
  for (const Case& c : cases) {
    SYSTEMTIME got = AddDays(c.from, c.days);
    char t[32];
    snprintf(t, sizeof(t), "%04d/%02d/%02d", got.wYear, got.wMonth, got.wDay);
    EXPECT_EQ(std::string(t), c.want);
  }
}

}  // namespace
