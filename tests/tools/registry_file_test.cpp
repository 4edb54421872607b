// --registry REGFILE, read and written back the same way by every
// subcommand that takes it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tool_runner.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

TEST(RegistryFileTest, EverySubcommandSaysTheSameAboutAnUnreadableFile) {
  if (testing::ExampleDefinition().empty()) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  TempDir dir;
  // A directory exists but cannot be read as a file.
  const std::string reg = dir.path();
  const std::string expected = "quorvane-tbdl: cannot read " + reg + "\n";
  const std::vector<std::vector<std::string>> runs = {
      {"show", testing::ExampleDefinition(), "--registry", reg},
      {"run", testing::ExampleDefinition(), "--registry", reg, "--command", "hide"},
      {"mail", "check", "--registry", reg},
  };
  for (const auto& args : runs) {
    std::ostringstream out, err;
    EXPECT_EQ(RunTool(args, out, err), kExitFailed) << args[0];
    EXPECT_EQ(err.str(), expected) << args[0];
  }
}

TEST(RegistryFileTest, WritingBackKeepsAFileWithUnreadableLines) {
  TempDir dir;
  const std::string reg = dir.File("settings.reg");
  const std::string original =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Ostrivel\\quorvane]\n"
      "\"Kept\"=\"1\"\n"
      "this line means something to its author\n";
  std::ofstream(reg, std::ios::binary) << original;
  std::ostringstream out, err;
  // No account: the pass fails, but the settings are still written back.
  RunTool({"mail", "check", "--registry", reg}, out, err);
  EXPECT_NE(err.str().find(reg + ":5: "), std::string::npos) << err.str();
  std::ifstream kept(reg + ".unreadable", std::ios::binary);
  std::ostringstream keptText;
  keptText << kept.rdbuf();
  EXPECT_EQ(keptText.str(), original);
  std::ifstream rewritten(reg, std::ios::binary);
  std::ostringstream rewrittenText;
  rewrittenText << rewritten.rdbuf();
  EXPECT_NE(rewrittenText.str().find("\"Kept\"=\"1\""), std::string::npos);
  EXPECT_EQ(rewrittenText.str().find("this line"), std::string::npos);
}

}  // namespace
}  // namespace qv::tools
