#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr char kTwoInputs[] = R"(
  COMBO { name = "first" }
  BUTTON { caption = "B" }
  COMBO { name = "second" type = "edit" }
)";

class KeyboardTest : public ToolbarTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Build(kTwoInputs)); }
  WindowId Edit(size_t n) { return toolbar->Keyboard().Controls().at(n).EditWindow(); }
  long Key(WindowId window, unsigned message, unsigned key) {
    return toolbar->TranslateAccelerator(Message{window, message, key, 0});
  }
};

TEST_F(KeyboardTest, TabMovesBetweenControlsAndLeavesTheBandAtEitherEnd) {
  control.SetFocus(Edit(0));
  EXPECT_TRUE(toolbar->OnForwardedKeyDown(kVkTab));
  EXPECT_EQ(control.GetFocus(), Edit(1));
  EXPECT_TRUE(toolbar->OnForwardedKeyDown(kVkTab));
  EXPECT_EQ(control.GetFocus(), HeadlessToolbar::kReflectorWindow);

  control.SetKeyDown(kVkShift, true);
  control.SetFocus(Edit(1));
  EXPECT_TRUE(toolbar->OnForwardedKeyDown(kVkTab));
  EXPECT_EQ(control.GetFocus(), Edit(0));
  EXPECT_TRUE(toolbar->OnForwardedKeyDown(kVkTab));
  EXPECT_EQ(control.GetFocus(), HeadlessToolbar::kReflectorWindow);
}

TEST_F(KeyboardTest, TabFromAWindowBelowTheBandEntersTheFirstControl) {
  const WindowId second = control.AddWindow(HeadlessToolbar::kReflectorWindow);
  const WindowId focus = control.AddWindow(control.AddWindow(second));
  control.SetFocus(focus);
  EXPECT_TRUE(toolbar->OnForwardedKeyDown(kVkTab));
  EXPECT_EQ(control.GetFocus(), Edit(0));

  control.SetFocus(control.AddWindow(HeadlessToolbar::kFrameWindow));
  EXPECT_FALSE(toolbar->OnForwardedKeyDown(kVkTab));
  EXPECT_FALSE(toolbar->OnForwardedKeyDown('A'));
}

TEST_F(KeyboardTest, EnterKeyUpInTheEditPartStartsTheItemsSearch) {
  control.SetFocus(Edit(0));
  EXPECT_EQ(Key(Edit(0), kWmKeydown, kVkReturn), kSFalse);
  EXPECT_TRUE(hooks.searches.empty());
  EXPECT_EQ(Key(Edit(0), kWmKeyup, kVkReturn), kSOk);
  EXPECT_EQ(hooks.searches, std::vector<std::string>{"first"});
  // Addressed to the combo rather than its edit part: the browser's.
  EXPECT_EQ(Key(toolbar->ItemWindow(0), kWmKeyup, kVkReturn), kSFalse);
  control.SetFocus(Edit(1));
  EXPECT_EQ(Key(Edit(1), kWmKeyup, kVkReturn), kSOk);
  EXPECT_EQ(hooks.searches.back(), "second");
  EXPECT_EQ(Key(Edit(1), kWmKeydown, kVkTab), kSOk);
}

TEST_F(KeyboardTest, EditingKeysStayInTheControlAndOthersGoToTheBrowser) {
  control.SetFocus(Edit(0));
  control.SetKeyDown(kVkControl, true);
  EXPECT_EQ(Key(Edit(0), kWmKeydown, 'C'), kSOk);
  EXPECT_EQ(Key(Edit(0), kWmKeydown, 'P'), kSFalse);
  control.SetKeyDown(kVkControl, false);
  EXPECT_EQ(Key(Edit(0), kWmKeydown, 'C'), kSFalse);
  EXPECT_EQ(Key(Edit(0), kWmKeydown, kVkBack), kSOk);
  EXPECT_TRUE(toolbar->Keyboard().AutoCompleteSuspended());
  EXPECT_EQ(Key(Edit(0), kWmKeyup, kVkBack), kSOk);
  EXPECT_FALSE(toolbar->Keyboard().AutoCompleteSuspended());
  EXPECT_EQ(Key(Edit(0), kWmKeydown, kVkDelete), kSOk);
  EXPECT_FALSE(toolbar->Keyboard().AutoCompleteSuspended());
  EXPECT_EQ(control.DeliveredMessages().size(), 4u);

  control.SetFocus(HeadlessToolbar::kFrameWindow);
  EXPECT_EQ(Key(HeadlessToolbar::kFrameWindow, kWmKeydown, kVkBack), kSFalse);
}

TEST_F(KeyboardTest, DroppedTextFillsTheBoxAndSearchesUnlessSwitchedOff) {
  InputControl& box = toolbar->Keyboard().Controls()[0];
  uint32_t effect = 99;
  EXPECT_EQ(box.Drop("ignored", &effect), kEFail);
  EXPECT_EQ(box.DragEnter(false), kDropEffectNone);
  EXPECT_EQ(box.DragEnter(true), kDropEffectCopy);
  EXPECT_EQ(box.DragOver(), kDropEffectCopy);
  EXPECT_EQ(box.Drop("dropped words", &effect), kSOk);
  EXPECT_EQ(effect, kDropEffectCopy);
  EXPECT_EQ(ChildOf(0).text, "dropped words");
  EXPECT_EQ(hooks.searches, std::vector<std::string>{"first"});

  SetString("RunSearchDragAutomatically", "0");
  box.DragEnter(true);
  box.DragLeave();
  EXPECT_EQ(box.DragOver(), kDropEffectNone);
  EXPECT_EQ(box.Drop("x", &effect), kEFail);
  box.DragEnter(true);
  EXPECT_EQ(box.Drop("only filled", &effect), kSOk);
  EXPECT_EQ(ChildOf(0).text, "only filled");
  EXPECT_EQ(hooks.searches.size(), 1u);
}

TEST_F(KeyboardTest, FocusChangesReachTheBand) {
  toolbar->OnComboNotification(toolbar->ItemWindow(0), 3);  // CBN_SETFOCUS
  toolbar->OnComboNotification(toolbar->ItemWindow(0), 4);  // CBN_KILLFOCUS
  toolbar->OnComboNotification(12345, 3);
  EXPECT_EQ(hooks.focusChanges, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace qv::test
