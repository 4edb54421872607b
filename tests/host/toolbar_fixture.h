// A toolbar built from a definition text on the headless control, with a
// registry in memory, the standard features, and hooks and a browser that
// record what the toolbar asked for.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/mail_feature.h"
#include "host/popup_indicator_feature.h"
#include "host/toolbar_ctrl.h"
#include "install/resource_lookup.h"
#include "simulators/headless_toolbar.h"
#include "simulators/scripted_browser.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "support/memory_registry.h"
#include "support/temp_dir.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/commands.h"
#include "tbdl/toolbar.h"

namespace qv::test {

// A bitmap file of the given size (24 bits per pixel, all black).
std::string BitmapBytes(int width, int height);
void WriteFile(const std::string& path, const std::string& bytes);

class SilentMessages : public UserMessages {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned) override {
    shown.push_back(caption + ": " + text);
    return kIdOk;
  }
  std::vector<std::string> shown;
};

struct RecordingHooks : ToolbarOwner, PopupBlockerView, SearchActions {
  // ToolbarOwner
  void SetBandIdealWidth(int width) override { idealWidth = width; }
  void OnFocusChange(bool got) override { focusChanges.push_back(got); }
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void NavigateBrowser(const std::string& url) override { navigations.push_back(url); }
  // PopupBlockerView
  bool IsCurrentSiteWhitelisted() override { return whitelisted; }
  bool IsBlockerEnabled() override { return blockerEnabled; }
  uint32_t TotalBlockedPopups() override { return blockedTotal; }
  // SearchActions
  void RunComboSearch(TBWToolBarCtrl&, tbdl::TBDLComboItem& item) override {
    searches.push_back(item.GetName());
  }

  ToolbarHooks Hooks() {
    ToolbarHooks hooks = ToolbarHooks::Defaults();
    hooks.owner = this;
    hooks.popup = this;
    hooks.search = this;
    return hooks;
  }

  int idealWidth = -1;
  std::vector<bool> focusChanges;
  std::vector<std::string> statusTexts;
  std::vector<std::string> navigations;
  bool whitelisted = false;
  bool blockerEnabled = true;
  uint32_t blockedTotal = 0;
  std::vector<std::string> searches;
};

class ToolbarTest : public ::testing::Test {
 protected:
  ToolbarTest();

  // Writes the definition (the body inside TBW_Toolbar) and a 16-pixel image
  // list, then builds the toolbar.
  bool Build(const std::string& body);
  // Builds again on the same toolbar from a new definition text.
  bool Rebuild(const std::string& body);
  // A new toolbar with the standard features and the recording browser,
  // and a 16-pixel image list; not built yet.
  void MakeToolbar();
  MailFeature& Mail() { return *toolbar->FindFeature<MailFeature>(); }
  PopupIndicatorFeature& Popup() { return *toolbar->FindFeature<PopupIndicatorFeature>(); }
  // The addresses the commands run so far sent the browser to.
  std::vector<std::string> Navigations();

  void SetDword(const std::string& name, uint32_t value);
  void SetString(const std::string& name, const std::string& value);
  void SetAccount(unsigned n, const std::string& server, const std::string& user, uint32_t stats,
                  const std::string& error = {});
  void SetAccountCount(uint32_t count);
  uint32_t AccountStats(unsigned n);

  const HeadlessToolbar::Button& ButtonOf(int index) { return control.Buttons().at(index); }
  int WidthOf(int index);
  const HeadlessToolbar::Child& ChildOf(int index);
  tbdl::TBDLItem& Item(int index) { return *toolbar->ItemAt(index); }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  TempDir dir;
  LocalResourceLookup lookup;
  HeadlessToolbar control;
  RecordingHooks hooks;
  ScriptedBrowser browser;
  std::unique_ptr<TBWToolBarCtrl> toolbar;
};

}  // namespace qv::test
