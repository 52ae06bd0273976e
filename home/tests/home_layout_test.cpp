#include <gtest/gtest.h>

#include "home/home_layout.h"
#include "platform/kernel/kernel_utf.h"

namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(HomeLayout, EightSlotsAtNineHundredBySixHundred) {
  const std::vector<RECT> slots = HomeSlotRects(0, 0, 900, 600);
  ASSERT_EQ(slots.size(), 8u);
  const RECT expected[8] = {
      {2, 2, 298, 198},     {302, 2, 598, 198},   {602, 2, 898, 198},   {2, 202, 298, 398},
      {302, 202, 598, 398}, {2, 402, 298, 598},   {302, 402, 598, 598}, {602, 202, 898, 598},
  };
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(Same(slots[i], expected[i])) << i;
  // an offset client rectangle and sizes that do not divide by 3
  const std::vector<RECT> odd = HomeSlotRects(10, 20, 301, 100);
  EXPECT_TRUE(Same(odd[1], RECT{10 + 100 + 2, 22, 10 + 100 + 100 - 2, 20 + 33 - 2}));
  EXPECT_TRUE(Same(odd[7], RECT{10 + 200 + 2, 20 + 33 + 2, 10 + 200 + 100 - 2, 20 + 33 + 66 - 2}));
  const HomeUnits u = HomeColumnUnits(900);
  EXPECT_EQ(u.ownStock, 900 / 18 - 2);
  EXPECT_EQ(u.alert, 900 / 15 - 2);
  EXPECT_EQ(u.info, 900 / 9 - 2);
}

TEST(HomeLayout, AlertTimesAreWrittenFieldByField) {
  struct Case {
    int value;
    const char* text;
  };
  const Case cases[] = {{93507, "09:35:07"}, {150000, "15:00:00"}, {0, "00:00:00"},
                        {995999, "99:59:99"}, {-5, "00:00:-5"}, {2147483647, "214748:36:47"}};
  for (const Case& c : cases) EXPECT_EQ(WideToUtf8(HomeAlertTime(c.value)), c.text) << c.value;
}

TEST(HomeLayout, AlertsArePickedNewestLastAndOnlyAsManyAsFit) {
  // 30 passing records, 10 rows: the ten newest, the newest on the last row
  const std::vector<int> all = PickHomeAlerts(30, 10, [](int) { return true; });
  ASSERT_EQ(all.size(), 10u);
  EXPECT_EQ(all.front(), 20);
  EXPECT_EQ(all.back(), 29);
  // only the even ones pass (stocks outside the watch list do not count)
  const std::vector<int> even = PickHomeAlerts(30, 4, [](int i) { return i % 2 == 0; });
  EXPECT_EQ(even, (std::vector<int>{22, 24, 26, 28}));
  EXPECT_TRUE(PickHomeAlerts(0, 10, [](int) { return true; }).empty());
  EXPECT_TRUE(PickHomeAlerts(5, 0, [](int) { return true; }).empty());
  EXPECT_EQ(PickHomeAlerts(3, 10, [](int) { return true; }), (std::vector<int>{0, 1, 2}));
}

}  // namespace
