#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "install/resource_lookup.h"
#include "recorded_messages.h"
#include "support/temp_dir.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/loader.h"
#include "tbdl/tree.h"

namespace qv::tbdl {
namespace {

namespace fs = std::filesystem;
using test::RecordedMessages;
using test::ShownMessage;

// A lookup that knows a fixed set of names and records every request.
class ScriptedLookup : public ResourceLookup {
 public:
  bool EnsureResourceFile(std::string& name) override {
    asked.push_back(name);
    auto it = paths.find(name);
    if (it == paths.end()) return false;
    name = it->second;
    return true;
  }
  std::map<std::string, std::string> paths = {
      {"tbil.bmp", "/x/tbil.bmp"}, {"tbhotil.bmp", "/x/tbhotil.bmp"}, {"hot.bmp", "/x/hot.bmp"}};
  std::vector<std::string> asked;
};

// Writes a file of the directory.
void Write(const TempDir& dir, const std::string& name, const std::string& bytes) {
  std::ofstream(dir.File(name), std::ios::binary) << bytes;
}

constexpr const char* kDefinition = R"(TBW_Toolbar {
  hotimage = "hot.bmp"
  BUTTON { name = "go" caption = "Go" command = "open_home" image = "0" hint = "Home page" }
  SEPARATOR
  BUTTON { caption = "Mail" image = "3" MENU { type = "Split" MENUITEM { caption = "Check now" command = "check" } MENUSEPARATOR SUBMENU { caption = "More" MENUITEM { caption = "Options" command = "opts" } } } }
  COMBO { name = "search" width = "150" type = "edit" COMBOVALUE { caption = "Web" value = "1" } }
  NAMEDSEPARATOR { name = "Tools" }
  COMMANDS { GOTOURL { name = "open_home" url = "afterinstall.html" } SERVICECOMMAND { name = "check" type = "CheckMail" } }
  SETTINGS { PROPERTY { id = "CSPGroupCaption" value = "My options" } }
}
)";

TEST(Loader, LoadsADefinitionFileAndItsBitmaps) {
  RecordedMessages messages;
  TempDir dir;
  Write(dir, "quorvane.tbd", kDefinition);
  Write(dir, "tbil.bmp", "b");
  Write(dir, "hot.bmp", "b");
  LocalResourceLookup lookup(dir.path());
  std::unique_ptr<TBDLToolbar> model;
  std::ostringstream echo;
  ASSERT_TRUE(LoadToolbarDefinition(model, lookup, &echo));
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_EQ(echo.str(), "");
  EXPECT_EQ(model->ImageFile(), "tbil.bmp");
  EXPECT_EQ(model->HotImageFile(), "hot.bmp");
  ASSERT_EQ(model->Items().size(), 5u);
  EXPECT_EQ(model->Item(2)->GetName(), "Mail");
  EXPECT_EQ(model->Item(2)->Menu().EntryCount(), 4u);
  EXPECT_EQ(model->Item(2)->FindMenuEntry(3)->Caption(), "More");
  EXPECT_EQ(static_cast<TBDLComboItem&>(*model->Item(3)).Values().size(), 1u);
  EXPECT_EQ(model->Item(4)->GetName(), "Tools");
  EXPECT_EQ(model->FindCommand("check"), 1);
  EXPECT_EQ(model->GetProperty("CSPGroupCaption", ""), "My options");
  // The tree is gone once the load is over.
  EXPECT_EQ(TreeState().root, nullptr);
  EXPECT_EQ(TreeState().current, nullptr);
}

