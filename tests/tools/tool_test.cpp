// quorvane-tbdl run in process on small definitions and on the example,
// and the built binary run on the example.
#include "tools/tool.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "json_test_reader.h"

namespace qv::tools {
namespace {

namespace fs = std::filesystem;
using testing::JsonReader;
using testing::JsonValue;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
  JsonValue json;
};

ToolRun RunArgs(const std::vector<std::string>& args) {
  ToolRun run;
  std::ostringstream out, err;
  run.status = RunTool(args, out, err);
  run.out = out.str();
  run.err = err.str();
  for (const std::string& arg : args) {
    if (arg == "--json") {
      EXPECT_TRUE(JsonReader::Parse(run.out, &run.json)) << "not JSON:\n" << run.out;
    }
  }
  return run;
}

// A folder standing for an installation directory. Each test case runs in a
// process of its own, in parallel with others: the folder's name must be
// unique across processes, which TempDir makes it.
class TempFolder {
 public:
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::string file = dir_.File(name);
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
  }
  // The two image lists a successful load looks up.
  void WriteBitmaps() const {
    Write("tbil.bmp", "BM");
    Write("tbhotil.bmp", "BM");
  }

 private:
  TempDir dir_;
};

std::vector<std::string> Kinds(const JsonValue& tokens) {
  std::vector<std::string> kinds;
  for (const JsonValue& token : tokens.items) kinds.push_back(token["kind"].text);
  return kinds;
}

TEST(ToolTest, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunArgs({}).status, kExitUsage);
  EXPECT_EQ(RunArgs({"frobnicate", "x"}).status, kExitUsage);
  EXPECT_EQ(RunArgs({"load"}).status, kExitUsage);
  EXPECT_EQ(RunArgs({"tokens", "a", "b"}).status, kExitUsage);
  const ToolRun help = RunArgs({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  for (const char* command : {"tokens", "tree", "load"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
}

TEST(ToolTest, TokensListKindsTextsSkippedAndRecord) {
  TempFolder folder;
  const std::string file = folder.Write("t.tbd", "TBW_Toolbar{image=\"tb\xe9\\\".bmp\"}#\r\n");
  const ToolRun run = RunArgs({"tokens", "--json", file});
  EXPECT_EQ(run.status, kExitOk);
  const JsonValue& tokens = run.json["tokens"];
  EXPECT_EQ(Kinds(tokens),
            (std::vector<std::string>{"part", "{", "property", "=", "string", "}", "end"}));
  EXPECT_EQ(tokens[0]["text"].text, "TBW_Toolbar");
  EXPECT_EQ(tokens[2]["text"].text, "image");
  EXPECT_EQ(tokens[4]["text"].text, "tb\xe9\\\".bmp");
  EXPECT_EQ(run.json["skipped"].text, "#");
  EXPECT_EQ(run.json["record"]["previous"].text, "}");
  EXPECT_EQ(run.json["record"]["current"].text, "}");
  EXPECT_EQ(run.json["fatal"].type, JsonValue::kNull);

  const ToolRun text = RunArgs({"tokens", file});
  EXPECT_EQ(text.status, kExitOk);
  EXPECT_NE(text.out.find("string    \"tb\xe9\\\\\\\".bmp\""), std::string::npos) << text.out;
}

TEST(ToolTest, TokensReportFatalScannerConditionAndUnreadableFile) {
  TempFolder folder;
  const std::string file =
      folder.Write("long.tbd", "TBW_Toolbar { name = \"" + std::string(20000, 'x') + "\" }");
  const ToolRun run = RunArgs({"tokens", "--json", file});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.json["fatal"].type, JsonValue::kString);
  EXPECT_NE(run.json["fatal"].text.find("input buffer overflow"), std::string::npos);
  EXPECT_EQ(Kinds(run.json["tokens"]).back(), "end");

  EXPECT_EQ(RunArgs({"tokens", folder.Write("x", "") + ".missing"}).status, kExitFailed);
}

TEST(ToolTest, TreeShowsNodesAndResult) {
  TempFolder folder;
  const std::string file = folder.Write(
      "t.tbd",
      "TBW_Toolbar { image = \"a\" BUTTON { caption = \"Go\" MENU { MENUITEM { } } } SEPARATOR }");
  const ToolRun run = RunArgs({"tree", "--json", file});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.json["result"].number, 0);
  const JsonValue& root = run.json["tree"];
  EXPECT_EQ(root["name"].text, "TBWToolBar");
  EXPECT_EQ(root["names"][0].text, "image");
  EXPECT_EQ(root["values"][0].text, "a");
  ASSERT_EQ(root["children"].size(), 2u);
  EXPECT_EQ(root["children"][0]["name"].text, "BUTTON");
  EXPECT_EQ(root["children"][0]["children"][0]["name"].text, "MENU");
  EXPECT_EQ(root["children"][0]["children"][0]["children"][0]["name"].text, "MENUITEM");
  EXPECT_EQ(root["children"][1]["name"].text, "SEPARATOR");

  const ToolRun text = RunArgs({"tree", file});
  EXPECT_NE(text.out.find("TBWToolBar image=\"a\"\n  BUTTON caption=\"Go\"\n    MENU\n"),
            std::string::npos)
      << text.out;
}

TEST(ToolTest, TreeOfRejectedDefinitionFails) {
  TempFolder folder;
  const std::string file = folder.Write("t.tbd", "TBW_Toolbar { BUTTON { type = \"x\" } }");
  const ToolRun run = RunArgs({"tree", "--json", file});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.json["result"].number, 1);
  EXPECT_EQ(run.json["record"]["previous"].text, "{");
  EXPECT_EQ(run.json["record"]["current"].text, "type");
}

