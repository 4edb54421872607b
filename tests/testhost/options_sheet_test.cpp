// The options sheet of the real quorvane.dll in the test browser: opened by
// the three service commands, worked through its real controls by the
// sheet driver, and judged by what lands in the registry.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "band_host.h"
#include "mail/accounts.h"
#include "settings/settings.h"
#include "support/win32_registration_guard.h"

namespace qv::test {
namespace {

using testhost::BandHost;
using testhost::HostOptions;
using testhost::Step;

// Buttons the cases put in front of the example toolbar.
constexpr int kOptionsButton = 1024;
constexpr int kBlockerButton = 1025;
constexpr int kPop3Button = 1026;

std::string Directory(const std::string& path) {
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string TempDir(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string dir =
      std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

std::string StagedDll() {
  const std::string dll = TempDir("qv-options-dll") + "quorvane.dll";
  if (GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
    CopyFileA((Directory(ThisProgram()) + "..\\src\\quorvane.dll").c_str(), dll.c_str(), FALSE);
  test::PrepareForRegistration(Directory(dll));
  return dll;
}

std::string Examples() {
  const char* source = std::getenv("QV_SOURCE_DIR");
  if (source == nullptr) return Directory(ThisProgram()) + "..\\..\\..\\examples\\";
  return (source[0] == '/' ? "Z:" : "") + std::string(source) + "/examples/";
}

// The example definition with three buttons first, one per service.
std::string OptionsDefinition() {
  const std::string dir = TempDir("qv-options-def");
  std::ifstream in(Examples() + "quorvane.tbd", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string definition = text.str();
  const std::string key = "hotimage = \"tbhotil.bmp\"\n";
  const size_t at = definition.find(key);
  if (at != std::string::npos)
    definition.insert(
        at + key.size(),
        "  BUTTON { name = \"opts\" caption = \"Options\" command = \"options\" }\n"
        "  BUTTON { name = \"blk\" caption = \"Blocker\" command = "
        "\"configure_blocker\" }\n"
        "  BUTTON { name = \"pop\" caption = \"POP3\" command = \"configure_pop3\" }\n");
  std::ofstream(dir + "quorvane.tbd", std::ios::binary) << definition;
  for (const char* bitmap : {"tbil.bmp", "tbhotil.bmp", "menubtn.bmp", "menubtnhot.bmp"})
    CopyFileA((Examples() + bitmap).c_str(), (dir + bitmap).c_str(), FALSE);
  return dir;
}

Step Click(int id) {
  Step step;
  step.kind = Step::Kind::kClick;
  step.id = id;
  return step;
}

class OptionsSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every case starts from no settings at all.
    RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Ostrivel\\quorvane");
  }
  HostOptions Options() {
    HostOptions options;
    options.registerDll = StagedDll();
    options.definitionDir = OptionsDefinition();
    options.followNavigations = false;
    return options;
  }
  // Starts the toolbar, clicks the button and lets the driver work the
  // sheet with the steps.
  void Run(int button, const std::vector<std::string>& steps, HostOptions options) {
    BandHost host;
    host.Answerer().Sheets().script = steps;
    ASSERT_TRUE(host.Start(options));
    host.RunStep(Click(button));
    host.Stop();
    sheets = host.Answerer().Sheets();
    messages = host.Answerer().Messages();
  }
  void Run(int button, const std::vector<std::string>& steps) { Run(button, steps, Options()); }

  testhost::SheetDriver sheets;
  std::vector<testhost::MessageRecord> messages;
};

TEST_F(OptionsSheetTest, EachServiceOpensTheSheetOnItsOwnPage) {
  const std::pair<int, std::wstring> cases[] = {{kOptionsButton, L"Toolbar options"},
                                                {kBlockerButton, L"Pop-up blocker"},
                                                {kPop3Button, L"POP3 Accounts settings"}};
  for (const auto& [button, tab] : cases) {
    Run(button, {"cancel"});
    EXPECT_EQ(1, sheets.sheetsShown) << button;
    EXPECT_EQ(L"Toolbar options", sheets.lastCaption);
    EXPECT_EQ(tab, sheets.pageCaption) << button;
    EXPECT_TRUE(messages.empty());
  }
}

TEST_F(OptionsSheetTest, Pop3AccountsEditedThroughTheControlsAreStoredOnOk) {
  Run(kPop3Button,
      {"click=1051", "click=1051", "select=1022:0", "text=1129:pop.example.test", "text=1130:ann",
       // More than the field takes: it stops at 400, and all 400 are kept.
       "type=1131:450:p", "check=1137:1", "check=1140:0", "check=307:1",
       "text=308:http://mail.example.test/", "select=1022:1", "click=1052", "ok"});
  EXPECT_TRUE(std::find(sheets.log.begin(), sheets.log.end(), "ok") != sheets.log.end());
  ASSERT_EQ(1u, messages.size());  // Remove's question, answered Yes
  EXPECT_EQ(L"Menu editor", messages[0].caption);
  EXPECT_EQ(L"Are you sure you want to delete selected POP3 account?", messages[0].text);
  EXPECT_EQ(IDYES, messages[0].answer);

  RegKey key = mail::OpenAccountsKey(false);
  ASSERT_TRUE(key);
  EXPECT_EQ(1u, mail::ReadAccountCount(key));
  const mail::Pop3Account account = mail::ReadAccount(key, 1);
  EXPECT_EQ("pop.example.test", account.server);
  EXPECT_EQ("ann", account.user);
  EXPECT_EQ(std::string(400, 'p'), account.password);
  EXPECT_EQ("0", account.interval);
  EXPECT_TRUE(account.useApop);
  EXPECT_EQ("http://mail.example.test/", ReadKeyString(key, "WebFront1", "?"));
}

TEST_F(OptionsSheetTest, CancelStoresNothingButTheCounterReset) {
  HostOptions options = Options();
  options.settings.push_back({"TotalBlockedPopups", 7});
  options.settings.push_back({"EnablePopupBlocker", 0});
  Run(kBlockerButton, {"check=239:1", "select=209:1", "click=305", "cancel"}, options);
  EXPECT_EQ(0u, GetSettingDword("TotalBlockedPopups", 99));
  EXPECT_EQ(0u, GetSettingDword("EnablePopupBlocker", 99));
  EXPECT_EQ(99u, GetSettingDword("TempDisableBlockerKey", 99));

  Run(kBlockerButton, {"check=239:1", "select=209:1", "check=211:1", "check=242:0", "ok"});
  EXPECT_EQ(1u, GetSettingDword("EnablePopupBlocker", 99));
  EXPECT_EQ(16u, GetSettingDword("TempDisableBlockerKey", 99));
  EXPECT_EQ(1u, GetSettingDword("BeepOnPopup", 99));
  EXPECT_EQ(0u, GetSettingDword("BlockResize", 99));
  // Every OK writes the accounts, even with their page untouched.
  EXPECT_EQ(0u, mail::ReadAccountCount(mail::OpenAccountsKey(false)));
}

TEST_F(OptionsSheetTest, ItemsPageStoresChangedLinesAndPersonalization) {
  Run(kOptionsButton, {"lvcheck=1022:3:0", "lvselect=1022:0", "track=309:42", "select=312:1",
                       "text=315:10115", "ok"});
  EXPECT_EQ(1u, GetSettingDword("ItemHidden_weather", 99));
  EXPECT_EQ(42u, GetSettingDword("ItemWidth_q", 99));
  EXPECT_EQ(0u, GetSettingDword("ItemHidden_q", 99));  // a changed line, still visible
  EXPECT_EQ("de", GetSettingString("CSP_language", "?"));
  EXPECT_EQ("10115", GetSettingString("CSP_zip", "?"));
  EXPECT_EQ(99u, GetSettingDword("ItemHidden_home", 99));
}

TEST_F(OptionsSheetTest, ResetToDefaultsDeletesAtOnceEvenWhenCancelled) {
  HostOptions options = Options();
  options.settings.push_back({"ItemHidden_mail", 1});
  options.settings.push_back({"ItemWidth_q", 20});
  Run(kOptionsButton, {"click=318", "cancel"}, options);
  EXPECT_EQ(99u, GetSettingDword("ItemHidden_mail", 99));
  EXPECT_EQ(99u, GetSettingDword("ItemWidth_q", 99));
}

TEST_F(OptionsSheetTest, ASheetOpenInAnotherProcessRefusesASecondOne) {
  const std::string mark = TempDir("qv-options-mark") + "open";
  DeleteFileA(mark.c_str());
  // Without its closing backslash, which would escape the quote.
  std::string definition = OptionsDefinition();
  definition.pop_back();
  const std::string testhost = Directory(ThisProgram()) + "..\\testhost\\testhost.exe";
  const std::string command = "\"" + testhost + "\" --json --register \"" + StagedDll() +
                              "\" --definition-dir \"" + definition + "\" --click " +
                              std::to_string(kPop3Button) + " --sheet mark=" + mark +
                              " --sheet hold=8000 --sheet cancel";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = command;
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  for (int i = 0; i < 300 && GetFileAttributesA(mark.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
    Sleep(50);
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mark.c_str()));
  Run(kOptionsButton, {"ok"});
  EXPECT_EQ(0, sheets.sheetsShown);
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(L"Another toolbar instance has already invoked options dialog", messages[0].text);
  EXPECT_EQ(L"quorvane", messages[0].caption);
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
