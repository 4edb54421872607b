#include <string>

#include "tbdl_test_util.h"

namespace qv::tbdl {
namespace {

using testing::ParseText;
using testing::Repeat;

class Parser : public ::testing::Test {
 protected:
  void TearDown() override { EndTree(); }
};

constexpr const char* kExample = R"(TBW_Toolbar {
  image = "tbil.bmp"  hotimage = "tbhotil.bmp"
  BUTTON { name = "go" caption = "Go" command = "open_home" image = "0" hint = "Home page" }
  SEPARATOR
  BUTTON { caption = "Mail" image = "3" MENU { type = "Split" MENUITEM { caption = "Check now" command = "check" } MENUSEPARATOR SUBMENU { caption = "More" MENUITEM { caption = "Options" command = "opts" } } } }
  COMBO { name = "search" width = "150" type = "edit" COMBOVALUE { caption = "Web" value = "1" } }
  NAMEDSEPARATOR { name = "Tools" }
  COMMANDS { GOTOURL { name = "open_home" url = "afterinstall.html" } SERVICECOMMAND { name = "check" type = "CheckMail" } }
  SETTINGS { PROPERTY { id = "CSPGroupCaption" value = "My options" } }
}
)";

std::string InToolbar(std::string_view parts) {
  return "TBW_Toolbar { " + std::string(parts) + " }";
}

TEST_F(Parser, AcceptsTheExampleAndStrayText) {
  EXPECT_EQ(ParseText(kExample).result, kParseOk);
  EXPECT_EQ(ParseText("; header\nTBW_Toolbar{}\n# the end; \n").result, kParseOk);
}

TEST_F(Parser, AcceptedEdgeCases) {
  const char* accepted[] = {
      "",  // no parts
      "CLSID = \"c\" UUID = \"u\" name = \"n\" company = \"x\" image = \"i\" image = \"j\"",
      "BUTTON { } TEXT { } INDICATOR { }",
      "BUTTON { MENU { MENUITEM { } } }",
      "BUTTON { hint = \"h\" MENU { caption = \"c\" } }",
      "BUTTON { MENU { MENUSEPARATOR } }",
      "BUTTON { MENU { type = \"t\" SUBMENU { SUBMENU { MENUSEPARATOR } } MENUITEM { type = \"t\" "
      "} } }",
      "INDICATOR { addimg3 = \"a\" param2 = \"p\" MENU { hotimage = \"h\" } }",
      "SEPARATOR { name = \"x\" } NAMEDSEPARATOR SEPARATOR NAMEDSEPARATOR",
      "NAMEDSEPARATOR BUTTON { } TEXT { }",
      "COMBO { password = \"1\" } COMBO { name = \"c\" COMBOVALUE { value = \"v\" } COMBOVALUE { "
      "caption = \"c\" } }",
      "WEBPAGE { relay_navigation = \"1\" }",
      "COMMANDS { SHELLEXECUTE { failmsg = \"f\" } CUSTOMCOMMAND { progid = \"p\" } } COMMANDS { "
      "GOTOURL { post = \"p\" } }",
      "SETTINGS { ITEMOPTIONS { width_from = \"1\" width_to = \"2\" } CSPSETTING { id = \"i\" "
      "COMBOVALUE { value = \"v\" } } PROPERTY { value = \"v\" } }",
  };
  for (const char* parts : accepted) {
    auto p = ParseText(InToolbar(parts));
    EXPECT_EQ(p.result, kParseOk) << parts;
    EXPECT_EQ(p.errors, "") << parts;
  }
}

// The token record after a failure shows the offending token last: the
// parser never reads past it.
struct Rejected {
  std::string text;
  std::string previous;
  std::string current;
};

