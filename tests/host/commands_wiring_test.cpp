// The toolbar window running the commands layer for real: searches,
// web-front menu entries and page-dependent web pages reach the browser.
#include "host/standard_features.h"
#include "host/toolbar_command_host.h"
#include "simulators/scripted_browser.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

class CommandsWiringTest : public ToolbarTest {
 protected:
  void SetUp() override {
    WriteFile(dir.File("tbil.bmp"), BitmapBytes(32, 16));
    WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(32, 16));
    WriteFile(dir.File("quorvane.tbd"), R"(TBW_Toolbar {
      COMBO { name = "q" type = "edit" command = "find" }
      WEBPAGE { name = "w" url = "http://p.test/?d=%domain" width = "50" }
      COMMANDS { GOTOURL { name = "find" url = "http://s.test/?q=%q" }
                 GOTOURL { name = "GoToWebMailGate" url = "http://m.test/?a=%cmdparam" } }
    })");
    ToolbarHooks real = ToolbarHooks::Defaults();
    real.owner = &hooks;
    toolbar = std::make_unique<TBWToolBarCtrl>(control, lookup, real);
    AttachStandardFeatures(*toolbar);
    toolbar->CommandHost().SetBrowser(&browser);
    browser.ShowPage("http://site.test/start");
    ASSERT_TRUE(toolbar->BuildToolbar(true));
  }
};

TEST_F(CommandsWiringTest, EnterRunsTheItemsSearchInTheBrowser) {
  const WindowId edit = toolbar->Keyboard().Controls().at(0).EditWindow();
  control.SetChildText(edit, "two words");
  control.SetFocus(edit);
  EXPECT_EQ(toolbar->TranslateAccelerator(Message{edit, kWmKeyup, kVkReturn, 0}), kSOk);
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://s.test/?q=two+words"});
}

TEST_F(CommandsWiringTest, WebFrontEntryRunsGoToWebMailGateWithTheAccountNumber) {
  toolbar->OnCommand(23050, true);
  EXPECT_EQ(Navigations(), std::vector<std::string>{"http://m.test/?a=3"});
}

TEST_F(CommandsWiringTest, PageDependentWebPagesFollowTheBrowser) {
  const auto& page = ChildOf(1);
  ASSERT_FALSE(page.navigations.empty());
  EXPECT_EQ(page.navigations.back(), "http://p.test/?d=site.test");
  browser.ShowPage("http://other.test/x");
  toolbar->OnBrowserEvent(kDispidNavigateComplete2);
  EXPECT_EQ(ChildOf(1).navigations.back(), "http://p.test/?d=other.test");
}

}  // namespace
}  // namespace qv::test
