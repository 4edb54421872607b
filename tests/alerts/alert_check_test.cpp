#include "alerts/alert_check.h"

#include <gtest/gtest.h>

#include "alerts/alert_test_print.h"

#include <map>
#include <string>
#include <vector>

#include "platform/services.h"
#include "settings/settings.h"
#include "support/memory_registry.h"

namespace qv::alerts {
namespace {

constexpr char kScript[] =
    "ShowDesktopAlert=1\r\nURL=http://alerts.example/today.html\r\nWidth=300\r\nHeight=200\r\n"
    "ShowAnimTime=500\r\n";

class FakeWindow : public AlertWindowControl {
 public:
  bool Exists() override { return exists; }
  void Create(const AlertParameters& params) override {
    created.push_back(params);
    exists = true;
  }
  bool exists = false;
  std::vector<AlertParameters> created;
};

class AlertCheckTest : public ::testing::Test {
 protected:
  AlertCheckResult Check(std::time_t now) {
    const PropertyReader properties = [this](std::string_view id, std::string_view def) {
      auto it = props.find(std::string(id));
      return it == props.end() ? std::string(def) : it->second;
    };
    const AlertScriptFetcher fetch = [this](const std::string& url, std::string* text) {
      fetches.push_back(url);
      // The time is stored before the fetch starts.
      storedAtFetch.push_back(ReadKeyDword(key, kLastAlertsCheckTime, 0));
      *text = script;
      return ok;
    };
    return CheckDesktopAlert(properties, key, now, fetch, window);
  }

  MemoryRegistry registry;
  ScopedService<Registry> scoped{&PlatformServices::registry, &registry};
  RegKey key = OpenProductKey();
  std::map<std::string, std::string> props = {{"EnableDesktopAlerts", "1"},
                                              {"AlertScriptURL", "http://vendor.example/a.txt"}};
  std::string script = kScript;
  bool ok = true;
  FakeWindow window;
  std::vector<std::string> fetches;
  std::vector<uint32_t> storedAtFetch;
  const std::time_t t0 = 1800000000;
};

TEST_F(AlertCheckTest, ShowsTheScriptedAlert) {
  props["AlertWindowHideMode"] = "1";
  props["AlertWindowWaitTime"] = "7000";
  const AlertCheckResult r = Check(t0);
  EXPECT_EQ(r.decision, AlertDecision::kShown);
  EXPECT_EQ(fetches, std::vector<std::string>{"http://vendor.example/a.txt"});
  EXPECT_EQ(storedAtFetch, std::vector<uint32_t>{static_cast<uint32_t>(t0)});
  ASSERT_EQ(window.created.size(), 1u);
  EXPECT_EQ(window.created[0],
            (AlertParameters{300, 200, "http://alerts.example/today.html", 500, 0, true, 7000}));
}

TEST_F(AlertCheckTest, NothingHappensUnlessEnabled) {
  for (const char* value : {"0", "", "yes", "1 "}) {
    props["EnableDesktopAlerts"] = value;
    EXPECT_EQ(Check(t0).decision, AlertDecision::kNotEnabled) << value;
  }
  props.erase("EnableDesktopAlerts");
  EXPECT_EQ(Check(t0).decision, AlertDecision::kNotEnabled);
  EXPECT_TRUE(fetches.empty());
  EXPECT_EQ(ReadKeyDword(key, kLastAlertsCheckTime, 0), 0u);
}

TEST_F(AlertCheckTest, IntervalZeroFetchesAtEveryTickWhileNoWindowExists) {
  props["AlertsCheckInterval"] = "0";
  script = "no alert today";
  for (int tick = 0; tick < 4; ++tick)
    EXPECT_EQ(Check(t0 + 15 * tick).decision, AlertDecision::kNoAlert) << tick;
  EXPECT_EQ(fetches.size(), 4u);
  script = kScript;
  EXPECT_EQ(Check(t0 + 60).decision, AlertDecision::kShown);
  // The window is up: no more fetches in this process, however due.
  EXPECT_EQ(Check(t0 + 75).decision, AlertDecision::kWindowExists);
  EXPECT_EQ(Check(t0 + 90).decision, AlertDecision::kWindowExists);
  EXPECT_EQ(fetches.size(), 5u);
  window.exists = false;  // closed
  EXPECT_EQ(Check(t0 + 105).decision, AlertDecision::kShown);
}

TEST_F(AlertCheckTest, TheIntervalCountsFromTheLastAttempt) {
  props["AlertsCheckInterval"] = "10";
  ok = false;  // the server is down: the attempt still counts
  script = kScript;
  const AlertCheckResult failed = Check(t0);
  EXPECT_EQ(failed.decision, AlertDecision::kNoAlert);
  EXPECT_TRUE(failed.fetched);
  EXPECT_FALSE(failed.fetchOk);
  EXPECT_TRUE(window.created.empty());  // a failed fetch's text is never used
  EXPECT_EQ(ReadKeyDword(key, kLastAlertsCheckTime, 0), static_cast<uint32_t>(t0));
  ok = true;
  EXPECT_EQ(Check(t0 + 15).decision, AlertDecision::kNotDue);
  EXPECT_EQ(Check(t0 + 600).decision, AlertDecision::kNotDue);
  EXPECT_EQ(Check(t0 + 601).decision, AlertDecision::kShown);
  EXPECT_EQ(fetches.size(), 2u);
}

TEST_F(AlertCheckTest, NegativeIntervalIsAlwaysDueAndGarbageReadsAsZero) {
  props["AlertsCheckInterval"] = "-1";
  script = "";
  EXPECT_EQ(Check(t0).decision, AlertDecision::kNoAlert);
  EXPECT_EQ(Check(t0).decision, AlertDecision::kNoAlert);  // the same second
  props["AlertsCheckInterval"] = "soon";
  EXPECT_EQ(Check(t0).decision, AlertDecision::kNotDue);
  EXPECT_EQ(Check(t0 + 1).decision, AlertDecision::kNoAlert);
  EXPECT_EQ(fetches.size(), 3u);
}

TEST_F(AlertCheckTest, DefaultScriptUrlAndScriptsThatShowNothing) {
  props.erase("AlertScriptURL");
  props["AlertsCheckInterval"] = "-1";
  const struct {
    const char* script;
    AlertDecision decision;
  } cases[] = {
      {"ShowDesktopAlert=1\nWidth=300", AlertDecision::kNoUrl},
      {"ShowDesktopAlert=1\nURL=http://a/\nURL=", AlertDecision::kNoUrl},
      {" ShowDesktopAlert=1\nURL=http://a.example/", AlertDecision::kNoAlert},
      {"\r\nShowDesktopAlert=1\nURL=http://a.example/", AlertDecision::kNoAlert},
      {"ShowDesktopAlert=1\nURL=file:///C:/x.html", AlertDecision::kRefusedUrl},
      {"ShowDesktopAlert=1\nURL=javascript:alert(1)", AlertDecision::kRefusedUrl},
      {"ShowDesktopAlert=1\nURL=res://shdoclc.dll/x.htm", AlertDecision::kRefusedUrl},
  };
  for (const auto& c : cases) {
    script = c.script;
    EXPECT_EQ(Check(t0).decision, c.decision) << c.script;
  }
  EXPECT_TRUE(window.created.empty());
  EXPECT_EQ(fetches.front(), "about:blank");
}

}  // namespace
}  // namespace qv::alerts
