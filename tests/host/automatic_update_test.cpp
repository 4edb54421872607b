// The update as a toolbar runs it: the period rule before the load, the
// files fetched from a server on loopback, the bookkeeping after the load,
// and a fetched definition that does not load.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "host/toolbar_hooks.h"
#include "install/download.h"
#include "install/resource_files.h"
#include "install/vendor_site.h"
#include "settings/settings.h"
#include "simulators/headless_toolbar.h"
#include "simulators/message_recorder.h"
#include "simulators/scripted_browser.h"
#include "support/memory_registry.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"
#include "toolbar_fixture.h"

namespace qv {
namespace {

using test::BitmapBytes;
using test::ScriptedHttpServer;

constexpr char kTwoButtons[] = R"(TBW_Toolbar {
  BUTTON { name = "a" caption = "Alpha" command = "up" }
  BUTTON { name = "b" caption = "Beta" }
  COMMANDS { SERVICECOMMAND { name = "up" type = "Update" } }
})";
constexpr char kOneButton[] = R"(TBW_Toolbar { BUTTON { caption = "Only" } })";

class AutomaticUpdateTest : public ::testing::Test {
 protected:
  AutomaticUpdateTest() : lookup(dir.path()) {
    SetVendorBaseUrl(server.BaseUrl());
    saved = DownloadLimits();
    SetDownloadLimits({2000, 1000, 1024 * 1024});
    Serve(kTwoButtons);
    server.SetFile("/quorvane/tbil.bmp", BitmapBytes(16 * 4, 16));
    server.SetFile("/quorvane/tbhotil.bmp", BitmapBytes(16 * 4, 16));
  }
  ~AutomaticUpdateTest() override {
    toolbar.reset();
    SetVendorBaseUrl("");
    SetDownloadLimits(saved);
  }
  void Serve(const std::string& definition) {
    server.SetFile("/quorvane/quorvane.tbd", definition);
  }
  bool Build() {
    if (!toolbar) {
      ToolbarHooks hooks = ToolbarHooks::Defaults();
      hooks.updater = &updater;
      toolbar = std::make_unique<TBWToolBarCtrl>(control, lookup, hooks);
      toolbar->CommandHost().SetBrowser(&browser);
    }
    server.ClearRequests();
    return toolbar->BuildToolbar(true);
  }
  std::string Setting(const std::string& name) { return GetSettingString(name, "(none)"); }
  size_t Buttons() { return control.Buttons().size(); }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  MessageRecorder messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  ScriptedHttpServer server;
  TempDir dir;
  FetchingResourceLookup lookup;
  AutomaticUpdater updater;
  HeadlessToolbar control;
  ScriptedBrowser browser;
  std::unique_ptr<TBWToolBarCtrl> toolbar;
  FetchLimits saved;
};

const std::vector<std::string> kEveryFile = {"/quorvane/quorvane.tbd", "/quorvane/tbil.bmp",
                                             "/quorvane/tbhotil.bmp"};

TEST_F(AutomaticUpdateTest, AFreshInstallationFetchesEveryFileAndRecordsTheCheck) {
  const std::time_t before = std::time(nullptr);
  ASSERT_TRUE(Build());
  EXPECT_EQ(server.Requests(), kEveryFile);
  EXPECT_EQ(Buttons(), 2u);
  EXPECT_EQ(Setting("GlobalUpdateFlag"), "0");
  EXPECT_EQ(GetSettingDword("AutoUpdatePeriod", 0), 24u);
  const uint32_t checked = GetSettingDword("LastCheckTime", 0);
  EXPECT_GE(checked, static_cast<uint32_t>(before));
  EXPECT_LE(checked, static_cast<uint32_t>(std::time(nullptr)));
  EXPECT_EQ(messages.count(), 0u);

  // Within the period nothing is fetched again.
  ASSERT_TRUE(Build());
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(AutomaticUpdateTest, WithoutAutomaticUpdatesOnlyMissingFilesAreFetched) {
  ASSERT_TRUE(Build());
  std::filesystem::remove(dir.File("tbhotil.bmp"));
  SetSettingDword("LastCheckTime", 0);
  SetSettingFlag("UpdateAutomatically", false);
  ASSERT_TRUE(Build());
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"/quorvane/tbhotil.bmp"});
  EXPECT_EQ(GetSettingDword("LastCheckTime", 1), 0u);

  SetSettingFlag("UpdateAutomatically", true);
  SetSettingDword("AutoUpdatePeriod", 0);
  ASSERT_TRUE(Build());
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(GetSettingDword("LastCheckTime", 1), 0u);
  EXPECT_EQ(Setting("GlobalUpdateFlag"), "0");
  // The successful load wrote the period back.
  EXPECT_EQ(GetSettingDword("AutoUpdatePeriod", 0), 24u);
}

