// quorvane-tbdl show on the example definition, with and without settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tool_runner.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

using testing::JsonValue;

std::string Example() {
  return testing::ExampleDefinition();
}

JsonValue Show(const std::vector<std::string>& args, int* status) {
  return testing::RunToolJson(args, status);
}

TEST(ShowTest, DrawsTheExampleWithEveryItemKindAndMenu) {
  if (Example().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  int status = -1;
  const JsonValue shown = Show({"show", "--json", Example()}, &status);
  EXPECT_EQ(status, kExitOk);
  const std::string& picture = shown["picture"].text;
  for (const char* part : {"[Quorvane|v]", " | ", "<q ", "<engine ", "{weather 120px}", "[Mail|v]"})
    EXPECT_NE(picture.find(part), std::string::npos) << part << " in " << picture;
  const JsonValue& buttons = shown["buttons"];
  ASSERT_EQ(buttons.items.size(), 13u);
  EXPECT_EQ(buttons.items[1]["id"].number, 1025);
  EXPECT_EQ(buttons.items[1]["rect"].items[2].number - buttons.items[1]["rect"].items[0].number, 8);
  EXPECT_EQ(shown["menus"].items.size(), 3u);
  EXPECT_EQ(shown["menus"].items[0]["entries"].items[0]["id"].number, 2023);
  const JsonValue& controls = shown["controls"];
  ASSERT_EQ(controls.items.size(), 5u);
  EXPECT_EQ(controls.items[1]["kind"].text, "combo");
  EXPECT_EQ(controls.items[2]["kind"].text, "bitmap");
  EXPECT_NE(controls.items[2]["hotPicture"].text.find("menubtnhot.bmp"), std::string::npos);
  EXPECT_GT(shown["visibleWidth"].number, shown["minimumWidth"].number);
  EXPECT_TRUE(shown["messages"].items.empty());
}

TEST(ShowTest, RegistryFileSuppliesItemSettings) {
  if (Example().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  const std::string reg = ::testing::TempDir() + "qv-show-test.reg";
  std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane]\n"
                        "\"ItemHidden_q\"=dword:00000001\n"
                        "\"LastSearchWith\"=\"2\"\n";
  int status = -1;
  const JsonValue shown = Show({"show", Example(), "--registry", reg, "--json"}, &status);
  EXPECT_EQ(status, kExitOk);
  EXPECT_EQ(shown["picture"].text.find("<q "), std::string::npos);
  EXPECT_TRUE(shown["buttons"].items[2]["hidden"].boolean);
  EXPECT_EQ(shown["controls"].items[1]["selected"].number, 2);
  std::remove(reg.c_str());

  std::ostringstream out, err;
  EXPECT_EQ(RunTool({"show", Example(), "--registry", reg + ".missing"}, out, err), kExitFailed);
  EXPECT_EQ(RunTool({"show"}, out, err), kExitUsage);
}

}  // namespace
}  // namespace qv::tools
