// Snapshots of the skinned controls for checking by eye: written as PNG
// files under the build folder (snapshots/), with a few probes that the
// picture is what it claims to be.
#include "skin_test_util.h"

#include "controls/menu_ex.h"
#include "controls/tab_bar.h"
#include "foundation/draw_helpers.h"
#include "platform/kernel/kernel_files.h"

using namespace skintest;

namespace {

std::string SnapshotPath(const std::string& name) {
  const std::string folder = std::string(ORV_BINARY_DIR) + "/snapshots";
  CreateFolderTree(folder);
  return folder + "/" + name;
}

class MenuOwner : public CWnd {};

TEST(MenuExSnapshot, DarkFlatMenu) {
  TestDesktop desk;
  orvtest::UseProgramFonts();
  MenuOwner owner;
  ASSERT_TRUE(owner.CreateEx(0, nullptr, u"owner", WS_POPUP | WS_VISIBLE, CRect(0, 0, 600, 400), nullptr, 0));
  CMenuEx menu, sub;
  ASSERT_TRUE(menu.CreatePopupMenu());
  ASSERT_TRUE(sub.CreatePopupMenu());
  sub.AppendItem(MF_OWNERDRAW, 211, u"日线");
  sub.AppendItem(MF_OWNERDRAW, 212, u"周线");
  menu.AppendItem(MF_OWNERDRAW, 201, u"加入自选股");
  menu.AppendItem(MF_OWNERDRAW | MF_CHECKED, 202, u"显示成交明细");
  menu.AppendItem(MF_OWNERDRAW | MF_GRAYED, 203, u"删除自选股");
  menu.AppendItem(MF_OWNERDRAW, 0, nullptr);
  menu.AppendItem(MF_OWNERDRAW | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.m_hMenu), u"分析周期");
  QImage picture;
  desk.Until([] { return FindWindowW(WC_POPUPMENU, nullptr) != nullptr; });
  desk.Then([&] { desk.Key(VK_DOWN); });
  desk.Then([&] {
    picture = desk.Snapshot(FindWindowW(WC_POPUPMENU, nullptr));
    desk.Key(VK_ESCAPE);
  });
  menu.TrackPopupMenu(0, 100, 100, &owner);
  desk.RunUntilIdle();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.height(), 5 * 25);
  EXPECT_EQ(PixelOf(picture, picture.width() - 1, 30), RGB(45, 45, 45));
  EXPECT_EQ(PixelOf(picture, picture.width() - 1, 10), RGB(103, 103, 103));  // the first item highlighted
  EXPECT_TRUE(picture.save(QString::fromStdString(SnapshotPath("skin_menu.png"))));
}

}  // namespace
