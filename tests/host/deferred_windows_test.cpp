// A band put into a browser window builds its buttons first and makes the
// items' child windows a moment later: the result must be the toolbar an
// immediate build makes, whatever happens in between.
#include <utility>
#include <vector>

#include "host/keyboard_focus.h"
#include "host/toolbar_command_host.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr char kWithWindows[] = R"(
  BUTTON { caption = "Go" image = "1" MENU { type = "Split" image = "m.bmp" MENUITEM { caption = "a" } } }
  COMBO { name = "q" type = "edit" width = "30" maxchars = "40" hint = "Type" }
  COMBO { name = "e" width = "15" COMBOVALUE { caption = "Web" value = "web" } }
  WEBPAGE { name = "w" url = "http://p.test/?d=%domain" width = "90" }
  BUTTON { name = "tail" caption = "Tail" }
)";

// What a build left on the control: every button with its width, and every
// child window with its kind, rectangle, visibility and pages.
struct Layout {
  std::vector<std::pair<int, int>> buttons;  // command, width
  std::vector<std::pair<ChildKind, Rect>> children;
  std::vector<std::vector<std::string>> navigations;
  std::vector<int> inputOrder;
};

class DeferredWindowsTest : public ToolbarTest {
 protected:
  DeferredWindowsTest() { WriteFile(dir.File("m.bmp"), BitmapBytes(30, 16)); }

  Layout Read() {
    Layout layout;
    for (size_t i = 0; i < control.Buttons().size(); ++i)
      layout.buttons.emplace_back(ButtonOf(static_cast<int>(i)).button.command,
                                  WidthOf(static_cast<int>(i)));
    for (const auto& [window, child] : control.Children()) {
      layout.children.emplace_back(child.spec.kind, child.rect);
      layout.navigations.push_back(child.navigations);
    }
    for (const InputControl& input : toolbar->Keyboard().Controls())
      layout.inputOrder.push_back(toolbar->ItemOfWindow(input.Window()));
    return layout;
  }
};

void ExpectSameLayout(const Layout& a, const Layout& b) {
  EXPECT_EQ(a.buttons, b.buttons);
  ASSERT_EQ(a.children.size(), b.children.size());
  for (size_t i = 0; i < a.children.size(); ++i) {
    EXPECT_EQ(a.children[i].first, b.children[i].first) << i;
    EXPECT_EQ(a.children[i].second, b.children[i].second) << i;
  }
  EXPECT_EQ(a.navigations, b.navigations);
  EXPECT_EQ(a.inputOrder, b.inputOrder);
}

TEST_F(DeferredWindowsTest, ButtonsComeFirstAndTheWindowsLaterAsAnImmediateBuildPlacesThem) {
  ASSERT_TRUE(Build(kWithWindows));
  const Layout immediate = Read();
  ASSERT_EQ(immediate.children.size(), 4u);  // menu bitmap, edit, combo, page
  EXPECT_EQ(immediate.inputOrder, (std::vector<int>{1, 2}));
  const int visibleWidth = toolbar->VisibleWidth();

  MakeToolbar();
  toolbar->DeferItemWindows();
  ASSERT_TRUE(Rebuild(kWithWindows));
  EXPECT_TRUE(toolbar->ItemWindowsPending());
  // The buttons and the band's widths are final before any window exists.
  EXPECT_EQ(Read().buttons, immediate.buttons);
  EXPECT_TRUE(control.Children().empty());
  EXPECT_TRUE(toolbar->Keyboard().Controls().empty());
  EXPECT_EQ(toolbar->VisibleWidth(), visibleWidth);
  EXPECT_EQ(hooks.idealWidth, visibleWidth);

  toolbar->CreatePendingItemWindows();
  EXPECT_FALSE(toolbar->ItemWindowsPending());
  ExpectSameLayout(Read(), immediate);
  EXPECT_EQ(control.FindChild(toolbar->ItemWindow(1))->limit, 40);

  // Once shown, a rebuild makes its windows at once; asking again is harmless.
  ASSERT_TRUE(Rebuild(kWithWindows));
  EXPECT_FALSE(toolbar->ItemWindowsPending());
  ExpectSameLayout(Read(), immediate);
  toolbar->CreatePendingItemWindows();
  ExpectSameLayout(Read(), immediate);
}

TEST_F(DeferredWindowsTest, WhatHappensBeforeTheWindowsAreMadeLeavesNoDoubleOrLostWindow) {
  SetDword("ItemHidden_e", 1);
  MakeToolbar();
  toolbar->DeferItemWindows();
  ASSERT_TRUE(Rebuild(kWithWindows));
  // A page loaded and a second build before the windows came.
  toolbar->OnBrowserEvent(kDispidNavigateComplete2);
  toolbar->CommandHost().RefreshWebPageItems("w");
  ASSERT_TRUE(Rebuild(kWithWindows));
  EXPECT_TRUE(control.Children().empty());
  toolbar->CreatePendingItemWindows();
  EXPECT_EQ(control.Children().size(), 4u);
  // The page went to its address once; the hidden combo's control is
  // hidden with its button.
  EXPECT_EQ(control.FindChild(toolbar->ItemWindow(3))->navigations.size(), 1u);
  EXPECT_FALSE(control.FindChild(toolbar->ItemWindow(2))->visible);
  EXPECT_TRUE(control.IsButtonHidden(1024 + 2));

  // A toolbar stopped before its windows came makes none.
  MakeToolbar();
  toolbar->DeferItemWindows();
  ASSERT_TRUE(Rebuild(kWithWindows));
  const size_t before = control.Children().size();
  toolbar->Stop();
  toolbar->CreatePendingItemWindows();
  EXPECT_EQ(control.Children().size(), before);
  EXPECT_FALSE(toolbar->ItemWindowsPending());
}

}  // namespace
}  // namespace qv::test
