// The pop-up blocker joined to toolbar windows: the POPUP indicator shows
// the shared count in every window, and the service commands reach the
// blocker.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "host/popup_blocker_hooks.h"
#include "host/shared_data.h"
#include "host/toolbar_command_host.h"
#include "settings/settings.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr char kDefinition[] = R"(
  INDICATOR { caption = "Pop" type = "POPUP" addimg1 = "6" addimg2 = "7" addimg3 = "5"
              param1 = "%n blocked" param2 = "Allowed here" param3 = "None blocked" }
  BUTTON { caption = "M" MENU { MENUITEM { caption = "ToggleWhitelisted!Add site!Remove site" } } }
  COMMANDS {
    SERVICECOMMAND { name = "site" type = "ToggleSiteInWhiteList" }
    SERVICECOMMAND { name = "onoff" type = "TogglePopupBlocking" }
    SERVICECOMMAND { name = "reset" type = "ResetBlockerCounter" }
  }
)";

class PopupHooksTest : public ToolbarTest {
 protected:
  void SetUp() override {
    const std::string unique =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    block_ = "qvtest-hooks-" + unique;
    mutex_ = "qvtest-hookslock-" + unique;
    shared_ = SharedData::Open(block_, mutex_);
    ASSERT_TRUE(shared_);
  }
  void TearDown() override {
    shared_.reset();
    GetSharedMemory().RemoveNames(block_, mutex_);
  }
  std::string block_, mutex_;
  std::unique_ptr<SharedData> shared_;
  QuietEnvironment environment_;
};

TEST_F(PopupHooksTest, EveryWindowShowsTheSharedCountAndServicesReachTheBlocker) {
  SetDword("EnablePopupBlocker", 1);
  SetDword("TotalBlockedPopups", 4);
  PopupBlockerSystem system(*shared_, environment_);
  system.LoadBlockerSettings();
  browser.ShowPage("http://ads.test/page");
  PopupBlocker mine(system, &browser);
  ASSERT_TRUE(Build(kDefinition));
  PopupBlockerHooks hooks(mine, *toolbar);
  hooks.Attach();
  toolbar->UpdateItem(Item(0));
  EXPECT_EQ("4 blocked", ButtonOf(0).text);

  // Another browser window blocks: this one shows it at the next tick.
  ScriptedBrowser other;
  other.ShowPage("http://ads.test/other");
  PopupBlocker theirs(system, &other);
  EXPECT_TRUE(theirs.OnNewWindow2());
  EXPECT_EQ("4 blocked", ButtonOf(0).text);
  toolbar->OnTimer(kPopupCounterTimerId);
  EXPECT_EQ("5 blocked", ButtonOf(0).text);

  // This window blocks: its indicator shows the blocked state at once.
  EXPECT_TRUE(mine.OnNewWindow2());
  EXPECT_EQ("6 blocked", ButtonOf(0).text);
  EXPECT_EQ(7, ButtonOf(0).button.bitmap);
  EXPECT_EQ(6u, GetSettingDword("TotalBlockedPopups", 0));

  auto whitelistEntry = [this] {
    toolbar->OnDropDown(1024 + 1);
    return control.TrackedMenus().empty() ? std::string()
                                          : control.TrackedMenus().back().menu.entries[0].data.text;
  };
  EXPECT_EQ("Add site", whitelistEntry());
  toolbar->CommandHost().RunCommand("site", false);
  EXPECT_EQ("Allowed here", ButtonOf(0).text);
  EXPECT_EQ("Remove site", whitelistEntry());
  EXPECT_EQ("!ads.test!", GetSettingString("WhiteList", ""));
  EXPECT_FALSE(theirs.OnNewWindow2());  // the list is shared
  toolbar->CommandHost().RunCommand("site", false);
  EXPECT_EQ("!", GetSettingString("WhiteList", ""));

  toolbar->CommandHost().RunCommand("reset", false);
  EXPECT_EQ(0u, shared_->TotalBlockedPopups());
  EXPECT_EQ(0u, GetSettingDword("TotalBlockedPopups", 9));
  EXPECT_EQ("None blocked", ButtonOf(0).text);

  toolbar->CommandHost().RunCommand("onoff", false);
  EXPECT_EQ(0u, shared_->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(5, ButtonOf(0).button.bitmap);
  EXPECT_FALSE(mine.OnNewWindow2());
}

}  // namespace
}  // namespace qv::test
