// quorvane-tbdl check: where a definition goes wrong, as FILE:LINE:COLUMN,
// next to the toolbar's own message boxes.
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

using testing::JsonValue;

struct Checked {
  int status = -1;
  std::string text;  // the readable output
  JsonValue json;
};

// Writes bytes as the definition, with both bitmaps beside it, and checks it
// in both output forms.
Checked Check(const TempDir& dir, const std::string& bytes, bool bitmaps = true) {
  const std::string file = dir.File("quorvane.tbd");
  std::ofstream(file, std::ios::binary) << bytes;
  if (bitmaps) {
    std::ofstream(dir.File("tbil.bmp")) << "BM";
    std::ofstream(dir.File("tbhotil.bmp")) << "BM";
  }
  Checked c;
  std::ostringstream out, err;
  c.status = RunTool({"check", file}, out, err);
  c.text = out.str();
  int json_status = -1;
  c.json = testing::RunToolJson({"check", "--json", file}, &json_status);
  EXPECT_EQ(json_status, c.status);
  return c;
}

struct Spot {
  int64_t line;
  int64_t column;
  std::string text;
  bool operator==(const Spot&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Spot& s) {
  return os << s.line << ':' << s.column << ": " << s.text;
}

std::vector<Spot> Spots(const JsonValue& json) {
  std::vector<Spot> spots;
  for (const JsonValue& d : json["diagnostics"].items) {
    spots.push_back({d["line"].number, d["column"].number, d["text"].text});
  }
  return spots;
}

TEST(CheckTest, GoodDefinitionPrintsMessageBoxesAndVerdictOnly) {
  TempDir dir;
  const Checked c = Check(dir, "TBW_Toolbar {\n  name = \"x\"\n  BUTTON { caption = \"Go\" }\n}\n");
  EXPECT_EQ(c.status, kExitOk);
  // The toolbar's own box for the header's name, exactly as load shows it.
  EXPECT_EQ(c.text, dir.File("quorvane.tbd") +
                        ": message \"TBDL Toolbar\": \"Invalid property name\"\n" +
                        dir.File("quorvane.tbd") + ": ok\n");
  // Exactly the three members, with their types.
  ASSERT_EQ(c.json.members.size(), 3u);
  EXPECT_TRUE(c.json["ok"].boolean);
  ASSERT_EQ(c.json["messages"].size(), 1u);
  EXPECT_EQ(c.json["messages"][0]["caption"].text, "TBDL Toolbar");
  EXPECT_EQ(c.json["messages"][0]["text"].text, "Invalid property name");
  EXPECT_EQ(c.json["diagnostics"].type, JsonValue::kArray);
  EXPECT_TRUE(c.json["diagnostics"].items.empty());
}

TEST(CheckTest, SyntaxErrorPointsAtTheTokenWithLineAndColumn) {
  TempDir dir;
  for (const char* eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol[0] == '\r' ? "CR LF" : "LF");
    const std::string nl = eol;
    const Checked c = Check(
        dir, "TBW_Toolbar {" + nl + "  BUTTON {" + nl + "    comand = \"x\"" + nl + "  }" + nl);
    EXPECT_EQ(c.status, kExitFailed);
    EXPECT_EQ(Spots(c.json),
              (std::vector<Spot>{
                  {3, 5, "skipped \"comand\""},
                  {3, 12, "syntax error at '=': expected a property, a nested part or '}'"}}));
    // The toolbar's box is unchanged: the last two token texts.
    ASSERT_EQ(c.json["messages"].size(), 1u);
    EXPECT_EQ(c.json["messages"][0]["caption"].text, "Failed to parse toolbar definition file");
    EXPECT_EQ(c.json["messages"][0]["text"].text, "BUTTON {");
    const std::string file = dir.File("quorvane.tbd");
    EXPECT_NE(c.text.find(file + ":3:12: syntax error at '='"), std::string::npos) << c.text;
    EXPECT_EQ(c.text.substr(c.text.size() - 8), ": fails\n");
  }
}

