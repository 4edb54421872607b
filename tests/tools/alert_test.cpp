// quorvane-tbdl alert: one alert check on a definition and a settings file,
// with the script from a file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/scripted_http_server.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace qv::tools {
namespace {

using testing::JsonValue;
using testing::RunToolJson;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class AlertToolTest : public ::testing::Test {
 protected:
  // The example definition with alerts switched on (or not) and an
  // interval, beside copies of its bitmaps.
  std::string Definition(bool enabled, const std::string& interval) {
    const std::string example = testing::ExampleDefinition();
    if (example.empty()) return {};
    const std::filesystem::path folder = std::filesystem::path(example).parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() == ".bmp")
        std::filesystem::copy_file(entry.path(), dir.File(entry.path().filename().string()),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::string text = ReadAll(example);
    const auto set = [&text](const std::string& id, const std::string& value) {
      const std::string key = "id = \"" + id + "\" value = \"";
      const size_t at = text.find(key);
      EXPECT_NE(at, std::string::npos) << id;
      if (at == std::string::npos) return;
      const size_t start = at + key.size();
      text.replace(start, text.find('"', start) - start, value);
    };
    set("EnableDesktopAlerts", enabled ? "1" : "0");
    set("AlertsCheckInterval", interval);
    set("AlertWindowHideMode", "0");
    Write(dir.File("quorvane.tbd"), text);
    return dir.File("quorvane.tbd");
  }

  JsonValue Run(const std::string& definition, const std::string& script, int* status,
                std::vector<std::string> more = {}) {
    Write(dir.File("alert.txt"), script);
    std::vector<std::string> args = {"alert",
                                     "--json",
                                     definition,
                                     "--registry",
                                     dir.File("settings.reg"),
                                     "--script",
                                     dir.File("alert.txt")};
    args.insert(args.end(), more.begin(), more.end());
    return RunToolJson(args, status);
  }

  TempDir dir;
};

constexpr char kScript[] =
    "ShowDesktopAlert=1\r\nURL=http://www.example.com/alert.html\r\nWidth=300\r\nHeight=200\r\n"
    "ShowAnimTime=500\r\n";

TEST_F(AlertToolTest, PrintsTheDecisionParametersAndFrames) {
  const std::string definition = Definition(true, "60");
  if (definition.empty()) GTEST_SKIP() << "QV_SOURCE_DIR is not set";
  int status = -1;
  JsonValue r = Run(definition, kScript, &status, {"--work-area", "0,0,800,570"});
  ASSERT_EQ(status, 0);
  EXPECT_EQ(r["decision"].text, "shown");
  EXPECT_TRUE(r["fetched"].boolean);
  EXPECT_EQ(r["parameters"]["url"].text, "http://www.example.com/alert.html");
  EXPECT_EQ(r["parameters"]["hideTime"].number, 500);  // from the definition
  const JsonValue& frames = r["frames"];
  ASSERT_EQ(frames.size(), 6u);
  for (size_t i = 0; i < frames.size(); ++i) {
    const JsonValue& rect = frames[i]["rect"];
    EXPECT_EQ(frames[i]["ms"].number, static_cast<int64_t>(100 * i));
    EXPECT_EQ(rect[0].number, 499);
    EXPECT_EQ(rect[1].number, 569 - static_cast<int64_t>(40 * i));
    EXPECT_EQ(rect[2].number, 799);
    EXPECT_EQ(rect[3].number, 569);
  }
  EXPECT_EQ(frames[5]["phase"].text, "shown");
  EXPECT_FALSE(r["truncated"].boolean);

  // The time of the check went to the settings file: the next is not due.
  EXPECT_NE(ReadAll(dir.File("settings.reg")).find("\"LastAlertsCheckTime\"=dword:"),
            std::string::npos);
  r = Run(definition, kScript, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(r["decision"].text, "not due");
  EXPECT_FALSE(r.Has("frames"));
}

TEST_F(AlertToolTest, Decisions) {
  const struct {
    bool enabled;
    const char* script;
    const char* decision;
  } cases[] = {
      {false, kScript, "not enabled"},
      {true, " ShowDesktopAlert=1\nURL=http://www.example.com/", "no alert"},
      {true, "ShowDesktopAlert=1\nWidth=5", "no url"},
      {true, "ShowDesktopAlert=1\nURL=javascript:alert(1)", "refused url"},
  };
  for (const auto& c : cases) {
    const std::string definition = Definition(c.enabled, "-1");
    if (definition.empty()) GTEST_SKIP() << "QV_SOURCE_DIR is not set";
    int status = -1;
    const JsonValue r = Run(definition, c.script, &status);
    EXPECT_EQ(status, 0) << c.script;
    EXPECT_EQ(r["decision"].text, c.decision) << c.script;
    EXPECT_FALSE(r.Has("frames")) << c.script;
  }
}

TEST_F(AlertToolTest, BadArgumentsAndAMissingScript) {
  const std::string definition = Definition(true, "-1");
  if (definition.empty()) GTEST_SKIP() << "QV_SOURCE_DIR is not set";
  int status = -1;
  std::ostringstream out, err;
  for (const char* area : {"0,0,800", "0,0,800,570,1", "800,0,0,570", "a,b,c,d"}) {
    EXPECT_EQ(RunTool({"alert", definition, "--work-area", area}, out, err), kExitUsage) << area;
  }
  EXPECT_EQ(RunTool({"alert"}, out, err), kExitUsage);
  const JsonValue r = RunToolJson({"alert", "--json", definition, "--registry", dir.File("s.reg"),
                                   "--script", dir.File("missing.txt")},
                                  &status);
  EXPECT_EQ(status, kExitFailed);
  EXPECT_EQ(r["decision"].text, "no alert");
  EXPECT_FALSE(r["fetched"].boolean);
}

TEST_F(AlertToolTest, FetchesTheScriptFromAWebServer) {
  const std::string definition = Definition(true, "-1");
  if (definition.empty()) GTEST_SKIP() << "QV_SOURCE_DIR is not set";
  test::ScriptedHttpServer server;
  server.SetFile("/a.txt", kScript);
  int status = -1;
  const JsonValue r = RunToolJson({"alert", "--json", definition, "--registry", dir.File("s.reg"),
                                   "--script", server.BaseUrl() + "a.txt"},
                                  &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(r["decision"].text, "shown");
  EXPECT_EQ(r["frames"].size(), 6u);
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"/a.txt"});
}

}  // namespace
}  // namespace qv::tools
