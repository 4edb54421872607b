#include "install/installation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "install/download.h"
#include "install/vendor_site.h"
#include "platform/services.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "simulators/message_recorder.h"
#include "simulators/scripted_browser.h"
#include "support/memory_registry.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

constexpr char kBand[] = "{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}";
constexpr char kButtonKey[] =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\{5C4BDFDA-9B62-4685-9627-4272177E429D}";
constexpr char kBarKey[] =
    "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars\\{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}";
constexpr char kToolbar[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";

// The module in a folder of the test's own, and new browser windows that
// record what they were asked.
class TestSystem : public System {
 public:
  std::string GetModulePath() override { return module; }
  std::unique_ptr<Browser> OpenNewBrowser() override {
    if (!browserAvailable) return nullptr;
    return browser.CreateNewWindow();
  }
  std::string module;
  bool browserAvailable = true;
  ScriptedBrowser browser;
};

struct Value {
  uint32_t type = 0;
  std::string data;  // the bytes stored, a terminating zero included
};

class InstallationTest : public ::testing::Test {
 protected:
  InstallationTest() {
    system.module = dir.File("quorvane.dll");
    directory = dir.path() + "/";
    SetVendorBaseUrl(server.BaseUrl());
    server.SetFile("/quorvane/siebi.ico", "icon");
    server.SetFile("/quorvane/siebihi.ico", "hot icon");
  }
  ~InstallationTest() override { SetVendorBaseUrl(""); }

  std::optional<Value> Read(RegHandle root, const std::string& key, const std::string& name) {
    RegKey k;
    if (k.Open(registry, root, key) != kErrorSuccess) return std::nullopt;
    Value v;
    uint32_t size = 0;
    if (registry.QueryValue(k.get(), name, &v.type, nullptr, &size) != kErrorSuccess)
      return std::nullopt;
    v.data.resize(size);
    registry.QueryValue(k.get(), name, &v.type, reinterpret_cast<uint8_t*>(v.data.data()), &size);
    return v;
  }
  bool HasKey(RegHandle root, const std::string& key) {
    RegKey k;
    return k.Open(registry, root, key) == kErrorSuccess;
  }
  void SetLocked(uint32_t value) {
    RegKey k;
    k.Create(registry, kHkeyCurrentUser, kToolbar);
    WriteKeyDword(k, "Locked", value);
  }
  std::optional<uint32_t> Locked() {
    auto v = Read(kHkeyCurrentUser, kToolbar, "Locked");
    if (!v || v->data.size() != 4) return std::nullopt;
    uint32_t n;
    std::memcpy(&n, v->data.data(), 4);
    return n;
  }
  std::vector<std::string> Pages() {
    std::vector<std::string> urls;
    for (const RecordedCall& call : system.browser.Log().Named("Navigate2"))
      urls.push_back(call.Arg("url").value_or(""));
    return urls;
  }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  MessageRecorder messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  TestSystem system;
  ScopedService<System> useSystem{&PlatformServices::system, &system};
  test::ScriptedHttpServer server;
  TempDir dir;
  std::string directory;
};

TEST_F(InstallationTest, InstallWritesEveryKeyAndOpensTheAfterInstallPage) {
  Install();
  const std::string module = dir.File("quorvane.dll");
  const struct {
    RegHandle root;
    std::string key, name;
    uint32_t type;
    std::string data;
  } expected[] = {
      {kHkeyLocalMachine, kToolbar, kBand, kRegBinary, ""},
      {kHkeyLocalMachine,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrivelquorvane", "DisplayName",
       kRegSz, "Ostrivel - Toolbar"},
      {kHkeyLocalMachine,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrivelquorvane",
       "UninstallString", kRegSz, "regsvr32 /u /s \"" + module + "\" "},
      {kHkeyLocalMachine, kButtonKey, "ButtonText", kRegSz,
       std::string("Toggle quorvane toolbar", 24)},
      {kHkeyLocalMachine, kButtonKey, "Clsid", kRegSz,
       std::string("{E0DD6CAB-2D10-11d2-8F1A-0000F87ABD16}", 39)},
      {kHkeyLocalMachine, kButtonKey, "Default Visible", kRegSz, std::string("Yes", 4)},
      {kHkeyLocalMachine, kButtonKey, "HotIcon", kRegSz, directory + "siebihi.ico" + '\0'},
      {kHkeyLocalMachine, kButtonKey, "Icon", kRegSz, directory + "siebi.ico" + '\0'},
      {kHkeyLocalMachine, kButtonKey, "MenuStatusBar", kRegSz, std::string("quorvane toolbar", 17)},
      {kHkeyLocalMachine, kButtonKey, "MenuText", kRegSz, std::string("&quorvane toolbar", 18)},
      {kHkeyLocalMachine, kButtonKey, "BandClsid", kRegSz, std::string(kBand) + '\0'},
  };
  for (const auto& e : expected) {
    auto v = Read(e.root, e.key, e.name);
    ASSERT_TRUE(v) << e.key << " " << e.name;
    EXPECT_EQ(v->type, e.type) << e.name;
    EXPECT_EQ(v->data, e.data) << e.name;
  }
  EXPECT_TRUE(HasKey(kHkeyLocalMachine, kBarKey));
  EXPECT_EQ(GetSettingString("ToolBarUpdateFlag", ""), "0");
  EXPECT_EQ(GetSettingString("ToolBarUpdateInProgress", ""), "0");
  EXPECT_TRUE(fs::exists(dir.File("siebi.ico")) && fs::exists(dir.File("siebihi.ico")));
  EXPECT_EQ(Pages(), std::vector<std::string>{server.BaseUrl() + "quorvane/afterinstall.html"});
  const auto bars = system.browser.Log().Named("ShowBrowserBar");
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(bars[0].Arg("show").value_or(""), "true");
  EXPECT_EQ(Locked(), std::nullopt);
}

TEST_F(InstallationTest, AnUpdateOpensTheAfterUpdatePageAndLockedIsRestored) {
  SetSettingString("ToolBarUpdateInProgress", "1");
  SetLocked(1);
  Install();
  EXPECT_EQ(Pages(), std::vector<std::string>{server.BaseUrl() + "quorvane/afterupdate.html"});
  EXPECT_EQ(GetSettingString("ToolBarUpdateInProgress", ""), "0");
  EXPECT_EQ(Locked(), 1u);
}

TEST_F(InstallationTest, IconsThatCannotBeFetchedStillGetTheirButtonValues) {
  system.browserAvailable = false;
  SetVendorBaseUrl("http://127.0.0.1:9/");
  Install();
  EXPECT_EQ(messages.count(), 2u);
  auto icon = Read(kHkeyLocalMachine, kButtonKey, "Icon");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->data, directory + "siebi.ico" + '\0');
  EXPECT_TRUE(Pages().empty());
  EXPECT_EQ(GetSettingString("ToolBarUpdateFlag", ""), "0");
}

