// FooButton: the type and layout tables, clicks, the split arrow, check
// state and groups, hover, cursor, keys, pictures and the painting layers,
// probed on the test desktop.
#include "skin_test_util.h"

#include <thread>

using namespace skintest;

namespace {

constexpr COLORREF kFace = RGB(240, 240, 240);  // the layer's button face
constexpr COLORREF kArrow = RGB(174, 210, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);

class FooButtonTest : public ::testing::Test {
 protected:
  TestDesktop desk;
  Recorder parent;
  orvtest::TempFolder temp;
  int nextY = 10;
  void SetUp() override { ASSERT_TRUE(parent.Make(400, 600)); }
  // A button of the type, w × h, with text, below the previous one.
  void Make(FooButton& b, int type, const WString& text = u"", int w = 100, int h = 24, int id = 7) {
    ASSERT_TRUE(b.Create(text.c_str(), WS_CHILD | WS_VISIBLE, CRect(10, nextY, 10 + w, nextY + h), &parent, id));
    nextY += h + 4;
    b.SetButtonType(type);
    desk.RunUntilIdle();
  }
  QImage Shot(FooButton& b) {
    b.Invalidate(FALSE);
    desk.RunUntilIdle();
    return desk.Snapshot(b.m_hWnd);
  }
  std::string Picture(const std::string& name, COLORREF color, int w = 20, int h = 10) {
    return WriteFlatPicture(temp.Path() + name, w, h, color);
  }
};

// What each type paints with no pictures and no text: the face (a framed
// button), nothing (black memory picture), white (a link), and the arrow.
TEST_F(FooButtonTest, TypeTableByPixels) {
  struct Case {
    int type;
    COLORREF inside;   // (5, 12), mouse away
    bool arrow;
  };
  const Case cases[] = {
      {0, RGB(0, 0, 0), false}, {1, kFace, false},   {2, RGB(0, 0, 0), false}, {3, kFace, true},
      {4, RGB(0, 0, 0), true},  {5, kFace, true},    {6, RGB(0, 0, 0), true},  {7, kFace, false},
      {8, RGB(0, 0, 0), false}, {11, RGB(255, 255, 255), false},
  };
  for (const Case& c : cases) {
    FooButton b;
    Make(b, c.type);
    QImage img = Shot(b);
    EXPECT_EQ(PixelOf(img, 5, 12), c.inside) << "type " << c.type;
    // Row 0 of the triangle: x0 = 100 - 12, y0 = 24 - (24 + 5) / 2 = 10.
    EXPECT_EQ(PixelOf(img, 89, 10) == kArrow, c.arrow) << "type " << c.type;
  }
}

TEST_F(FooButtonTest, TypeAboveElevenClearsFlagsAndKeepsType) {
  FooButton b;
  Make(b, 3);
  EXPECT_EQ(PixelOf(Shot(b), 89, 10), kArrow);
  b.SetButtonType(12);
  EXPECT_EQ(b.GetButtonType(), 3);
  EXPECT_NE(PixelOf(Shot(b), 89, 10), kArrow);  // the drop-arrow flag is gone
}

TEST_F(FooButtonTest, TypeResetsCheckExceptToggleTypes) {
  for (int type = 0; type <= 12; ++type) {
    FooButton b;
    Make(b, 7);
    b.SetCheck(1);
    ASSERT_EQ(b.GetCheck(), 1);
    b.SetButtonType(type);
    const bool kept = type == 7 || type == 8 || type == 12;
    EXPECT_EQ(b.GetCheck(), kept ? 1 : 0) << "type " << type;
  }
  FooButton plain;
  Make(plain, 1);
  plain.SetCheck(1);
  EXPECT_EQ(plain.GetCheck(), 0);  // not a checkable type
}

// Layouts: where the text's ink lies (red text on the face).
TEST_F(FooButtonTest, TextLayouts) {
  struct Case {
    int layout;
    bool ink;
    int minLeft, maxLeft;  // range of the ink's left edge
  };
  const Case cases[] = {{0, false, 0, 0}, {1, true, 5, 8}, {2, true, 30, 60}, {3, true, 5, 8}, {4, false, 0, 0}};
  for (const Case& c : cases) {
    FooButton b;
    Make(b, 1, u"■■", 120, 30);
    b.SetTextColor(kRed);
    b.SetTextLayout(c.layout);
    QRect ink = BoxOf(Shot(b), kRed);
    EXPECT_EQ(!ink.isNull(), c.ink) << "layout " << c.layout;
    if (c.ink) {
      EXPECT_GE(ink.left(), c.minLeft) << "layout " << c.layout;
      EXPECT_LE(ink.left(), c.maxLeft) << "layout " << c.layout;
    }
  }
}

TEST_F(FooButtonTest, ClicksAndSwallowedPress) {
  FooButton b;
  Make(b, 1, u"确定");
  desk.Click(b.m_hWnd, 20, 12);
  EXPECT_EQ(parent.Clicks(7), 1);
  // Released outside: nothing.
  desk.Advance(600);  // no double click
  desk.MouseDown(b.m_hWnd, 20, 12);
  EXPECT_TRUE(b.IsPressed());
  desk.MoveMouse(b.m_hWnd, 150, 12);
  desk.MouseUp(b.m_hWnd, 150, 12);
  EXPECT_EQ(parent.Clicks(7), 1);
  // A second press outside while captured is swallowed and clears pressed.
  desk.Advance(600);
  desk.MouseDown(b.m_hWnd, 20, 12);
  desk.MoveMouse(b.m_hWnd, 150, 60);
  desk.MouseDown(b.m_hWnd, 150, 60);
  EXPECT_FALSE(b.IsPressed());
  desk.MouseUp(b.m_hWnd, 150, 60);
  // A fast double click is two clicks.
  desk.Advance(600);
  parent.commands.clear();
  desk.DoubleClick(b.m_hWnd, 20, 12);
  EXPECT_EQ(parent.Clicks(7), 2);
}

TEST_F(FooButtonTest, SplitArrowSeenInClickHandler) {
  struct Case {
    const char* name;
    int type;
    int x;  // press and release point in a 100-px button
    BOOL arrow;
  };
  const Case cases[] = {{"split, 22 px from the right", 5, 78, TRUE},
                        {"split, 23 px from the right", 5, 77, FALSE},
                        {"flat split, at the right edge", 6, 99, TRUE},
                        {"drop arrow, at the right edge", 3, 99, FALSE},
                        {"flat drop arrow", 4, 90, FALSE}};
  for (const Case& c : cases) {
    FooButton b;
    Make(b, c.type);
    parent.commands.clear();
    desk.Click(b.m_hWnd, c.x, 12);
    ASSERT_EQ(parent.commands.size(), 1u) << c.name;
    EXPECT_EQ(parent.commands[0].arrowPressed, c.arrow) << c.name;
    EXPECT_FALSE(b.IsArrowPressed()) << c.name;  // cleared after the release
    // The second click of a fast pair reports the arrow area as well.
    parent.commands.clear();
    desk.DoubleClick(b.m_hWnd, c.x, 12);
    ASSERT_EQ(parent.commands.size(), 2u) << c.name;
    EXPECT_EQ(parent.commands[1].arrowPressed, c.arrow) << c.name;
    desk.Advance(600);
  }
  // The leave notice clears it as well.
  FooButton b;
  Make(b, 5);
  desk.MouseDown(b.m_hWnd, 95, 12);
  EXPECT_TRUE(b.IsArrowPressed());
  b.SendMessage(WM_MOUSELEAVE);
  EXPECT_FALSE(b.IsArrowPressed());
  desk.MouseUp(b.m_hWnd, 95, 12);
}

TEST_F(FooButtonTest, CheckStatesAndRadioGroups) {
  FooButton r[3];
  for (int i = 0; i < 3; ++i) {
    Make(r[i], 10, u"", 40, 20, 20 + i);
    EXPECT_TRUE(r[i].SetGroup(u"周期"));
  }
  desk.RunUntilIdle();
  desk.Click(r[0].m_hWnd, 5, 5);
  EXPECT_EQ(parent.commands.back().check, 1);  // the handler sees the new state
  desk.Click(r[2].m_hWnd, 5, 5);
  EXPECT_EQ(r[0].GetCheck(), 0);
  EXPECT_EQ(r[2].GetCheck(), 1);
  desk.Advance(600);
  desk.Click(r[2].m_hWnd, 5, 5);  // stays checked
  EXPECT_EQ(r[2].GetCheck(), 1);
  r[1].SetCheck(1);
  EXPECT_EQ(r[2].GetCheck(), 0);
  r[1].SetCheck(0);  // unchecking checks nobody
  EXPECT_EQ(r[0].GetCheck() + r[1].GetCheck() + r[2].GetCheck(), 0);

  // A grouped toggle stays checked; an ungrouped check box toggles.
  FooButton grouped, box;
  Make(grouped, 7, u"", 40, 20, 30);
  grouped.SetGroup(u"开关");
  Make(box, 9, u"", 40, 20, 31);
  desk.Click(grouped.m_hWnd, 5, 5);
  desk.Advance(600);
  desk.Click(grouped.m_hWnd, 5, 5);
  EXPECT_EQ(grouped.GetCheck(), 1);
  desk.Click(box.m_hWnd, 5, 5);
  EXPECT_EQ(parent.commands.back().check, 1);
  desk.Advance(600);
  desk.Click(box.m_hWnd, 5, 5);
  EXPECT_EQ(parent.commands.back().check, 0);
}

TEST_F(FooButtonTest, GroupBookkeeping) {
  const int before = FooButton::LiveCount();
  {
    FooButton a, b;
    Make(a, 10);
    Make(b, 10, u"", 100, 24, 8);
    EXPECT_FALSE(a.SetGroup(u""));
    EXPECT_FALSE(a.SetGroup(nullptr));
    EXPECT_FALSE(a.LeaveGroup());
    EXPECT_TRUE(a.SetGroup(u"g"));
    EXPECT_TRUE(a.SetGroup(u"g"));  // joined once
    EXPECT_TRUE(b.SetGroup(u"g"));
    EXPECT_EQ(FooButton::GroupMembers(u"g").size(), 2u);
    // A destroyed member leaves its group.
    b.DestroyWindow();
    EXPECT_EQ(FooButton::GroupMembers(u"g"), std::vector<HWND>{a.m_hWnd});
    EXPECT_TRUE(a.LeaveGroup());
    EXPECT_FALSE(a.LeaveGroup());
    EXPECT_TRUE(a.SetGroup(u"g"));
  }
  if (before == 0) {
    // The last button gone: a new one joins a fresh group of the old name.
    EXPECT_EQ(FooButton::LiveCount(), 0);
    EXPECT_TRUE(FooButton::GroupMembers(u"g").empty());
  }
}

// A handle that no longer belongs to a FooButton is never treated as one.
TEST_F(FooButtonTest, ForeignHandleInGroupIsSkipped) {
  FooButton a, b;
  Make(a, 10);
  Make(b, 10, u"", 100, 24, 8);
  a.SetGroup(u"g");
  b.SetGroup(u"g");
  b.SetCheck(1);
  HWND foreign = b.UnsubclassWindow();  // still a window, still in the list
  ASSERT_TRUE(IsWindow(foreign));
  a.SetCheck(1);
  EXPECT_EQ(a.GetCheck(), 1);
  EXPECT_EQ(b.GetCheck(), 1);  // the object was not reached through the handle
  DestroyWindow(foreign);
  a.SetCheck(1);
}

TEST_F(FooButtonTest, HoverLooksComeAndGoWithTheLeaveNotice) {
  FooButton flat, colored;
  Make(flat, 2);
  EXPECT_EQ(PixelOf(Shot(flat), 5, 12), RGB(0, 0, 0));  // nothing until hovered
  desk.MoveMouse(flat.m_hWnd, 20, 12);
  QImage raised = Shot(flat);
  EXPECT_EQ(PixelOf(raised, 5, 12), kFace);
  EXPECT_EQ(PixelOf(raised, 0, 0), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelOf(raised, 99, 23), GetSysColor(COLOR_BTNSHADOW));
  desk.MouseDown(flat.m_hWnd, 20, 12);
  QImage sunken = Shot(flat);
  EXPECT_EQ(PixelOf(sunken, 0, 0), GetSysColor(COLOR_BTNSHADOW));
  desk.MouseUp(flat.m_hWnd, 20, 12);
  desk.MoveMouse(parent.m_hWnd, 300, 150);
  EXPECT_EQ(PixelOf(Shot(flat), 5, 12), RGB(0, 0, 0));

  // Hover text colour and mouse-over picture.
  Make(colored, 1, u"■■", 100, 24, 8);
  colored.SetTextColor(RGB(0, 0, 255));
  colored.SetHoverTextColor(TRUE, kRed);
  colored.SetMouseOverImage(TRUE, Wide(Picture("over.png", RGB(0, 255, 0))).c_str());
  EXPECT_EQ(CountColor(Shot(colored), kRed), 0);
  desk.MoveMouse(colored.m_hWnd, 5, 5);
  QImage over = Shot(colored);
  EXPECT_GT(CountColor(over, kRed), 0);
  EXPECT_EQ(PixelOf(over, 2, 2), RGB(0, 255, 0));
  desk.MoveMouse(parent.m_hWnd, 300, 150);
  QImage away = Shot(colored);
  EXPECT_EQ(CountColor(away, kRed), 0);
  EXPECT_GT(CountColor(away, RGB(0, 0, 255)), 0);
  EXPECT_NE(PixelOf(away, 2, 2), RGB(0, 255, 0));

  // A split button shows its separator picture (right - 18 .. right - 16)
  // only while the mouse-over picture does.
  FooButton split;
  Make(split, 5, u"", 100, 24, 9);
  split.SetMouseOverImage(TRUE, Wide(Picture("over2.png", RGB(0, 255, 0))).c_str());
  split.SetSeparatorImage(Wide(Picture("sep.png", RGB(255, 0, 255), 2, 10)).c_str());
  EXPECT_NE(PixelOf(Shot(split), 82, 12), RGB(255, 0, 255));
  desk.MoveMouse(split.m_hWnd, 5, 5);
  QImage sep = Shot(split);
  EXPECT_EQ(PixelOf(sep, 82, 12), RGB(255, 0, 255));
  EXPECT_EQ(PixelOf(sep, 83, 12), RGB(255, 0, 255));
  EXPECT_EQ(PixelOf(sep, 81, 12), RGB(0, 255, 0));
  EXPECT_EQ(PixelOf(sep, 84, 12), RGB(0, 255, 0));
}

TEST_F(FooButtonTest, HandCursor) {
  struct Case {
    const char* name;
    int type;
    BOOL hand;  // SetHandCursor
    bool expect;
  };
  const Case cases[] = {{"link", 11, FALSE, true}, {"push with hand", 1, TRUE, true}, {"push", 1, FALSE, false}};
  for (const Case& c : cases) {
    FooButton b;
    Make(b, c.type);
    b.SetHandCursor(c.hand);
    desk.MoveMouse(parent.m_hWnd, 300, 150);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    desk.MoveMouse(b.m_hWnd, 20, 12);
    EXPECT_EQ(CursorShapeOf(GetCursor()) == 32649, c.expect) << c.name;
  }
}

TEST_F(FooButtonTest, KeysArePostedToTheParentAndSpaceClicks) {
  FooButton b;
  Make(b, 1, u"确定");
  b.SetFocus();
  desk.KeyDown(VK_F1, 3);
  desk.KeyUp(VK_F1);
  ASSERT_FALSE(parent.keys.empty());
  EXPECT_EQ(parent.keys[0].wParam, static_cast<WPARAM>(VK_F1));
  EXPECT_EQ(parent.keys[0].lParam, 3);
  desk.Key(VK_SPACE);
  EXPECT_EQ(parent.Clicks(7), 1);
}

TEST_F(FooButtonTest, StatePictures) {
  const std::string normal = Picture("normal.png", RGB(0, 0, 255)), pressed = Picture("pressed.png", RGB(255, 0, 0)),
                    disabled = Picture("disabled.png", RGB(128, 128, 0));
  const COLORREF blue = RGB(0, 0, 255), red = RGB(255, 0, 0), olive = RGB(128, 128, 0);
  FooButton b;
  Make(b, 1);
  b.SetNormalImage(Wide(normal).c_str());
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), kFace);  // only a normal picture: frame instead
  b.SetPressedImage(Wide(pressed).c_str());
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), blue);
  EXPECT_EQ(PixelOf(Shot(b), 0, 0), blue);  // stretched over the whole button
  desk.MouseDown(b.m_hWnd, 50, 12);
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), red);
  desk.MouseUp(b.m_hWnd, 50, 12);
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), blue);
  b.EnableButton(FALSE);
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), kFace);  // no disabled picture: none
  b.SetDisabledImage(Wide(disabled).c_str());
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), olive);
  b.EnableButton(TRUE);
  // Replacing the file between two paints shows the new picture.
  Picture("normal.png", RGB(0, 255, 255));
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), RGB(0, 255, 255));

  // Checked: the pressed picture for check boxes and radios, not toggles.
  struct Case {
    int type;
    COLORREF checked;
  };
  for (Case c : {Case{9, red}, Case{10, red}, Case{7, RGB(0, 255, 255)}}) {
    FooButton t;
    Make(t, c.type, u"", 100, 24, 9);
    t.SetNormalImage(Wide(normal).c_str());
    t.SetPressedImage(Wide(pressed).c_str());
    t.SetCheck(1);
    EXPECT_EQ(PixelOf(Shot(t), 50, 12), c.checked) << "type " << c.type;
  }
}