TEST(ToolTest, VeryDeepTreePrintsWithoutRecursion) {
  // Bodiless NAMEDSEPARATORs nest: each stays current and takes the next
  // part as its child.
  constexpr int kDepth = 100000;
  std::string definition = "TBW_Toolbar {";
  for (int i = 0; i < kDepth; ++i) definition += " NAMEDSEPARATOR";
  definition += " }";
  TempFolder folder;
  const std::string file = folder.Write("deep.tbd", definition);
  for (bool json : {false, true}) {
    std::ostringstream out, err;
    std::vector<std::string> args = {"tree", file};
    if (json) args.push_back("--json");
    EXPECT_EQ(RunTool(args, out, err), kExitOk);
    const std::string text = out.str();
    size_t count = 0;
    for (size_t at = text.find("NAMEDSEPARATOR"); at != std::string::npos;
         at = text.find("NAMEDSEPARATOR", at + 1)) {
      ++count;
    }
    EXPECT_EQ(count, size_t{kDepth});
    if (json) {
      EXPECT_EQ(text.substr(text.size() - 2), "}\n");
    }
  }
}

std::string ExamplePath() {
  const char* source = std::getenv("QV_SOURCE_DIR");
  return std::string(source ? source : ".") + "/examples/quorvane.tbd";
}

const JsonValue* FindByName(const JsonValue& list, const std::string& name) {
  for (const JsonValue& v : list.items) {
    if (v["name"].text == name) return &v;
  }
  return nullptr;
}