TEST_F(InstallationTest, TheExtensionsQuestionIsAskedOnlyWhenTheyAreOff) {
  RegKey main;
  main.Create(registry, kHkeyCurrentUser, "Software\\Microsoft\\Internet Explorer\\Main");
  EXPECT_TRUE(EnsureBrowserExtensionsEnabled());
  WriteKeyString(main, "Enable Browser Extensions", "yes");
  EXPECT_TRUE(EnsureBrowserExtensionsEnabled());
  EXPECT_EQ(messages.count(), 0u);

  WriteKeyString(main, "Enable Browser Extensions", "no");
  messages.QueueAnswer(kIdNo);
  const std::string before = registry.ToText();
  EXPECT_FALSE(EnsureBrowserExtensionsEnabled());
  EXPECT_EQ(registry.ToText(), before);
  ASSERT_EQ(messages.count(), 1u);
  const RecordedMessage asked = messages.messages()[0];
  EXPECT_EQ(asked.caption, "quorvane installation");
  EXPECT_EQ(asked.style, kMbYesNo | kMbIconQuestion);
  EXPECT_EQ(asked.text.rfind("Your current security settings prohibit using Internet Explorer "
                             "extensions.\nquorvane will not work",
                             0),
            0u);
  EXPECT_NE(asked.text.find("\n\nClick \"Yes\" to enable browser extensions and continue "
                            "installation.\nClicking \"No\" will cancel the installation."),
            std::string::npos);

  messages.QueueAnswer(kIdYes);
  EXPECT_TRUE(EnsureBrowserExtensionsEnabled());
  EXPECT_EQ(ReadKeyString(main, "Enable Browser Extensions", ""), "yes");
}