TEST_F(AutomaticUpdateTest, AnUnreachableServerNamesTheMissingDefinitionOnce) {
  SetVendorBaseUrl("http://127.0.0.1:9/");
  EXPECT_FALSE(Build());
  std::vector<std::string> downloads;
  for (const RecordedMessage& m : messages.messages())
    if (m.text.rfind("Unable to download file ", 0) == 0) downloads.push_back(m.text);
  EXPECT_EQ(downloads, std::vector<std::string>{"Unable to download file quorvane.tbd from "
                                                "http://127.0.0.1:9/quorvane/quorvane.tbd"});
  // The update stays pending for the next build.
  EXPECT_EQ(Setting("GlobalUpdateFlag"), "1");
  EXPECT_EQ(Setting("AutoUpdatePeriod"), "(none)");
}

TEST_F(AutomaticUpdateTest, AFetchedDefinitionThatDoesNotLoadLeavesTheLastGoodOne) {
  ASSERT_TRUE(Build());
  ASSERT_EQ(Buttons(), 2u);
  Serve("TBW_Toolbar { BUTTON { caption = ");
  SetSettingFlag("GlobalUpdateFlag", true);
  messages.Clear();
  EXPECT_TRUE(Build());
  EXPECT_EQ(Buttons(), 2u);
  EXPECT_EQ(toolbar->Model()->Items().size(), 2u);
  EXPECT_EQ(Setting("GlobalUpdateFlag"), "1");

  // Still pending: the corrected file arrives at the next build.
  Serve(kOneButton);
  ASSERT_TRUE(Build());
  EXPECT_EQ(server.Requests(), kEveryFile);
  EXPECT_EQ(Buttons(), 1u);
  EXPECT_EQ(Setting("GlobalUpdateFlag"), "0");
}

TEST_F(AutomaticUpdateTest, TheLastGoodCopyIsWrittenAgainOnlyWhenTheDefinitionChanged) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(Build());
  const fs::path copy = fs::path(dir.path()) / "quorvane.tbd.lastgood";
  ASSERT_TRUE(fs::exists(copy));
  fs::last_write_time(copy, fs::file_time_type::clock::now() - std::chrono::hours(48));
  // As the file system keeps it, in its own precision.
  const auto old = fs::last_write_time(copy);
  // Every browser window loads the same file: nothing is written.
  ASSERT_TRUE(Build());
  EXPECT_EQ(fs::last_write_time(copy), old);

  Serve(kOneButton);
  SetSettingFlag("GlobalUpdateFlag", true);
  ASSERT_TRUE(Build());
  EXPECT_NE(fs::last_write_time(copy), old);
  // The new definition is the one a broken update falls back to.
  Serve("TBW_Toolbar {");
  SetSettingFlag("GlobalUpdateFlag", true);
  ASSERT_TRUE(Build());
  EXPECT_EQ(Buttons(), 1u);
}

TEST_F(AutomaticUpdateTest, TheUpdateCommandFetchesEveryFileAndShowsTheAfterUpdatePage) {
  ASSERT_TRUE(Build());
  Serve(kOneButton);
  server.ClearRequests();
  toolbar->OnCommand(1024, false);
  EXPECT_EQ(server.Requests(), kEveryFile);
  EXPECT_EQ(Buttons(), 1u);
  EXPECT_EQ(Setting("GlobalUpdateFlag"), "0");
  const auto navigations = browser.Log().Named("Navigate2");
  ASSERT_EQ(navigations.size(), 1u);
  EXPECT_EQ(navigations[0].Arg("url").value_or(""), server.BaseUrl() + "quorvane/afterupdate.html");
}

}  // namespace
}  // namespace qv