TEST_F(FooButtonTest, ImageSizeFollowsThePressedPicture) {
  FooButton b;
  EXPECT_EQ(b.GetImageWidth(), 0);
  EXPECT_EQ(b.GetImageHeight(), 0);
  b.SetNormalImage(Wide(Picture("n.png", RGB(0, 0, 255), 30, 12)).c_str());
  EXPECT_EQ(b.GetImageWidth(), 0);
  b.SetPressedImage(Wide(Picture("p.png", RGB(0, 0, 255), 41, 17)).c_str());
  EXPECT_EQ(b.GetImageWidth(), 41);
  EXPECT_EQ(b.GetImageHeight(), 17);
  b.SetPressedImage(Wide(temp.Path() + "missing.png").c_str());
  EXPECT_EQ(b.GetImageWidth(), 0);
}

TEST_F(FooButtonTest, DefaultGradientAndSplitArrowFrame) {
  FooButton def;
  Make(def, 1, u"", 100, 40);
  def.SetDefault(TRUE);
  QImage img = Shot(def);
  // Inside (1, 1) .. (98, 38): 255 bands over 37 rows, from white at the
  // top to (200, 200, 216) at the bottom.
  EXPECT_GE(GetRValue(PixelOf(img, 50, 1)), 250);
  EXPECT_EQ(PixelOf(img, 50, 37), RGB(200, 200, 216));
  for (int y = 2; y < 38; ++y) EXPECT_LE(GetRValue(PixelOf(img, 50, y)), GetRValue(PixelOf(img, 50, y - 1)));
  EXPECT_NE(PixelOf(img, 50, 38), RGB(200, 200, 216));  // shrunk by 2 at the bottom

  FooButton split;
  Make(split, 5, u"", 100, 24, 8);
  desk.MouseDown(split.m_hWnd, 95, 12);
  QImage down = Shot(split);
  desk.MouseUp(split.m_hWnd, 95, 12);
  // The checked arrow frame is a dither of highlight and face.
  EXPECT_NE(PixelOf(down, 90, 5), PixelOf(down, 91, 5));
  EXPECT_EQ(PixelOf(down, 70, 5), kFace);
}