TEST_F(InstallationTest, UninstallRemovesWhatInstallWroteAndOnlyFilesInsideTheDirectory) {
  Install();
  SetLocked(1);
  TempDir outside;
  std::ofstream(outside.File("precious.txt")) << "keep";
  fs::create_directories(dir.File("img"));
  const std::vector<std::string> listed = {dir.File("a.bmp"), dir.File("img/b.bmp"),
                                           dir.File("quorvane.tbd")};
  {
    RegKey history = OpenProductSubkey("HistoryResourceFiles", true);
    for (const std::string& file : listed) {
      std::ofstream(file) << "x";
      WriteKeyDword(history, file, 1);
    }
    WriteKeyDword(history, outside.File("precious.txt"), 1);
    WriteKeyDword(history,
                  dir.File("../") + fs::path(outside.path()).filename().string() + "/precious.txt",
                  1);
  }
  SetSettingString("SomeSetting", "x");

  Uninstall();
  RemoveExtensionKeys();
  for (const std::string& file : listed) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(outside.File("precious.txt")));

  EXPECT_FALSE(Read(kHkeyLocalMachine, kToolbar, kBand));
  const std::string uninstall =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrivelquorvane";
  EXPECT_TRUE(HasKey(kHkeyLocalMachine, uninstall));
  EXPECT_FALSE(Read(kHkeyLocalMachine, uninstall, "DisplayName"));
  EXPECT_FALSE(Read(kHkeyLocalMachine, uninstall, "UninstallString"));
  EXPECT_FALSE(HasKey(kHkeyLocalMachine, kButtonKey));
  EXPECT_FALSE(HasKey(kHkeyLocalMachine, kBarKey));
  // The product key holds only what hiding the band stored.
  RegKey product = OpenProductKey();
  char name[64];
  uint32_t chars = sizeof name;
  ASSERT_EQ(registry.EnumValue(product.get(), 0, name, &chars, nullptr, nullptr, nullptr),
            kErrorSuccess);
  EXPECT_EQ(std::string(name), "PosMode");
  EXPECT_EQ(GetSettingDword("PosMode", 9), 0u);
  chars = sizeof name;
  EXPECT_EQ(registry.EnumValue(product.get(), 1, name, &chars, nullptr, nullptr, nullptr),
            kErrorNoMoreItems);
  chars = sizeof name;
  EXPECT_EQ(registry.EnumKey(product.get(), 0, name, &chars), kErrorNoMoreItems);
  EXPECT_EQ(Locked(), 1u);
  EXPECT_EQ(Pages().back(), server.BaseUrl() + "quorvane/afteruninstall.html");
  EXPECT_EQ(system.browser.Log().Named("ShowBrowserBar").back().Arg("show").value_or(""), "false");
}

TEST_F(InstallationTest, UninstallSchedulesTheModulesRemovalWhereRunOnceExists) {
  RegKey runOnce;
  runOnce.Create(registry, kHkeyLocalMachine,
                 "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce");
  Uninstall();
  auto v = Read(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce",
                "Remove Ostrivel");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->data,
            "rundll32.exe advpack.dll,DelNodeRunDLL32 \"" + dir.File("quorvane.dll") + "\"" + '\0');
  Install();
  EXPECT_FALSE(Read(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce",
                    "Remove Ostrivel"));
}

TEST(InstallationDirectory, OnlyPathsStrictlyInsideCount) {
  EXPECT_TRUE(IsPathInsideDirectory("/opt/q/", "/opt/q/a.bmp"));
  EXPECT_TRUE(IsPathInsideDirectory("/opt/q", "/opt/q/img/a.bmp"));
  for (const char* path : {"/opt/q/", "/opt/q", "/opt/qq/a.bmp", "/opt/q/../x", "/opt/x",
                           "/opt/q/img/../../x", "", "a.bmp"})
    EXPECT_FALSE(IsPathInsideDirectory("/opt/q/", path)) << path;
  EXPECT_FALSE(IsPathInsideDirectory("", "/a"));
}

}  // namespace
}  // namespace qv
