#include <gtest/gtest.h>

#include "formats/bitmap_file.h"
#include "simulators/headless_toolbar.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

bool Parse(const std::string& bytes, BitmapFileInfo* info) {
  return ParseBitmapFileInfo(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             info);
}

TEST(BitmapFileTest, ReadsSizesAndRejectsDamagedFiles) {
  BitmapFileInfo info;
  ASSERT_TRUE(Parse(BitmapBytes(192, 16), &info));
  EXPECT_EQ(info.width, 192);
  EXPECT_EQ(info.height, 16);
  EXPECT_EQ(info.bitsPerPixel, 24);

  const std::string good = BitmapBytes(5, 3);
  EXPECT_FALSE(Parse(good.substr(0, good.size() - 1), &info));  // pixel data cut
  EXPECT_FALSE(Parse(good.substr(0, 20), &info));               // header cut
  EXPECT_FALSE(Parse("", &info));
  std::string notBm = good;
  notBm[0] = 'X';
  EXPECT_FALSE(Parse(notBm, &info));
  std::string huge = good;
  huge[18] = huge[19] = huge[20] = '\x7F';  // width far beyond any strip
  EXPECT_FALSE(Parse(huge, &info));
  std::string topDown = good;
  topDown[22] = topDown[23] = topDown[24] = topDown[25] = '\xFF';
  topDown[22] = '\xFD';  // height -3
  ASSERT_TRUE(Parse(topDown, &info));
  EXPECT_EQ(info.height, 3);
  EXPECT_FALSE(ReadBitmapFileInfo("/nonexistent/file.bmp", &info));
}

TEST(HeadlessToolbarTest, ComboLookupsFollowTheComboBoxRules) {
  HeadlessToolbar control;
  const WindowId combo = control.CreateChild(ChildSpec{ChildKind::kComboBox, kWsVisible, 0, {}});
  for (const char* text : {"Apple", "banana", "apricot", "Banana split"})
    control.ComboAddString(combo, text);
  EXPECT_EQ(control.ComboFindStringExact(combo, -1, "BANANA"), 1);
  EXPECT_EQ(control.ComboFindStringExact(combo, -1, "banan"), kCbErr);
  EXPECT_EQ(control.ComboFindStringExact(combo, 1, "banana"), 1);  // wraps around
  EXPECT_EQ(control.ComboSelectString(combo, -1, "AP"), 0);
  EXPECT_EQ(control.ComboSelectString(combo, 0, "ap"), 2);
  EXPECT_EQ(control.GetChildText(combo), "apricot");
  EXPECT_EQ(control.ComboSelectString(combo, -1, "cherry"), kCbErr);
  EXPECT_EQ(control.ComboGetCurSel(combo), 2);
  control.ComboInsertString(combo, 0, "first");
  EXPECT_EQ(control.ComboGetCurSel(combo), 3);
  control.ComboDeleteString(combo, 3);
  EXPECT_EQ(control.ComboGetCurSel(combo), kCbErr);
  EXPECT_EQ(control.GetParentOf(control.EditPartOf(combo)), combo);
}

TEST(HeadlessToolbarTest, WidthsFollowTextStylesAndFixedSizes) {
  HeadlessToolbar control;
  control.SetBitmapSize(16, 16);
  control.SetExtendedStyle(kTbstyleExDrawddarrows);
  control.AddButtons({ToolbarButton{0, 1, kTbstateEnabled, kBtnsAutosize | kBtnsShowtext, 0, 0},
                      ToolbarButton{0, 2, 0, kBtnsSep, 0, 0},
                      ToolbarButton{0, 3, kTbstateEnabled, kBtnsDropdown, 0, 0}});
  ButtonInfo text;
  text.mask = kTbifText;
  text.text = "Four";
  control.SetButtonInfo(1, text);
  Rect r;
  control.GetItemRect(0, &r);
  EXPECT_EQ(r.Width(), 16 + 7 + 4 + 4 * HeadlessToolbar::kCharWidth);
  control.GetItemRect(1, &r);
  EXPECT_EQ(r.Width(), 8);
  control.GetItemRect(2, &r);
  EXPECT_EQ(r.Width(), 16 + 7 + 14);
  ButtonInfo size;
  size.mask = kTbifSize;
  size.cx = 77;
  control.SetButtonInfo(1, size);
  control.GetItemRect(0, &r);
  EXPECT_EQ(r.Width(), 77);
  EXPECT_EQ(control.HitTest(Point{80, 3}), 1);
  control.HideButton(2, true);
  EXPECT_EQ(control.HitTest(Point{80, 3}), 2);
  EXPECT_FALSE(control.GetButtonInfo(99, &size));
}

}  // namespace
}  // namespace qv::test