TEST(Loader, TheShippedExampleLoadsCleanly) {
  const char* source = std::getenv("QV_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "QV_SOURCE_DIR not set";
  RecordedMessages messages;
  LocalResourceLookup lookup((fs::path(source) / "examples").string());
  std::unique_ptr<TBDLToolbar> model;
  std::ostringstream echo;
  EXPECT_TRUE(LoadToolbarDefinition(model, lookup, &echo));
  EXPECT_EQ(messages.Shown(), std::vector<ShownMessage>{});
  EXPECT_FALSE(model->Items().empty());
}

TEST(Loader, MissingDefinitionFileLeavesAnEmptyModel) {
  RecordedMessages messages;
  ScriptedLookup lookup;
  std::unique_ptr<TBDLToolbar> model;
  ASSERT_TRUE(LoadToolbarDefinitionText(model, kDefinition, lookup));
  ASSERT_FALSE(model->Items().empty());

  EXPECT_FALSE(LoadToolbarDefinition(model, lookup));
  EXPECT_EQ(
      messages.Shown(),
      (std::vector<ShownMessage>{{"Unable to open toolbar definition file", "Error", kMbOk}}));
  ASSERT_NE(model, nullptr);
  EXPECT_TRUE(model->Items().empty());
  EXPECT_TRUE(model->CommandsSection().Commands().empty());
  EXPECT_EQ(lookup.asked.back(), "quorvane.tbd");
}

TEST(Loader, SyntaxErrorShowsTheLastTwoTokensAndLeavesAnEmptyModel) {
  RecordedMessages messages;
  ScriptedLookup lookup;
  std::unique_ptr<TBDLToolbar> model;
  // A property after the button's MENU is not allowed.
  EXPECT_FALSE(LoadToolbarDefinitionText(
      model,
      "TBW_Toolbar { BUTTON { caption = \"a\" } BUTTON { MENU { type = \"Single\" } caption = "
      "\"b\" } }",
      lookup));
  EXPECT_EQ(
      messages.Shown(),
      (std::vector<ShownMessage>{{"} caption", "Failed to parse toolbar definition file", kMbOk}}));
  EXPECT_TRUE(model->Items().empty());
  EXPECT_TRUE(lookup.asked.empty());  // no bitmaps after a failed parse
  EXPECT_EQ(TreeState().root, nullptr);

  // A later good load replaces the empty model.
  messages.Clear();
  EXPECT_TRUE(LoadToolbarDefinitionText(model, kDefinition, lookup));
  EXPECT_EQ(model->Items().size(), 5u);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST(Loader, UnreadableDefinitionFailsAsAnEmptyInput) {
  RecordedMessages messages;
  TempDir dir;
  // Found by the lookup, but a directory cannot be read as a file.
  fs::create_directories(dir.File("quorvane.tbd"));
  ScriptedLookup lookup;
  lookup.paths["quorvane.tbd"] = dir.File("quorvane.tbd");
  GetTokenRecord() = {"x", "y"};
  std::unique_ptr<TBDLToolbar> model;
  EXPECT_FALSE(LoadToolbarDefinition(model, lookup));
  // The empty input stops at its end: the record is left as it was.
  EXPECT_EQ(messages.Shown(),
            (std::vector<ShownMessage>{{"x y", "Failed to parse toolbar definition file", kMbOk}}));
  EXPECT_TRUE(model->Items().empty());
}

TEST(Loader, MissingBitmapFailsWithoutMessageAndKeepsTheModel) {
  RecordedMessages messages;
  ScriptedLookup lookup;
  lookup.paths.erase("hot.bmp");
  std::unique_ptr<TBDLToolbar> model;
  EXPECT_FALSE(LoadToolbarDefinitionText(model, kDefinition, lookup));
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_EQ(model->Items().size(), 5u);
  EXPECT_EQ(lookup.asked, (std::vector<std::string>{"tbil.bmp", "hot.bmp"}));

  lookup.asked.clear();
  EXPECT_TRUE(LoadToolbarDefinitionText(model, "TBW_Toolbar { }", lookup));
  EXPECT_EQ(lookup.asked, (std::vector<std::string>{"tbil.bmp", "tbhotil.bmp"}));
  // The model keeps the names, not the paths.
  EXPECT_EQ(model->ImageFile(), "tbil.bmp");
  EXPECT_EQ(model->HotImageFile(), "tbhotil.bmp");
}

TEST(Loader, TreeShapesThatOnlyTheScannerMakes) {
  RecordedMessages messages;
  ScriptedLookup lookup;
  std::unique_ptr<TBDLToolbar> model;
  // SEPARATOR never becomes current: its name lands in the header. A
  // bodiless NAMEDSEPARATOR takes the next part with a body as its child,
  // and a separator reads no parts.
  ASSERT_TRUE(LoadToolbarDefinitionText(model,
                                        "TBW_Toolbar {\r\n SEPARATOR { name = \"x\" }\r\n"
                                        " NAMEDSEPARATOR BUTTON { caption = \"lost\" }\r\n"
                                        " BUTTON { caption = \"kept\" } }\r\n",
                                        lookup));
  EXPECT_EQ(messages.Shown(),
            (std::vector<ShownMessage>{{"Invalid property name", "TBDL Toolbar", kMbOk}}));
  ASSERT_EQ(model->Items().size(), 3u);
  EXPECT_TRUE(model->Item(1)->IsSeparator());
  EXPECT_EQ(model->Item(2)->GetCaption(), "kept");
}

TEST(Loader, TextValuesAreInterpretedWhenApplied) {
  RecordedMessages messages;
  ScriptedLookup lookup;
  std::unique_ptr<TBDLToolbar> model;
  std::ostringstream echo;
  ASSERT_TRUE(LoadToolbarDefinitionText(model,
                                        R"(TBW_Toolbar { # stray
  BUTTON { caption = "dir\\file" hint = "a\tb\"c\"" image = "12px" }
  INDICATOR { addimg1 = "px" caption = "one\ntwo" } })",
                                        lookup, &echo));
  EXPECT_EQ(echo.str(), "#stray");
  EXPECT_EQ(model->Item(0)->GetCaption(), "dir\\file");
  EXPECT_EQ(model->Item(0)->GetHint(), "atb\"c\"");
  EXPECT_EQ(model->Item(0)->GetImage(), 12);
  EXPECT_EQ(model->Item(1)->GetImage(), 0);
  EXPECT_EQ(model->Item(1)->GetName(), "one\ntwo");
}

}  // namespace
}  // namespace qv::tbdl