TEST(CheckTest, StopsAreReportedForStringsTheEndAndOverlongTokens) {
  TempDir dir;
  EXPECT_EQ(Spots(Check(dir, "TBW_Toolbar {\n image \"a\\\"b\" }").json),
            (std::vector<Spot>{{2, 8, "syntax error at \"\\\"a\\\\\\\"b\\\"\": expected '='"}}));
  EXPECT_EQ(Spots(Check(dir, "TBW_Toolbar {\n").json),
            (std::vector<Spot>{{2, 1,
                                "syntax error at the end of the file: expected a property, "
                                "a nested part or '}'"}}));
  EXPECT_EQ(Spots(Check(dir, "TBW_Toolbar { MENU { } }").json),
            (std::vector<Spot>{{1, 15, "syntax error at 'MENU': not allowed in this part"}}));
  EXPECT_EQ(
      Spots(Check(dir, "TBW_Toolbar { COMMANDS { } }").json),
      (std::vector<Spot>{
          {1, 26, "syntax error at '}': the part lacks a property or nested part it needs"}}));

  const Checked overlong =
      Check(dir, "TBW_Toolbar {\n name = \"" + std::string(20000, 'x') + "\" }");
  EXPECT_EQ(overlong.status, kExitFailed);
  const std::vector<Spot> spots = Spots(overlong.json);
  ASSERT_EQ(spots.size(), 1u);
  EXPECT_EQ(spots[0].line, 2);
  EXPECT_EQ(spots[0].column, 9);
  EXPECT_NE(spots[0].text.find("too long"), std::string::npos) << spots[0].text;
}

TEST(CheckTest, EverySkippedRunIsReportedEvenWhenTheDefinitionLoads) {
  TempDir dir;
  const Checked c = Check(dir, "# toolbar\nTBW_Toolbar { \xe9 }\n" + std::string(50, '/') + "\n");
  EXPECT_EQ(c.status, kExitOk);
  EXPECT_TRUE(c.json["ok"].boolean);
  // "toolbar" starts with t of "target"/"type" yet matches no keyword.
  EXPECT_EQ(Spots(c.json),
            (std::vector<Spot>{
                {1, 1, "skipped \"#\""},
                {1, 3, "skipped \"toolbar\""},
                {2, 15, "skipped \"\xe9\""},
                {3, 1, "skipped 50 characters starting \"" + std::string(40, '/') + "\"..."}}));
}

TEST(CheckTest, FailuresWithoutPositionsAndUsage) {
  TempDir dir;
  // The toolbar shows nothing for missing bitmaps; the verdict names them.
  const Checked noBitmaps = Check(dir, "TBW_Toolbar { image = \"mine.bmp\" }", /*bitmaps=*/false);
  EXPECT_EQ(noBitmaps.status, kExitFailed);
  // Missing files are fetched as the toolbar fetches them; the test run's
  // vendor site serves nothing.
  ASSERT_EQ(noBitmaps.json["messages"].size(), 2u);
  EXPECT_EQ(
      noBitmaps.json["messages"][0]["text"].text.rfind("Unable to download file mine.bmp from ", 0),
      0u);
  EXPECT_NE(noBitmaps.text.find(": fails"), std::string::npos) << noBitmaps.text;

  int status = -1;
  const JsonValue missing =
      testing::RunToolJson({"check", "--json", dir.File("none.tbd")}, &status);
  EXPECT_EQ(status, kExitFailed);
  EXPECT_FALSE(missing["ok"].boolean);
  EXPECT_EQ(missing["messages"][0]["caption"].text, "Ostrivel Toolbar Alert");
  EXPECT_EQ(missing["messages"][1]["caption"].text, "Error");
  EXPECT_EQ(missing["messages"][1]["text"].text, "Unable to open toolbar definition file");

  std::ostringstream out, err;
  EXPECT_EQ(RunTool({"check"}, out, err), kExitUsage);
  EXPECT_EQ(RunTool({"check", "a.tbd", "b.tbd"}, out, err), kExitUsage);
}

// What check reports must not change what loading shows: the same boxes as
// load, and load itself reports no positions.
TEST(CheckTest, LoadShowsTheSameMessageBoxes) {
  TempDir dir;
  const Checked c = Check(dir, "TBW_Toolbar { name = \"n\" BUTTON { hint = \"h\" } } x");
  int status = -1;
  const JsonValue load =
      testing::RunToolJson({"load", "--json", dir.File("quorvane.tbd")}, &status);
  EXPECT_EQ(status, c.status);
  ASSERT_EQ(load["messages"].size(), 1u);
  ASSERT_EQ(load["messages"].size(), c.json["messages"].size());
  for (size_t i = 0; i < load["messages"].size(); ++i) {
    EXPECT_EQ(load["messages"][i]["caption"].text, c.json["messages"][i]["caption"].text);
    EXPECT_EQ(load["messages"][i]["text"].text, c.json["messages"][i]["text"].text);
  }
  EXPECT_EQ(load["skipped"].text, "x");
  EXPECT_FALSE(load.Has("diagnostics"));
}

}  // namespace
}  // namespace qv::tools
