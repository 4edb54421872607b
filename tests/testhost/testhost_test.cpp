// The real quorvane.dll in the test browser window: registered in the
// Wine prefix, created through the registry, sited with the scripted
// browser and driven through its real toolbar control. The cases share the
// prefix's registry and run one at a time (RESOURCE_LOCK in CMake).
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/win32_registration_guard.h"
#include "band_host.h"
#include "json_writer.h"
#include "simulators/win32/scripted_dom.h"
#include "support/scripted_http_server.h"

namespace qv::test {
namespace {

using testhost::BandHost;
using testhost::HostOptions;
using testhost::Step;

std::string Directory(const std::string& path) {
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The built DLL copied into a folder of this process's own, so that the
// definitions the cases put beside it stay out of the build tree.
std::string StagedDll() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string dir =
      std::string(temp) + "qv-testhost-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string dll = dir + "quorvane.dll";
  if (GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
    CopyFileA((Directory(ThisProgram()) + "..\\src\\quorvane.dll").c_str(), dll.c_str(), FALSE);
  test::PrepareForRegistration(dir);
  return dll;
}

std::string Examples() {
  // The source tree as CTest names it (a Unix path: the Z: drive), else
  // found from the build tree.
  const char* source = std::getenv("QV_SOURCE_DIR");
  if (source == nullptr) return Directory(ThisProgram()) + "..\\..\\..\\examples";
  return (source[0] == '/' ? "Z:" : "") + std::string(source) + "/examples";
}

Step Navigation(const wchar_t* url) {
  Step step;
  step.page.url = url;
  step.page.title = L"Scripted page";
  step.page.bodyText = L"A page with words and more words.";
  step.page.elements.push_back({L"A", L"link", L"a link", {{L"href", L"http://link.test/"}}});
  step.page.elements.push_back({L"EMBED", L"movie", L"", {}});
  step.page.frames.push_back({L"http://frame.test/", L"Frame", L"frame words", {}, {}});
  return step;
}

Step Input(Step::Kind kind, int id, const wchar_t* text = L"") {
  Step step;
  step.kind = kind;
  step.id = id;
  step.text = text;
  return step;
}

class TestHostTest : public ::testing::Test {
 protected:
  HostOptions Options(const std::string& definitionDir) {
    HostOptions options;
    options.registerDll = StagedDll();
    options.definitionDir = definitionDir;
    return options;
  }
};

TEST_F(TestHostTest, ExampleDefinitionFillsTheRealToolbarControl) {
  BandHost host;
  ASSERT_TRUE(host.Start(Options(Examples())));
  EXPECT_TRUE(host.Loaded());
  EXPECT_TRUE(host.Errors().empty());
  EXPECT_TRUE(host.Answerer().Messages().empty());
  const std::vector<testhost::ButtonRecord> buttons = host.Buttons();
  ASSERT_GE(buttons.size(), 5u);
  for (size_t i = 0; i < buttons.size(); ++i) EXPECT_EQ(buttons[i].id, 1024 + static_cast<int>(i));
  bool search = false;
  for (const auto& button : buttons) search = search || button.text == L"Search";
  EXPECT_TRUE(search);
  // Its controls sit inside the toolbar, with the rows the rebar gave.
  ASSERT_EQ(host.BandInfo().size(), 3u);
  EXPECT_EQ(host.BandInfo()[2].ptMinSize.y, 22);
  EXPECT_TRUE(IsWindowVisible(host.Toolbar()));
  testhost::Picture picture;
  ASSERT_TRUE(host.Snapshot(&picture));
  EXPECT_EQ(picture.width * picture.height * 3, static_cast<int>(picture.rgb.size()));
  // The whole window: the band on top, a white page below it.
  EXPECT_EQ(picture.width, 1024);
  EXPECT_EQ(picture.height, 300);
  const uint8_t* page = &picture.rgb[3 * (200 * picture.width + 512)];
  EXPECT_EQ(page[0] + page[1] + page[2], 3 * 255);
}

// With accounts in the settings the items are updated before the build has
// given them their buttons; the control's answer for a button it does not
// have once read as "hidden", and laying out the search boxes again for it
// recursed until the stack ran out.
TEST_F(TestHostTest, ConfiguredMailAccountsDoNotStopTheBandFromStarting) {
  const char* subkey = "Software\\Ostrivel\\quorvane\\POP3 Accounts";
  HKEY accounts = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &accounts, nullptr),
            ERROR_SUCCESS);
  const DWORD count = 2;
  RegSetValueExA(accounts, "NumberOfConfiguredAccounts", 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&count), sizeof count);
  auto text = [&](const std::string& name, const std::string& value) {
    RegSetValueExA(accounts, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  };
  for (int n = 1; n <= 2; ++n) {
    const std::string k = std::to_string(n);
    text("POP3Server" + k, "pop" + k + ".invalid");
    text("POP3Account" + k, "user" + k);
    RegSetValueExA(accounts, ("POP3Password" + k).c_str(), 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>("\x22\x32"), 2);
    text("CheckInterval" + k, n == 1 ? "10" : "0");
    text("UseSPA" + k, "0");
  }
  RegCloseKey(accounts);

  bool loaded = false, mail = false;
  {
    BandHost host;
    ASSERT_TRUE(host.Start(Options(Examples())));
    loaded = host.Loaded();
    for (const auto& button : host.Buttons()) mail = mail || button.text == L"Mail";
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, subkey);
  RegDeleteKeyA(HKEY_CURRENT_USER, subkey);
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(mail);
}

TEST_F(TestHostTest, SearchTypedAndEnteredReachesTheBrowserAsNavigate2) {
  BandHost host;
  HostOptions options = Options(Examples());
  options.followNavigations = false;
  ASSERT_TRUE(host.Start(options));
  host.RunStep(Navigation(L"http://start.test/page"));
  host.RunStep(Input(Step::Kind::kType, 1026, L"two words"));
  ASSERT_TRUE(host.Browser()->Navigations().empty());
  host.RunStep(Input(Step::Kind::kEnter, 1026));
  ASSERT_EQ(host.Browser()->Navigations().size(), 1u);
  const sim::NavigationRecord& asked = host.Browser()->Navigations()[0];
  EXPECT_EQ(asked.method, L"Navigate2");
  EXPECT_NE(asked.url.find(L"q=two+words"), std::wstring::npos) << asked.url.c_str();
}

TEST_F(TestHostTest, OnQuitTeardownGivesEveryScriptedObjectBack) {
  BandHost host;
  ASSERT_TRUE(host.Start(Options(Examples())));
  host.RunStep(Navigation(L"http://one.test/"));
  host.RunStep(Input(Step::Kind::kMouseDown, 0));
  host.RunStep(Input(Step::Kind::kNewWindow, 0));
  host.RunStep(Input(Step::Kind::kClick, 1028));
  host.RunStep(Navigation(L"http://two.test/"));
  host.Stop();
  EXPECT_TRUE(host.AllReferencesBack()) << host.Json();
  // No object, window procedure or hook of the module is left.
  EXPECT_EQ(host.CanUnloadAfterStop(), S_OK);
  EXPECT_EQ(host.Site().refs, 1);
  EXPECT_EQ(host.Browser()->EventSinks(), 0);
  EXPECT_EQ(host.Browser()->Events().back().name, L"OnQuit");
  // The band heard all of it: the browser's events, the page's mouse-down
  // and the window's before-unload each reached one sink of its own.
  for (const sim::EventRecord& event : host.Browser()->Events())
    EXPECT_EQ(event.sinks, 1) << testhost::Utf8(event.name);
  // It was the last page's UI handler, and gave that back on the quit.
  EXPECT_EQ(host.UIHandlersSet(), 2);
  EXPECT_FALSE(host.Browser()->CurrentDocument()->HoldsUIHandler());
}

TEST_F(TestHostTest, EachFrameIsWatchedUntilItsPageIsLeft) {
  BandHost host;
  HostOptions options = Options(Examples());
  options.followNavigations = false;
  ASSERT_TRUE(host.Start(options));
  host.RunStep(Navigation(L"http://one.test/"));
  sim::ScriptedDocument* first = host.Browser()->CurrentDocument();
  sim::ScriptedDocument* inner = first->FrameBrowsers().at(0)->CurrentDocument();
  for (sim::ScriptedDocument* document : {first, inner}) {
    EXPECT_EQ(document->Events()->Sinks(), 1);
    EXPECT_EQ(document->Window()->Events()->Sinks(), 1);
  }
  EXPECT_EQ(first->PropertySinks()->Sinks(), 1);
  EXPECT_TRUE(first->HoldsUIHandler());

  // A script run from the address leaves the page as it is.
  host.RunStep(Navigation(L"javascript:void(0)"));
  EXPECT_EQ(host.Browser()->CurrentDocument(), first);
  EXPECT_EQ(inner->Window()->Events()->Sinks(), 1);

  // Any other address lets go of every frame of the page left.
  host.RunStep(Navigation(L"http://two.test/"));
  sim::ScriptedDocument* second = host.Browser()->CurrentDocument();
  ASSERT_NE(second, first);
  for (sim::ScriptedDocument* document : {first, inner}) {
    EXPECT_EQ(document->Events()->Sinks(), 0);
    EXPECT_EQ(document->Window()->Events()->Sinks(), 0);
    EXPECT_EQ(document->PropertySinks()->Sinks(), 0);
    EXPECT_FALSE(document->HoldsUIHandler());
  }
  EXPECT_EQ(second->Events()->Sinks(), 1);

  // And the quit of everything.
  host.Stop();
  for (sim::ScriptedDocument* document : host.Browser()->Documents()) {
    EXPECT_EQ(document->Events()->Sinks(), 0);
    EXPECT_EQ(document->Window()->Events()->Sinks(), 0);
    EXPECT_EQ(document->PropertySinks()->Sinks(), 0);
  }
  EXPECT_TRUE(host.AllReferencesBack()) << host.Json();
}

TEST_F(TestHostTest, MessageBoxDuringSetSiteIsAnsweredAndRecorded) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string dir = std::string(temp) + "qv-testhost-broken\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::ofstream(dir + "quorvane.tbd") << "TBW_Toolbar { BUTTON { caption = \n";
  {
    BandHost host;
    host.Start(Options(dir));
    host.Stop();
    ASSERT_FALSE(host.Answerer().Messages().empty()) << host.Json();
    EXPECT_FALSE(host.Answerer().Messages()[0].caption.empty());
    EXPECT_EQ(host.Answerer().Messages()[0].answer, IDOK);
    EXPECT_TRUE(host.AllReferencesBack()) << host.Json();
  }
  DeleteFileA((dir + "quorvane.tbd").c_str());
  RemoveDirectoryA(dir.c_str());
}

// testhost.exe in a process of its own (the blocker reads its settings
// once per process); its exit code and the JSON it printed.
DWORD RunTestHostExe(const std::string& arguments, std::string* out) {
  const std::string exe = Directory(ThisProgram()) + "..\\testhost\\testhost.exe";
  std::string line = "\"" + exe + "\" --json --register \"" + StagedDll() +
                     "\" --definition-dir \"" + Examples() + "\" " + arguments;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 0)) return 98;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    CloseHandle(read);
    CloseHandle(write);
    return 97;
  }
  CloseHandle(write);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) out->append(buffer, got);
  CloseHandle(read);
  DWORD code = 99;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