TEST_F(FooButtonTest, CheckGlyphAndArrowRows) {
  FooButton box;
  Make(box, 9, u"", 100, 24);
  box.SetCheck(1);
  QImage img = Shot(box);
  // 13 px square at x 0, vertically centred: (24 - 13) / 2 = 5.
  QRect white = BoxOf(img, GetSysColor(COLOR_WINDOW));
  EXPECT_GE(white.left(), 0);
  EXPECT_LE(white.right(), 12);
  EXPECT_GE(white.top(), 5);
  EXPECT_LE(white.bottom(), 17);
  EXPECT_GT(CountColor(img, GetSysColor(COLOR_WINDOWTEXT), QRect(0, 5, 13, 13)), 0);

  FooButton drop;
  Make(drop, 3, u"", 100, 24, 8);
  QImage rows = Shot(drop);
  // x0 = 88, y0 = 10; row i from x0 + i to x0 + 8 - i (end point excluded).
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(PixelOf(rows, 88 + i, 10 + i), kArrow) << "row " << i;
    EXPECT_EQ(PixelOf(rows, 88 + 7 - i, 10 + i), kArrow) << "row " << i;
    EXPECT_NE(PixelOf(rows, 88 + 8 - i, 10 + i), kArrow) << "row " << i;
  }
  // Pressed: one pixel right and down.
  desk.MouseDown(drop.m_hWnd, 20, 12);
  EXPECT_EQ(PixelOf(Shot(drop), 89, 11), kArrow);
  desk.MouseUp(drop.m_hWnd, 20, 12);
}