TEST(ToolTest, LoadsTheExampleWithEveryKindAndNoMessage) {
  const ToolRun run = RunArgs({"load", "--json", ExamplePath()});
  ASSERT_EQ(run.status, kExitOk) << run.out << run.err;
  EXPECT_TRUE(run.json["ok"].boolean);
  EXPECT_EQ(run.json["messages"].size(), 0u) << run.out;
  EXPECT_EQ(run.json["skipped"].text, "");
  const JsonValue& model = run.json["model"];
  EXPECT_EQ(model["image"].text.substr(model["image"].text.size() - 8), "tbil.bmp");

  const JsonValue& items = model["items"];
  std::set<std::string> kinds;
  for (const JsonValue& item : items.items) kinds.insert(item["kindName"].text);
  EXPECT_EQ(kinds, (std::set<std::string>{"Button", "Text", "Combo", "Web-button", "Separator",
                                          "Indicator"}));

  const JsonValue& home = items[0];
  EXPECT_EQ(home["name"].text, "home");
  EXPECT_EQ(home["kind"].number, 2);
  EXPECT_EQ(home["menu"]["type"].text, "Split");
  const JsonValue& entries = home["menu"]["entries"];
  EXPECT_EQ(entries[0]["caption"].text, "SIDEBAR!Quorvane");
  EXPECT_EQ(entries[0]["id"].number, 2048);
  const JsonValue* tools = nullptr;
  for (const JsonValue& entry : entries.items) {
    if (entry["entry"].text == "SUBMENU") tools = &entry;
  }
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->operator[]("caption").text, "Tools");
  const JsonValue& proxy = (*tools)["entries"][2];
  EXPECT_EQ(proxy["entry"].text, "SUBMENU");
  EXPECT_EQ(proxy["entries"].size(), 2u);
  // A submenu is numbered after its own entries.
  EXPECT_EQ(proxy["number"].number, proxy["entries"][1]["number"].number + 1);

  const JsonValue* search = FindByName(items, "Search");  // named by its caption
  ASSERT_NE(search, nullptr);
  EXPECT_EQ((*search)["caption"].text, "Search");
  const JsonValue* engine = FindByName(items, "engine");
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ((*engine)["type"].text, "droplist");
  ASSERT_EQ((*engine)["values"].size(), 3u);
  EXPECT_EQ((*engine)["values"][2]["value"].text, "news");
  const JsonValue* weather = FindByName(items, "weather");
  ASSERT_NE(weather, nullptr);
  EXPECT_TRUE((*weather)["autosize"].boolean);
  EXPECT_TRUE((*weather)["relay_navigation"].boolean);
  EXPECT_EQ((*weather)["width"].number, 120);
  const JsonValue* mail = FindByName(items, "mail");
  ASSERT_NE(mail, nullptr);
  EXPECT_EQ((*mail)["type"].text, "POP3");
  ASSERT_EQ((*mail)["addimg"].size(), 5u);
  EXPECT_EQ((*mail)["addimg"][2].number, 4);
  EXPECT_EQ((*mail)["param"][2].text, "You have %n new messages");
  const JsonValue* popups = FindByName(items, "popups");
  ASSERT_NE(popups, nullptr);
  EXPECT_EQ((*popups)["menu"]["image"].text, "menubtn.bmp");

  const JsonValue& commands = model["commands"];
  std::set<int64_t> command_kinds;
  for (const JsonValue& command : commands.items) command_kinds.insert(command["kind"].number);
  EXPECT_EQ(command_kinds, (std::set<int64_t>{0, 1, 2, 3}));
  const JsonValue* notes = FindByName(commands, "run_notes");
  ASSERT_NE(notes, nullptr);
  EXPECT_EQ((*notes)["type"].text, "SHELLEXECUTE");
  EXPECT_EQ((*notes)["shellcmd"].text, "\"%COMSPEC%\" /c start notepad.exe");
  const JsonValue* about = FindByName(commands, "about");
  ASSERT_NE(about, nullptr);
  EXPECT_EQ((*about)["service"].text, "MessageBox");
  EXPECT_EQ((*about)["caption"].text, "Quorvane toolbar\nExample definition");
  EXPECT_NE(FindByName(commands, "GoToWebMailGate"), nullptr);

  const JsonValue& settings = model["settings"];
  EXPECT_EQ(settings["itemOptions"][0]["width_to"].number, 60);
  EXPECT_EQ(settings["cspSettings"][0]["values"][2]["caption"].text,
            "Fran\xe7"
            "ais");
  bool options_page = false;
  for (const JsonValue& property : settings["properties"].items) {
    options_page |=
        property["id"].text == "ItemOptionsPageVisible" && property["value"].text == "1";
  }
  EXPECT_TRUE(options_page);

  const ToolRun text = RunArgs({"load", ExamplePath()});
  EXPECT_EQ(text.status, kExitOk);
  EXPECT_EQ(text.out.substr(0, 9), "ok: true\n");
  EXPECT_NE(text.out.find("kindName: \"Indicator\""), std::string::npos);
}

TEST(ToolTest, LoadShowsInvalidPropertiesInOrderAndGoesOn) {
  TempFolder folder;
  folder.WriteBitmaps();
  const std::string file = folder.Write(
      "def.tbd",
      "TBW_Toolbar { name = \"x\" BUTTON { caption = \"Go\" MENU { MENUITEM { type = \"t\" } } }"
      " SEPARATOR }");
  const ToolRun run = RunArgs({"load", "--json", file});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_TRUE(run.json["ok"].boolean);
  const JsonValue& messages = run.json["messages"];
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0]["caption"].text, "TBDL Toolbar");
  EXPECT_EQ(messages[0]["text"].text, "Invalid property name");
  EXPECT_EQ(messages[1]["caption"].text, "TBDL Command button");
  EXPECT_EQ(messages[1]["text"].text, "Invalid property type");
  EXPECT_EQ(run.json["model"]["items"].size(), 2u);
  EXPECT_EQ(run.json["model"]["items"][0]["name"].text, "Go");
}

