// A toolbar for command tests: a model loaded from definition text, a
// headless toolbar control with one button per item and a control per
// input item, a scripted browser showing an in-memory page, and recorders
// for message boxes and the other subsystems' services.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/history.h"
#include "commands/model_host.h"
#include "install/resource_lookup.h"
#include "simulators/headless_toolbar.h"
#include "simulators/message_recorder.h"
#include "simulators/scripted_browser.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "support/memory_document.h"
#include "support/memory_registry.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/loader.h"
#include "tbdl/toolbar.h"

namespace qv::testing {

class RecordingServices : public commands::ToolbarServices {
 public:
  void OpenOptionsPage(int page) override { calls.push_back("options " + std::to_string(page)); }
  void CheckMailNow() override { calls.push_back("checkmail"); }
  void ResetSharedBlockedCount() override { calls.push_back("resetcount"); }
  void ToggleSiteInWhiteList() override { calls.push_back("togglesite"); }
  void TogglePopupBlocking() override { calls.push_back("toggleblocking"); }
  void Uninstall() override { calls.push_back("uninstall"); }
  void RebuildToolbar() override {
    calls.push_back("rebuild");
    if (onRebuild) onRebuild();
  }
  std::string VendorBaseUrl() override { return "http://vendor.example/"; }
  std::vector<std::string> calls;
  std::function<void()> onRebuild;
};

class AnyFile : public ResourceLookup {
 public:
  bool EnsureResourceFile(std::string&) override { return true; }
};

class TestToolbar : public commands::ModelCommandHost {
 public:
  explicit TestToolbar(const std::string& definition,
                       const std::string& pageUrl = "http://www.example.org/a b?x=1",
                       const std::string& domain = "www.example.org")
      : definition_(definition) {
    page = std::make_shared<MemoryDocument>(pageUrl, domain);
    browser.SetDocument(page);
    Build();
    std::vector<ToolbarButton> buttons;
    for (size_t i = 0; i < model_->Items().size(); ++i)
      buttons.push_back({0, 1024 + static_cast<int>(i), kTbstateEnabled, 0, 0, 0});
    control.AddButtons(buttons);
    // As the toolbar window does: a new model, and new input fields in place
    // of the old ones.
    services.onRebuild = [this] { Build(); };
  }

  // --- CommandHost
  Browser* GetBrowser() override { return &browser; }
  ToolbarButtons* GetButtons() override { return &control; }
  std::vector<commands::InputField>& InputFields() override { return fields_; }
  void RefreshWebPageItems(const std::string& name) override { refreshedPages.push_back(name); }
  void RefreshPopupIndicator() override { ++popupRefreshes; }
  commands::ToolbarServices& Services() override { return services; }
  tbdl::TBDLToolbar* Model() override { return model_.get(); }

  // --- helpers
  commands::InputField& Field(const std::string& name) {
    for (auto& f : fields_)
      if (f.name == name) return f;
    ADD_FAILURE() << "no field " << name;
    return fields_.front();
  }
  void Type(const std::string& name, const std::string& text) {
    control.SetChildText(Field(name).window, text);
  }
  void Run(const std::string& commandName) { RunCommand(commandName, false); }
  std::vector<RecordedCall> Navigations() { return browser.Log().Named("Navigate2"); }
  std::vector<std::string> ListOf(const std::string& name) {
    std::vector<std::string> entries;
    WindowId w = Field(name).window;
    for (int i = 0; i < control.ComboGetCount(w); ++i)
      entries.push_back(control.ComboGetString(w, i));
    return entries;
  }

  HeadlessToolbar control;
  ScriptedBrowser browser;
  std::shared_ptr<MemoryDocument> page;
  RecordingServices services;
  std::vector<std::string> refreshedPages;
  int popupRefreshes = 0;

 private:
  void Build() {
    for (auto& field : fields_) control.DestroyChild(field.window);
    fields_.clear();
    AnyFile lookup;
    EXPECT_TRUE(tbdl::LoadToolbarDefinitionText(model_, definition_, lookup));
    for (const auto& item : model_->Items()) {
      auto* combo = dynamic_cast<tbdl::TBDLComboItem*>(item.get());
      if (combo == nullptr) continue;
      ChildSpec spec;
      spec.kind = combo->Type() == "edit" ? ChildKind::kEdit : ChildKind::kComboBox;
      WindowId window = control.CreateChild(spec);
      fields_.push_back(commands::MakeInputField(*combo, &control, window));
    }
    for (auto& field : fields_) commands::FillInputField(*this, field);
  }

  std::string definition_;
  std::unique_ptr<tbdl::TBDLToolbar> model_;
  std::vector<commands::InputField> fields_;
};

// Every test gets an empty registry and recorded message boxes.
class CommandTest : public ::testing::Test {
 protected:
  MemoryRegistry registry;
  MessageRecorder messages;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
};

}  // namespace qv::testing
