// quorvane-tbdl run's browser events: what the pop-up blocker decides for a
// browser window without Windows, and one blocker shared by every run on a
// settings file, also by runs at the same moment.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/shared_data.h"
#include "platform/services.h"
#include "support/temp_dir.h"
#include "tool_runner.h"
#include "tools/run_browser.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

using testing::JsonValue;

constexpr char kStatus[] = "This page contains popup windows!";

class RunPopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing::ExampleDefinition().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
    reg_ = dir_.File("settings.reg");
  }
  // The names of a settings file's blocker outlive the runs; a test's file
  // is gone with the test.
  void TearDown() override {
    if (reg_.empty()) return;
    std::string block, mutex;
    BlockerBlockNames(reg_, &block, &mutex);
    GetSharedMemory().RemoveNames(block, mutex);
  }
  void Settings(const std::string& values) {
    std::ofstream(reg_) << "Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane]\n"
                        << values;
  }
  JsonValue Run(std::vector<std::string> actions, int* status = nullptr) {
    int ignored = 0;
    actions.insert(actions.begin(),
                   {"--json", "run", testing::ExampleDefinition(), "--registry", reg_});
    return testing::RunToolJson(actions, status ? status : &ignored);
  }
  static std::vector<bool> Cancelled(const JsonValue& result) {
    std::vector<bool> cancelled;
    for (size_t i = 0; i < result["windows"].size(); ++i)
      cancelled.push_back(result["windows"][i]["cancelled"].boolean);
    return cancelled;
  }

  TempDir dir_;
  std::string reg_;
};

TEST_F(RunPopupTest, NewWindowsFollowTheAllowFlagReleaseKeyAndHttps) {
  Settings(
      "\"EnablePopupBlocker\"=dword:00000001\n\"BeepOnPopup\"=dword:00000001\n"
      "\"ShowPopupPageStatus\"=dword:00000001\n");
  int status = -1;
  JsonValue r = Run({"--navigate",           "http://ads.test/", "--new-window", "--mousedown",
                     "BODY/A/IMG",           "--new-window",
                     "--new-window",  // the click was used up
                     "--mousedown",          "BODY/DIV",         "--new-window", "--navigate",
                     "JavaScript:open()",    "--new-window",     "--hold",       "SHIFT",
                     "--new-window",         "--release",        "shift",        "--navigate",
                     "https://secure.test/", "--new-window"},
                    &status);
  EXPECT_EQ(kExitOk, status);
  EXPECT_EQ((std::vector<bool>{true, false, true, true, false, false, false}), Cancelled(r));
  const JsonValue& first = r["windows"][0];
  EXPECT_EQ(1, first["beeps"].number);
  ASSERT_EQ(1u, first["statusTexts"].size());
  EXPECT_EQ(kStatus, first["statusTexts"][0].text);
  EXPECT_EQ(0, r["windows"][1]["beeps"].number);
  // The javascript: address left the page as it was.
  EXPECT_EQ("http://ads.test/", r["windows"][4]["opener"].text);
  EXPECT_EQ(3, r["settings"]["TotalBlockedPopups"].number);
}

TEST_F(RunPopupTest, WhitelistFlashAndResizeAndTheCounterAcrossRuns) {
  Settings("\"EnablePopupBlocker\"=dword:00000001\n\"BlockFlashMovies\"=dword:00000001\n");
  JsonValue r =
      Run({"--navigate", "http://ads.test/", "--element",
           "BODY/OBJECT@clsid:d27cdb6e-ae6d-11cf-96b8-444553540000", "--element",
           "BODY/IFRAME/DIV/EMBED@movie.swf", "--element", "BODY/EMBED@movie.swf?v=2", "--ready",
           "--resize", "--new-window", "--command", "toggle_site", "--new-window", "--resize"});
  ASSERT_EQ(2u, r["hidden"].size());
  EXPECT_EQ("BODY/OBJECT", r["hidden"][0].text);
  EXPECT_EQ("BODY/IFRAME/DIV/EMBED", r["hidden"][1].text);
  EXPECT_TRUE(r["resizes"][0]["blocked"].boolean);
  EXPECT_FALSE(r["resizes"][1]["blocked"].boolean);
  EXPECT_EQ((std::vector<bool>{true, false}), Cancelled(r));
  EXPECT_EQ("!ads.test!", r["settings"]["WhiteList"].text);

  // The next run loads the list and the count from the file.
  r = Run({"--navigate", "http://ads.test/x", "--new-window", "--navigate", "http://sub.ads.test/",
           "--new-window", "--command", "reset_counter"});
  EXPECT_EQ((std::vector<bool>{false, true}), Cancelled(r));
  EXPECT_EQ(0, r["settings"]["TotalBlockedPopups"].number);
}

TEST_F(RunPopupTest, BadKeyIsAUsageError) {
  int status = -1;
  std::ostringstream out, err;
  status = RunTool({"run", testing::ExampleDefinition(), "--hold", "F13x"}, out, err);
  EXPECT_EQ(kExitUsage, status);
  EXPECT_NE(std::string::npos, err.str().find("not a key: F13x"));
}

#ifndef _WIN32
// K runs at the same moment, each blocking M windows, end with exactly
// K x M more in the shared block and in the settings file.
TEST_F(RunPopupTest, RunsAtTheSameMomentShareOneCounter) {
  const char* binaryDir = std::getenv("QV_BINARY_DIR");
  if (binaryDir == nullptr) GTEST_SKIP() << "QV_BINARY_DIR not set";
  const std::string tool = std::string(binaryDir) + "/tools/quorvane-tbdl";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " not built";
  Settings("\"EnablePopupBlocker\"=dword:00000001\n\"TotalBlockedPopups\"=dword:00000007\n");

  // The test holds the block open, so that it outlives the runs.
  std::string block, mutex;
  BlockerBlockNames(reg_, &block, &mutex);
  std::unique_ptr<SharedData> shared = SharedData::Open(block, mutex);
  ASSERT_TRUE(shared);
  constexpr int kRuns = 4, kWindows = 5;
  std::string command = "'" + tool + "' run '" + testing::ExampleDefinition() + "' --registry '" +
                        reg_ + "' --navigate http://ads.test/";
  for (int i = 0; i < kWindows; ++i) command += " --new-window";
  command += " >/dev/null 2>&1";
  std::vector<FILE*> runs;
  for (int i = 0; i < kRuns; ++i) runs.push_back(popen(command.c_str(), "r"));
  for (FILE* run : runs) {
    ASSERT_NE(nullptr, run);
    EXPECT_EQ(0, pclose(run));
  }
  EXPECT_EQ(7u + kRuns * kWindows, shared->TotalBlockedPopups());
  std::ifstream file(reg_);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  char expected[64];
  std::snprintf(expected, sizeof expected, "\"TotalBlockedPopups\"=dword:%08x",
                7 + kRuns * kWindows);
  EXPECT_NE(std::string::npos, text.find(expected)) << text;
}
#endif

}  // namespace
}  // namespace qv::tools