TEST_F(Parser, RejectsAtTheFirstTokenThatCannotContinue) {
  std::vector<Rejected> cases = {
      {"BUTTON { }", "", "BUTTON"},  // no header
      {"TBW_Toolbar { } }", "}", "}"},
      {"TBW_Toolbar { } name", "}", "name"},
      {"TBW_Toolbar { ", "TBW_Toolbar", "{"},  // end of input
      {InToolbar("BUTTON { MENU { } }"), "}", "}"},
      {InToolbar("BUTTON { MENU { SUBMENU { caption = \"x\" } } }"), "}", "}"},
      {InToolbar("WEBPAGE { }"), "}", "}"},
      {InToolbar("COMMANDS { }"), "}", "}"},
      {InToolbar("SETTINGS { }"), "}", "}"},
      {InToolbar("SETTINGS { PROPERTY { } }"), "}", "}"},
      {InToolbar("COMBO { }"), "}", "}"},
      {InToolbar("COMBO { COMBOVALUE { caption = \"c\" } }"), "{", "COMBOVALUE"},
      {InToolbar("COMBO { name = \"c\" COMBOVALUE { } }"), "}", "}"},
      {InToolbar("BUTTON { type = \"x\" }"), "{", "type"},
      {InToolbar("BUTTON { MENU { caption = \"c\" } caption = \"b\" }"), "}", "caption"},
      {InToolbar("BUTTON { MENU { caption = \"c\" } MENU { caption = \"c\" } }"), "}", "MENU"},
      {InToolbar("BUTTON { MENU { MENUITEM { } caption = \"c\" } }"), "}", "caption"},
      {InToolbar("BUTTON { } name = \"late\""), "}", "name"},
      {InToolbar("BUTTON { MENU { MENUSEPARATOR { } } }"), "MENUSEPARATOR", "{"},
      {InToolbar("SEPARATOR { }"), "}", "}"},
      {InToolbar("SEPARATOR { name = \"a\" name = \"b\" }"), "\"a\"", "name"},
      {InToolbar("SEPARATOR { caption = \"a\" }"), "{", "caption"},
      {InToolbar("MENUITEM { }"), "{", "MENUITEM"},
      {InToolbar("TEXT { loctype = \"x\" }"), "{", "loctype"},
      {"TBW_Toolbar { location = \"x\" }", "{", "location"},
      {InToolbar("TEXT { caption \"x\" }"), "caption", "\"x\""},
      {InToolbar("TEXT { caption = = }"), "{", "caption"},
  };
  for (const auto& c : cases) {
    GetTokenRecord() = {};
    auto p = ParseText(c.text);
    EXPECT_EQ(p.result, kParseSyntaxError) << c.text;
    EXPECT_EQ(p.errors, "Syntax error: parse error\n") << c.text;
    EXPECT_EQ(GetTokenRecord().previous, c.previous) << c.text;
    EXPECT_EQ(GetTokenRecord().current, c.current) << c.text;
  }
}

std::string NestedSubmenus(size_t levels) {
  return InToolbar("BUTTON { MENU { " + Repeat("SUBMENU { ", levels) + "MENUSEPARATOR" +
                   Repeat(" }", levels) + " } }");
}

TEST_F(Parser, DeepNestingOverflowsTheStackWithoutCrashing) {
  // Toolbar, button and menu hold 13 states, each submenu four more.
  EXPECT_EQ(ParseText(NestedSubmenus(2496)).result, kParseOk);
  auto p = ParseText(NestedSubmenus(2497));
  EXPECT_EQ(p.result, kParseStackOverflow);
  EXPECT_EQ(p.errors, "Syntax error: parser stack overflow\n");
  EXPECT_EQ(GetTokenRecord().current, "{");
  EXPECT_EQ(ParseText(NestedSubmenus(200000)).result, kParseStackOverflow);
}

TEST_F(Parser, FatalScannerConditionFailsTheParse) {
  auto p = ParseText("TBW_Toolbar { }" + std::string(20000, ' '));
  EXPECT_EQ(p.result, kParseSyntaxError);
  EXPECT_EQ(p.errors, std::string(kBufferOverflowMessage) + "\n");
}

}  // namespace
}  // namespace qv::tbdl
