#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "install/download.h"
#include "install/resource_files.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

// The report names the file with this result, whatever the layout.
bool Reports(const std::string& report, const std::string& name, const std::string& result) {
  return std::regex_search(
      report, std::regex("\"name\": *\"" + name + "\",\\s*\"result\": *\"" + result + "\""));
}

TEST(UpdateTool, FetchesEveryFileAnewAndReportsEach) {
  test::ScriptedHttpServer server;
  const std::string definition = "TBW_Toolbar { BUTTON { caption = \"A\" } }";
  server.SetFile("/quorvane/quorvane.tbd", definition);
  server.SetFile("/quorvane/tbil.bmp", "bitmap");
  TempDir dir;
  // The local copy of the hot image list stays when the server has none.
  std::ofstream(dir.File("tbhotil.bmp")) << "old hot";
  std::ofstream(dir.File("mine.tbd")) << "stale";

  std::ostringstream out, err;
  const int status =
      RunTool({"update", "--json", dir.File("mine.tbd"), "--base-url", server.BaseUrl()}, out, err);
  EXPECT_EQ(status, kExitOk) << err.str() << out.str();
  const std::string report = out.str();
  std::ifstream fetched(dir.File("mine.tbd"));
  std::stringstream text;
  text << fetched.rdbuf();
  EXPECT_EQ(text.str(), definition);
  EXPECT_TRUE(Reports(report, "quorvane.tbd", "fetched")) << report;
  EXPECT_TRUE(Reports(report, "tbil.bmp", "fetched")) << report;
  EXPECT_TRUE(Reports(report, "tbhotil.bmp", "kept")) << report;
  EXPECT_NE(report.find("\"crc\": \"" + SignedCrcText(Crc32(0, "bitmap", 6)) + "\""),
            std::string::npos);
  EXPECT_EQ(server.Requests(),
            (std::vector<std::string>{"/quorvane/quorvane.tbd", "/quorvane/tbil.bmp",
                                      "/quorvane/tbhotil.bmp"}));
}

TEST(UpdateTool, RefusesABadBaseUrl) {
  std::ostringstream out, err;
  for (const char* url : {"ftp://x/", "http://x", ""}) {
    EXPECT_EQ(RunTool({"update", "a.tbd", "--base-url", url}, out, err), kExitUsage) << url;
  }
  EXPECT_EQ(RunTool({"update", "a.tbd", "--base-url"}, out, err), kExitUsage);
}

}  // namespace
}  // namespace qv::tools
