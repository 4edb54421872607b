// The Win32 backend of the toolbar-control seam on a real toolbar common
// control (run under Wine by the Windows test build).
#ifdef _WIN32

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/win32/toolbar_control_win32.h"
#include "support/temp_dir.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

class Win32ToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_BAR_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&init);
    parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1024, 22, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr) << "error " << GetLastError();
    window_ =
        CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                            CCS_TOP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                        0, 0, 1024, 22, parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    control_ = std::make_unique<Win32ToolbarControl>(window_);
  }
  void TearDown() override {
    control_.reset();
    if (parent_) DestroyWindow(parent_);
  }

  HWND parent_ = nullptr;
  HWND window_ = nullptr;
  std::unique_ptr<Win32ToolbarControl> control_;
};

TEST_F(Win32ToolbarTest, ButtonsTextsAndHiding) {
  ToolbarControl& c = *control_;
  EXPECT_EQ(c.ParentWindow(), reinterpret_cast<WindowId>(parent_));
  ASSERT_TRUE(
      c.AddButtons({ToolbarButton{0, 1024, kTbstateEnabled, kBtnsAutosize | kBtnsShowtext, 0, 0},
                    ToolbarButton{8, 1025, 0, kBtnsSep, 0, 0},
                    ToolbarButton{0, 1026, kTbstateEnabled, kBtnsAutosize | kBtnsShowtext, 0, 1}}));
  EXPECT_EQ(c.ButtonCount(), 3);
  ButtonInfo text;
  text.mask = kTbifText | kTbifImage;
  text.text = "Search";
  text.image = 2;
  ASSERT_TRUE(c.SetButtonInfo(1024, text));
  ButtonInfo read;
  ASSERT_TRUE(c.GetButtonInfo(1024, &read));
  EXPECT_EQ(read.text, "Search");
  EXPECT_EQ(read.image, 2);
  EXPECT_TRUE(read.state & kTbstateEnabled);

  EXPECT_FALSE(c.IsButtonHidden(1024));
  EXPECT_TRUE(c.HideButton(1024, true));
  EXPECT_TRUE(c.IsButtonHidden(1024));
  EXPECT_TRUE(c.CheckButton(1026, true));
  EXPECT_TRUE(c.IsButtonChecked(1026));
  EXPECT_TRUE(c.DeleteButton(2));
  EXPECT_EQ(c.ButtonCount(), 2);
  EXPECT_FALSE(c.GetButtonInfo(4000, &read));
}

TEST_F(Win32ToolbarTest, ComboBoxLookupsAndBitmaps) {
  ToolbarControl& c = *control_;
  const WindowId combo = c.CreateChild(
      ChildSpec{ChildKind::kComboBox, kWsChild | kWsVisible | kCbsDropdown | kCbsAutohscroll, 0,
                Rect{0, 0, 120, 120}});
  ASSERT_NE(combo, 0u);
  for (const char* text : {"Apple", "banana", "apricot"}) c.ComboAddString(combo, text);
  EXPECT_EQ(c.ComboGetCount(combo), 3);
  EXPECT_EQ(c.ComboFindStringExact(combo, -1, "BANANA"), 1);
  EXPECT_EQ(c.ComboSelectString(combo, 0, "ap"), 2);
  EXPECT_EQ(c.ComboGetString(combo, 2), "apricot");
  EXPECT_NE(c.EditPartOf(combo), combo);
  c.ComboSetItemData(combo, 1, 7);
  EXPECT_EQ(c.ComboGetItemData(combo, 1), 7);
  c.DestroyChild(combo);

  TempDir dir;
  WriteFile(dir.File("good.bmp"), BitmapBytes(64, 16));
  WriteFile(dir.File("bad.bmp"), BitmapBytes(64, 16).substr(0, 70));
  int w = 0, h = 0;
  ASSERT_TRUE(c.ReadBitmapSize(dir.File("good.bmp"), &w, &h));
  EXPECT_EQ(h, 16);
  EXPECT_TRUE(c.LoadImageLists(dir.File("good.bmp"), dir.File("good.bmp"), 16));
  EXPECT_FALSE(c.LoadImageLists(dir.File("bad.bmp"), dir.File("good.bmp"), 16));
  EXPECT_FALSE(c.LoadImageLists(dir.File("missing.bmp"), dir.File("good.bmp"), 16));
  EXPECT_TRUE(c.SetToolbarFont(FontSpec{"Tahoma", 13, 400, 1, 0x20}));
  EXPECT_TRUE(c.SetTimer(43690, 500));
  c.KillTimer(43690);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