TEST(ToolTest, LoadFailuresExitWithOne) {
  TempFolder folder;
  folder.WriteBitmaps();

  const ToolRun syntax = RunArgs(
      {"load", "--json", folder.Write("bad.tbd", "TBW_Toolbar { BUTTON { type = \"x\" } }")});
  EXPECT_EQ(syntax.status, kExitFailed);
  EXPECT_FALSE(syntax.json["ok"].boolean);
  ASSERT_EQ(syntax.json["messages"].size(), 1u);
  EXPECT_EQ(syntax.json["messages"][0]["caption"].text, "Failed to parse toolbar definition file");
  EXPECT_EQ(syntax.json["messages"][0]["text"].text, "{ type");
  EXPECT_EQ(syntax.json["model"]["items"].size(), 0u);

  const ToolRun missing = RunArgs({"load", "--json", folder.Write("x", "") + ".missing"});
  EXPECT_EQ(missing.status, kExitFailed);
  // The fetch of the missing definition failed first.
  ASSERT_EQ(missing.json["messages"].size(), 2u);
  EXPECT_EQ(missing.json["messages"][0]["caption"].text, "Ostrivel Toolbar Alert");
  EXPECT_EQ(missing.json["messages"][1]["caption"].text, "Error");
  EXPECT_EQ(missing.json["messages"][1]["text"].text, "Unable to open toolbar definition file");

  // A missing bitmap that cannot be fetched fails the load with the
  // download's message only; the model stays loaded.
  TempFolder bare;
  const ToolRun no_bitmaps = RunArgs(
      {"load", "--json", bare.Write("def.tbd", "TBW_Toolbar { BUTTON { caption = \"Go\" } }")});
  EXPECT_EQ(no_bitmaps.status, kExitFailed);
  ASSERT_EQ(no_bitmaps.json["messages"].size(), 2u);
  EXPECT_EQ(no_bitmaps.json["messages"][0]["caption"].text, "Ostrivel Toolbar Alert");
  EXPECT_EQ(no_bitmaps.json["model"]["items"].size(), 1u);
}

#ifndef _WIN32
// The installed program, as scripts and users run it.
TEST(ToolBinaryTest, LoadsTheExampleAndReportsUsage) {
  const char* binary_dir = std::getenv("QV_BINARY_DIR");
  if (binary_dir == nullptr) GTEST_SKIP() << "QV_BINARY_DIR not set";
  const std::string tool = std::string(binary_dir) + "/tools/quorvane-tbdl";
  if (!fs::exists(tool)) GTEST_SKIP() << tool << " not built";

  std::string out;
  FILE* pipe =
      popen(("'" + tool + "' load --json '" + ExamplePath() + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << out;
  JsonValue json;
  ASSERT_TRUE(JsonReader::Parse(out, &json)) << out;
  EXPECT_TRUE(json["ok"].boolean);
  EXPECT_GT(json["model"]["items"].size(), 10u);

  const int usage = std::system(("'" + tool + "' load >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(usage));
  EXPECT_EQ(WEXITSTATUS(usage), kExitUsage);
}

// Each start of the program draws other random digits for "%rndhex".
TEST(ToolBinaryTest, RandomDigitsDifferBetweenRuns) {
  const char* binary_dir = std::getenv("QV_BINARY_DIR");
  if (binary_dir == nullptr) GTEST_SKIP() << "QV_BINARY_DIR not set";
  const std::string tool = std::string(binary_dir) + "/tools/quorvane-tbdl";
  if (!fs::exists(tool)) GTEST_SKIP() << tool << " not built";
  auto search = [&] {
    std::string out;
    FILE* pipe = popen(
        ("'" + tool + "' run --json '" + ExamplePath() + "' --type q=shoes --enter q 2>/dev/null")
            .c_str(),
        "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    JsonValue json;
    EXPECT_TRUE(JsonReader::Parse(out, &json)) << out;
    std::string url = json["calls"][0]["url"].text;
    size_t digits = url.find("&r=");
    return digits == std::string::npos ? url : url.substr(digits + 3, 8);
  };
  const std::string first = search();
  ASSERT_EQ(first.size(), 8u) << first;
  EXPECT_NE(first, search());
}
#endif

}  // namespace
}  // namespace qv::tools