TEST_F(FooButtonTest, TextShiftLinkEmbossAndEllipsis) {
  // (1, 1) shift while pressed for type 1, never for type 0.
  for (int type : {1, 0}) {
    FooButton b;
    Make(b, type, u"■", 100, 24);
    b.SetTextColor(kRed);
    QRect up = BoxOf(Shot(b), kRed);
    desk.MouseDown(b.m_hWnd, 20, 12);
    QRect down = BoxOf(Shot(b), kRed);
    desk.MouseUp(b.m_hWnd, 20, 12);
    ASSERT_FALSE(up.isNull());
    EXPECT_EQ(down.topLeft() - up.topLeft(), type == 1 ? QPoint(1, 1) : QPoint(0, 0)) << "type " << type;
  }
  // A link: white fill, grey text.
  FooButton link;
  Make(link, 11, u"■", 100, 24);
  QImage l = Shot(link);
  EXPECT_EQ(PixelOf(l, 2, 2), RGB(255, 255, 255));
  EXPECT_GT(CountColor(l, RGB(102, 102, 102)), 0);
  // Disabled text is embossed: highlight at (+1, +1) under the grey text.
  FooButton off;
  Make(off, 1, u"■", 100, 24);
  off.EnableButton(FALSE);
  QImage e = Shot(off);
  const QRect inside(3, 3, 94, 18);  // clear of the frame's own highlight
  QRect grey = BoxOf(e, GetSysColor(COLOR_GRAYTEXT), inside);
  ASSERT_FALSE(grey.isNull());
  // The highlight copy reaches one row further down than the grey one and
  // its antialiased fringe.
  int below = 0;
  for (int x = grey.left(); x <= grey.right() + 2; ++x) below += PixelOf(e, x, grey.bottom() + 2) != kFace;
  EXPECT_GT(below, 4);
  EXPECT_EQ(PixelOf(e, grey.left(), grey.bottom() + 4), kFace);
  EXPECT_EQ(PixelOf(e, grey.left() - 2, grey.top()), kFace);
  // A long text ends in "...": the last ink before the space's end is dots
  // (a few rows at the baseline), not the full height of "W".
  FooButton lng;
  Make(lng, 0, u"WWWWWWWWWWWWWWWWWWWW", 100, 24);
  lng.SetTextColor(kRed);
  lng.SetTextLayout(1);
  QImage t = Shot(lng);
  QRect all = BoxOf(t, kRed);
  ASSERT_FALSE(all.isNull());
  EXPECT_LE(all.right(), 99);
  QRect tail;
  for (int y = 0; y < t.height(); ++y)
    for (int x = all.right() - 2; x <= all.right(); ++x)
      if (PixelOf(t, x, y) == kRed) tail = tail.united(QRect(x, y, 1, 1));
  EXPECT_LE(tail.height(), 3);
  EXPECT_GT(all.height(), 6);
}

TEST_F(FooButtonTest, FocusRectangleOnlyWithAFocusStyle) {
  FooButton b;
  Make(b, 1, u"", 100, 24);
  b.SetFocus();
  QImage plain = Shot(b);
  b.SetDrawFocus(1);
  QImage focused = Shot(b);
  int changed = 0;
  for (int x = 4; x < 96; ++x) changed += PixelOf(plain, x, 4) != PixelOf(focused, x, 4);
  EXPECT_GT(changed, 20);  // the dotted top edge at y 4
  EXPECT_EQ(PixelOf(focused, 50, 12), kFace);
}

TEST_F(FooButtonTest, EnableButtonFromAWorkerThread) {
  const std::string disabled = Picture("off.png", RGB(128, 128, 0));
  FooButton b;
  Make(b, 1);
  b.SetDisabledImage(Wide(disabled).c_str());
  std::thread worker([&b] { b.EnableButton(FALSE); });
  EXPECT_TRUE(desk.RunUntil([&] { return !IsWindowEnabled(b.m_hWnd); }));
  worker.join();
  EXPECT_EQ(PixelOf(Shot(b), 50, 12), RGB(128, 128, 0));
}

}  // namespace