TEST_F(TestHostTest, TestHostExePrintsOneJsonObject) {
  std::string out;
  EXPECT_EQ(RunTestHostExe("--page http://example.test/ --search 1026=words --click 1024", &out),
            0u)
      << out;
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.front(), '{');
  EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line";
  for (const char* key :
       {"\"loaded\":true", "\"bandInfo\":[{", "\"buttons\":[{", "\"controls\":[{", "\"messages\":[",
        "\"navigations\":[{\"method\":\"Navigate2\"", "\"events\":[{", "\"sinks\":1",
        "\"uiHandlersSet\":2", "\"allBack\":true"})
    EXPECT_NE(out.find(key), std::string::npos) << key << "\n" << out;
}

// The real band's alert check fetches a served script on its 15-second
// timer and its alert window slides up at the bottom right of the work
// area (the test host stands in for the page's browser control).
TEST_F(TestHostTest, RealBandShowsTheServedAlert) {
  ScriptedHttpServer server;
  server.SetFile("/alert.txt",
                 "ShowDesktopAlert=1\r\nURL=http://www.example.com/alerts/today.html\r\n"
                 "Width=300\r\nHeight=200\r\nShowAnimTime=500\r\nHideAutomaticaly=0\r\n");
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string dir =
      std::string(temp) + "qv-alert-def-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  for (const char* bitmap : {"tbil.bmp", "tbhotil.bmp", "menubtn.bmp", "menubtnhot.bmp"})
    CopyFileA((Examples() + "/" + bitmap).c_str(), (dir + bitmap).c_str(), FALSE);
  std::ifstream in(Examples() + "/quorvane.tbd", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto set = [&text](const std::string& id, const std::string& value) {
    const std::string key = "id = \"" + id + "\" value = \"";
    const size_t at = text.find(key);
    ASSERT_NE(at, std::string::npos) << id;
    const size_t start = at + key.size();
    text.replace(start, text.find('"', start) - start, value);
  };
  set("EnableDesktopAlerts", "1");
  set("AlertsCheckInterval", "-1");
  set("AlertScriptURL", server.BaseUrl() + "alert.txt");
  std::ofstream(dir + "quorvane.tbd", std::ios::binary) << text;

  std::string out;
  EXPECT_EQ(RunTestHostExe("--definition-dir \"" + dir.substr(0, dir.size() - 1) +
                               "\" --page http://example.test/ "
                               "--alert-wait 40000",
                           &out),
            0u)
      << out;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  char rect[80];
  std::snprintf(rect, sizeof rect, "\"rect\":[%ld,%ld,%ld,%ld]", work.right - 301,
                work.bottom - 201, work.right - 1, work.bottom - 1);
  EXPECT_NE(out.find("\"alert\":{\"shown\":true"), std::string::npos) << out;
  EXPECT_NE(out.find(rect), std::string::npos) << rect << "\n" << out;
  EXPECT_NE(out.find("\"page\":\"http://www.example.com/alerts/today.html\""), std::string::npos);
  EXPECT_NE(out.find("\"allBack\":true"), std::string::npos);
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"/alert.txt"});
  for (const char* file :
       {"tbil.bmp", "tbhotil.bmp", "menubtn.bmp", "menubtnhot.bmp", "quorvane.tbd"})
    DeleteFileA((dir + file).c_str());
  RemoveDirectoryA(dir.c_str());
}

