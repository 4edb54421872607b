#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "alerts/alert_check.h"
#include "host/alert_check_feature.h"
#include "settings/settings.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

class OneWindow : public alerts::AlertWindowControl {
 public:
  bool Exists() override { return !created.empty(); }
  void Create(const alerts::AlertParameters& params) override { created.push_back(params); }
  std::vector<alerts::AlertParameters> created;
};

TEST_F(ToolbarTest, AlertTimerRunsTheCheckOnTheLoadedDefinition) {
  OneWindow window;
  std::vector<std::string> fetched;
  DesktopAlertCheck check(window, [&](const std::string& url, std::string* text) {
    fetched.push_back(url);
    *text = "ShowDesktopAlert=1\nURL=http://alerts.test/a.html\nHeight=90";
    return true;
  });
  MakeToolbar();
  ToolbarHooks h = hooks.Hooks();
  h.alerts = &check;
  toolbar->SetHooks(h);
  ASSERT_TRUE(Rebuild(R"(
    BUTTON { caption = "A" }
    SETTINGS {
      PROPERTY { id = "EnableDesktopAlerts" value = "1" }
      PROPERTY { id = "AlertScriptURL" value = "http://alerts.test/script.txt" }
      PROPERTY { id = "AlertWindowDefaultWidth" value = "250" }
    }
  )"));
  toolbar->OnTimer(kAlertTimerId);
  toolbar->OnTimer(kAlertTimerId);  // the window exists: nothing fetched
  EXPECT_EQ(fetched, std::vector<std::string>{"http://alerts.test/script.txt"});
  ASSERT_EQ(window.created.size(), 1u);
  EXPECT_EQ(window.created[0].width, 250);
  EXPECT_EQ(window.created[0].height, 90);
  EXPECT_NE(GetSettingDword(alerts::kLastAlertsCheckTime, 0), 0u);
}

}  // namespace
}  // namespace qv::test
