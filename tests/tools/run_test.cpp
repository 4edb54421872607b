// quorvane-tbdl run on the example definition: searches, list choices,
// commands and history kept in a registry file between runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "tool_runner.h"
#include "support/temp_dir.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

using testing::JsonValue;

std::string Example() {
  return testing::ExampleDefinition();
}

JsonValue RunExample(std::vector<std::string> args, int* status) {
  args.insert(args.begin(), {"--json", "run", Example()});
  return testing::RunToolJson(args, status);
}

TEST(RunTest, SearchTypedIntoTheExampleNavigates) {
  if (Example().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  int status = -1;
  JsonValue result = RunExample({"--page", "http://www.example.org/", "--type", "q=red shoes",
                                 "--choose", "engine=1", "--enter", "q"},
                                &status);
  EXPECT_EQ(status, kExitOk);
  const JsonValue& call = result["calls"][0];
  EXPECT_EQ(call["call"].text, "Navigate2");
  EXPECT_EQ(call["url"].text.substr(0, 72),
            "http://search.example.com/find?q=red+shoes&in=images&from=red%20shoes&r=");
  EXPECT_EQ(call["target"].text, "_self");
  EXPECT_EQ(call["headers"].text, "");
  EXPECT_EQ(result["settings"]["LastSearchWith"].text, "1");
}

TEST(RunTest, CommandsReportBrowserCallsMessagesAndRecordedEffects) {
  if (Example().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  int status = -1;
  JsonValue result =
      RunExample({"--page", "http://a.example/x", "--command", "proxy_office", "--command",
                  "site_info", "--command", "translate", "--command", "hide"},
                 &status);
  EXPECT_EQ(status, kExitOk);
  const JsonValue& calls = result["calls"];
  EXPECT_EQ(calls[0]["call"].text, "ChangeProxy");
  EXPECT_EQ(calls[0]["bypass"].text, "*.example.com;<local>");
  EXPECT_EQ(calls[1]["call"].text, "showModalDialog");
  EXPECT_EQ(calls[1]["url"].text, "http://www.example.com/quorvane/siteinfo.html?site=a.example");
  EXPECT_EQ(calls[3]["call"].text, "CustomCommand");
  EXPECT_EQ(calls[4]["call"].text, "ShowBrowserBar");
  EXPECT_EQ(result["messages"][0]["text"].text, "The translation component is not installed.");
  EXPECT_EQ(result["settings"]["PosMode"].number, 0);

  std::ostringstream out, err;
  EXPECT_EQ(RunTool({"run", Example(), "--command", "no_such"}, out, err), kExitFailed);
  EXPECT_EQ(RunTool({"run", Example()}, out, err), kExitUsage);
}

#ifndef _WIN32
TEST(RunTest, RegistryFileKeepsSettingsBetweenRuns) {
  if (Example().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  TempDir dir;
  const std::string reg = dir.File("settings.reg");
  int status = -1;
  RunExample({"--registry", reg, "--choose", "engine=2"}, &status);
  EXPECT_EQ(status, kExitOk);
  JsonValue second = RunExample({"--registry", reg, "--choose", "engine=2"}, &status);
  // Already stored: nothing changed this time.
  EXPECT_TRUE(second["settings"].members.empty());
}
#endif

}  // namespace
}  // namespace qv::tools
