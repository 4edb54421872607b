// The alert check against a real HTTP server on loopback, through the
// toolbar's own bounded fetch.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>

#include "alerts/alert_check.h"
#include "alerts/alert_test_print.h"
#include "install/download.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "support/memory_registry.h"
#include "support/scripted_http_server.h"

namespace qv::alerts {
namespace {

using test::ScriptedHttpServer;
using Reply = ScriptedHttpServer::Reply;

class Window : public AlertWindowControl {
 public:
  bool Exists() override { return shown > 0; }
  void Create(const AlertParameters& p) override {
    params = p;
    ++shown;
  }
  int shown = 0;
  AlertParameters params;
};

class AlertLoopbackTest : public ::testing::Test {
 protected:
  AlertLoopbackTest() : saved_(DownloadLimits()) { SetDownloadLimits({1000, 800, 64 * 1024}); }
  ~AlertLoopbackTest() override { SetDownloadLimits(saved_); }

  AlertCheckResult Check(const std::string& path, const std::string& interval, std::time_t now) {
    const std::map<std::string, std::string> props = {
        {"EnableDesktopAlerts", "1"},
        {"AlertsCheckInterval", interval},
        {"AlertScriptURL", server.BaseUrl() + path.substr(1)},
        {"AlertWindowHideMode", "1"},
        {"AlertWindowWaitTime", "3000"}};
    const PropertyReader reader = [&props](std::string_view id, std::string_view def) {
      auto it = props.find(std::string(id));
      return it == props.end() ? std::string(def) : it->second;
    };
    RegKey key = OpenProductKey();
    return CheckDesktopAlert(reader, key, now, FetchAlertScript, window);
  }

  FetchLimits saved_;
  MemoryRegistry registry;
  ScopedService<Registry> scoped{&PlatformServices::registry, &registry};
  ScriptedHttpServer server;
  Window window;
  const std::time_t t0 = 1800000000;
};

TEST_F(AlertLoopbackTest, ServedScriptShowsTheAlert) {
  server.SetFile("/alerts.txt",
                 "ShowDesktopAlert=1\r\nURL=http://www.example.com/a.html\r\nWidth=300\r\n"
                 "Height=200\r\nShowAnimTime=500\r\nHideAutomaticaly=0\r\n");
  const AlertCheckResult r = Check("/alerts.txt", "60", t0);
  EXPECT_EQ(r.decision, AlertDecision::kShown);
  EXPECT_EQ(window.params,
            (AlertParameters{300, 200, "http://www.example.com/a.html", 500, 0, false, 3000}));
}

TEST_F(AlertLoopbackTest, IntervalZeroFetchesAtEveryTickUntilAWindowExists) {
  server.SetFile("/alerts.txt", "nothing today");
  for (int tick = 1; tick <= 3; ++tick)
    EXPECT_EQ(Check("/alerts.txt", "0", t0 + 15 * tick).decision, AlertDecision::kNoAlert);
  EXPECT_EQ(server.Requests().size(), 3u);
  server.SetFile("/alerts.txt", "ShowDesktopAlert=1\nURL=https://www.example.com/");
  EXPECT_EQ(Check("/alerts.txt", "0", t0 + 60).decision, AlertDecision::kShown);
  EXPECT_EQ(Check("/alerts.txt", "0", t0 + 75).decision, AlertDecision::kWindowExists);
  EXPECT_EQ(server.Requests().size(), 4u);
}

// A server that fails or stalls shows nothing, holds the check only for the
// download's bounds, and is asked again only after the interval.
TEST_F(AlertLoopbackTest, BrokenServersAreBoundedAndWaitForTheInterval) {
  const std::string script = "ShowDesktopAlert=1\nURL=http://www.example.com/";
  server.Set("/error", Reply{Reply::kWhole, 500, script});
  server.Set("/cut", Reply{Reply::kCutOff, 200, script + std::string(4000, '\n')});
  server.Set("/stall", Reply{Reply::kStall, 200, ""});
  server.Set("/endless", Reply{Reply::kEndless, 200, ""});
  std::time_t now = t0;
  for (const char* path : {"/error", "/cut", "/stall", "/endless", "/missing"}) {
    now += 3600;
    const auto start = std::chrono::steady_clock::now();
    const AlertCheckResult r = Check(path, "10", now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    EXPECT_EQ(r.decision, AlertDecision::kNoAlert) << path;
    EXPECT_FALSE(r.fetchOk) << path;
    EXPECT_LT(ms, 5000) << path;  // the bound is 0.8 s; far below any hang
    EXPECT_EQ(GetSettingDword(kLastAlertsCheckTime, 0), static_cast<uint32_t>(now)) << path;
    EXPECT_EQ(Check(path, "10", now + 15).decision, AlertDecision::kNotDue) << path;
  }
  EXPECT_EQ(window.shown, 0);
}

}  // namespace
}  // namespace qv::alerts