// The blocker of the real band on a page that is not on the whitelist:
// windows the user did not ask for are cancelled and counted, a click on a
// link or the Shift key lets one through, Flash in a frame is hidden, and
// a script's move of the placed browser window is stopped while the
// user's drag is not.
TEST_F(TestHostTest, RealBandBlocksUnaskedWindowsFlashAndScriptMoves) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string pageFile = std::string(temp) + "qv-blocker-page.txt";
  std::ofstream(pageFile) << "title = Ads\n"
                             "element = A | link | a link | href=http://link.test/\n"
                             "frame = http://frame.test/ | frame words\n"
                             "frame-element = EMBED | movie | | src=http://ads.test/m.swf\n"
                             "frame-element = EMBED | sound | | src=http://ads.test/m.swf?x\n";
  std::string out;
  const DWORD code = RunTestHostExe(
      "--setting EnablePopupBlocker=1 --setting BlockFlashMovies=1 --setting BlockResize=1"
      " --setting ShowPopupPageStatus=1 --setting TotalBlockedPopups=5"
      " --setting TempDisableBlockerKey=4294967295 --no-follow"
      " --page http://ads.test/ --page-file \"" +
          pageFile +
          "\""
          " --new-window --mousedown 0 --new-window --new-window"
          " --key-down 16 --new-window --key-up 16 --new-window"
          " --user-drag --script-move --user-drag",
      &out);
  DeleteFileA(pageFile.c_str());
  EXPECT_EQ(code, 0u) << out;
  for (const char* key :
       {"\"newWindows\":[{\"cancelled\":true,\"status\":\"This page contains popup windows!\"},"
        "{\"cancelled\":false,",
        "\"totalBlockedPopups\":8",
        "{\"tag\":\"EMBED\",\"id\":\"movie\",\"visibility\":\"hidden\",\"pixelHeight\":0,"
        "\"pixelWidth\":0}",
        "{\"tag\":\"EMBED\",\"id\":\"sound\",\"visibility\":\"\",\"pixelHeight\":-1",
        "\"user drag (moved)\",\"script move (stopped)\",\"user drag (moved)\"",
        "\"allBack\":true"})
    EXPECT_NE(out.find(key), std::string::npos) << key << "\n" << out;
  // The link's window, then the next one cancelled again; Shift lets one
  // through; released, the blocker is back.
  const size_t windows = out.find("\"newWindows\":");
  ASSERT_NE(windows, std::string::npos);
  std::string cancelled;
  for (size_t at = out.find("\"cancelled\":", windows);
       at != std::string::npos && at < out.find("],", windows);
       at = out.find("\"cancelled\":", at + 1))
    cancelled += out.compare(at + 12, 4, "true") == 0 ? 'C' : 'o';
  EXPECT_EQ(cancelled, "CoCoC") << out;
}

}  // namespace
}  // namespace qv::test

#endif  // _WIN32
