// quorvane-tbdl run FILE [--registry REGFILE] [--page URL] [--type NAME=TEXT]...
// ACTION...: builds the toolbar of a definition headlessly with a scripted
// browser showing URL, types texts into input items, performs the actions in
// order and prints what resulted: every browser call, every message box,
// every process start, proxy change and custom component call, and the
// settings that changed. Nothing is started or changed outside the tool:
// processes, proxy options and components are only recorded. With
// --registry the settings live in REGFILE (the registry file format) and
// persist between runs, as they do between browser windows; without it they
// start empty and are dropped.
//
// Actions: --click ID (a button identifier, 1024 + item index), --menu ID
// (a menu command identifier), --enter NAME (Enter in the input item NAME),
// --choose NAME=INDEX (list entry INDEX chosen), --drop NAME=TEXT (text
// dropped on the item), --command NAME (the command NAME runs).
//
// Browser events, which reach the pop-up blocker as a browser window's
// reach its band: --navigate URL (BeforeNavigate2, NavigateComplete2 and
// DocumentComplete; the page becomes current, except for a javascript: URL,
// which fires BeforeNavigate2 only), --mousedown PATH (a mouse button
// pressed on the element of tag path PATH, "BODY/A/IMG"), --hold KEY and
// --release KEY (SHIFT, CTRL or a virtual-key code, held from then on),
// --new-window (NewWindow2), --element PATH[@VALUE] (an element added to
// the current page, VALUE being an OBJECT's class id or an EMBED's source;
// an IFRAME in the path holds the rest in a frame), --ready (the page's
// ready state completes: Flash blocking), --resize (a script moves or
// resizes the browser window). Runs on one settings file share one blocker:
// its switches, whitelist and counter of blocked windows.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/history.h"
#include "host/popup_blocker_hooks.h"
#include "host/standard_features.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_hooks.h"
#include "host/toolbar_ctrl.h"
#include "platform/components.h"
#include "simulators/headless_toolbar.h"
#include "simulators/message_recorder.h"
#include "platform/proxy.h"
#include "formats/registry_tree.h"
#include "simulators/scripted_browser.h"
#include "platform/services.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/toolbar.h"
#include "tools/model_writer.h"
#include "tools/definition_files.h"
#include "tools/json_writer.h"
#include "tools/registry_file.h"
#include "tools/run_browser.h"
#ifndef _WIN32
#include "platform/posix/file_registry.h"
#endif
#include "tools/text_writer.h"
#include "tools/tool.h"

namespace qv::tools {
namespace {

constexpr unsigned kCbnEditUpdate = 6;
constexpr unsigned kCbnSelEndOk = 9;

// The real system for everything but starting programs, which it records.
class DryRunSystem : public System {
 public:
  explicit DryRunSystem(System& real, CallLog& log) : real_(real), log_(log) {}
  std::string GetModulePath() override { return real_.GetModulePath(); }
  bool StartProcess(const std::string& commandLine) override {
    log_.Add({"StartProcess", {{"commandLine", commandLine}}});
    return true;
  }
  bool GetEnvVar(const std::string& name, std::string* value) override {
    return real_.GetEnvVar(name, value);
  }
  uint32_t GetSystemColor(int index) override { return real_.GetSystemColor(index); }

 private:
  System& real_;
  CallLog& log_;
};

class RecordedProxy : public ProxySettings {
 public:
  explicit RecordedProxy(CallLog& log) : log_(log) {}
  bool SetConnectionOptions(const std::vector<ProxyOption>& options) override {
    RecordedCall call{"ChangeProxy", {}};
    for (const ProxyOption& o : options) {
      if (o.option == kPerConnFlags) call.args.emplace_back("flags", std::to_string(o.number));
      if (o.option == kPerConnProxyServer) call.args.emplace_back("server", o.text);
      if (o.option == kPerConnProxyBypass) call.args.emplace_back("bypass", o.text);
    }
    log_.Add(std::move(call));
    return true;
  }

 private:
  CallLog& log_;
};

class RecordedComponents : public ComponentHost {
 public:
  explicit RecordedComponents(CallLog& log) : log_(log) {}
  ComponentCall CallCustomCommand(const std::string& progid,
                                  const std::string& parameters) override {
    ComponentCall result = inProcess_.CallCustomCommand(progid, parameters);
    log_.Add({"CustomCommand",
              {{"progid", progid},
               {"parameters", parameters},
               {"result", result == ComponentCall::kCalled    ? "called"
                          : result == ComponentCall::kNoClass ? "no class"
                                                              : "not created"}}});
    return result;
  }

 private:
  CallLog& log_;
  InProcessComponentHost inProcess_;
};

// A setting as the output shows it: a number (REG_DWORD) or a text.
struct SettingValue {
  bool number = false;
  uint32_t dword = 0;
  std::string text;
  bool operator==(const SettingValue&) const = default;
};

// Every value of the product key and of its subkeys, by "name" or
// "subkey\name".
std::map<std::string, SettingValue> SettingsSnapshot() {
  std::map<std::string, SettingValue> values;
  Registry& registry = GetRegistry();
  auto readValues = [&](const RegKey& key, const std::string& prefix) {
    std::vector<char> name(16384);
    for (uint32_t i = 0;; ++i) {
      uint32_t chars = static_cast<uint32_t>(name.size());
      uint32_t type = 0;
      RegStatus status =
          registry.EnumValue(key.get(), i, name.data(), &chars, &type, nullptr, nullptr);
      if (status == kErrorNoMoreItems) break;
      if (status != kErrorSuccess) continue;
      std::string valueName(name.data(), chars);
      uint32_t dword = 0;
      std::string text;
      if (type == kRegDword && TryReadKeyDword(key, valueName, &dword))
        values[prefix + valueName] = {true, dword, ""};
      else if (TryReadKeyString(key, valueName, &text))
        values[prefix + valueName] = {false, 0, text};
    }
  };
  RegKey product;
  if (product.Open(registry, kHkeyCurrentUser,
                   std::string(kCompanyKeyPath) + "\\" + kProductKeyName) != kErrorSuccess)
    return values;
  readValues(product, "");
  std::vector<std::string> subkeys;
  char subkey[256];
  for (uint32_t i = 0;; ++i) {
    uint32_t chars = sizeof subkey;
    RegStatus status = registry.EnumKey(product.get(), i, subkey, &chars);
    if (status == kErrorNoMoreItems) break;
    if (status == kErrorSuccess) subkeys.emplace_back(subkey, chars);
  }
  for (const std::string& name : subkeys) {
    RegKey key;
    if (key.Open(registry, product.get(), name) == kErrorSuccess) readValues(key, name + "\\");
  }
  return values;
}

struct Action {
  std::string kind;  // "--click", ...
  std::string arg;
};

bool SplitAssignment(const std::string& text, std::string* name, std::string* value) {
  size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  *name = text.substr(0, eq);
  *value = text.substr(eq + 1);
  return true;
}

bool ParseNumber(const std::string& text, long* value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = std::stol(text);
  return true;
}

// The index of the COMBO item named name, or -1.
int InputItemIndex(TBWToolBarCtrl& toolbar, const std::string& name) {
  tbdl::TBDLToolbar* model = toolbar.Model();
  if (!model) return -1;
  for (const auto& item : model->Items())
    if (item->GetKind() == tbdl::kItemCombo && item->GetName() == name) return item->Index();
  return -1;
}

}  // namespace

int RunRun(ToolContext& context) {
  std::string file, registryFile, page;
  std::vector<std::pair<std::string, std::string>> typed;
  std::vector<Action> actions;
  const auto& args = context.args;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--registry" && hasValue) {
      registryFile = args[++i];
    } else if (a == "--page" && hasValue) {
      page = args[++i];
    } else if (a == "--type" && hasValue) {
      std::string name, text;
      if (!SplitAssignment(args[++i], &name, &text)) return UsageError(context, "run");
      typed.emplace_back(name, text);
    } else if ((a == "--click" || a == "--menu" || a == "--enter" || a == "--choose" ||
                a == "--drop" || a == "--command" || a == "--navigate" || a == "--mousedown" ||
                a == "--hold" || a == "--release" || a == "--element") &&
               hasValue) {
      actions.push_back({a, args[++i]});
    } else if (a == "--new-window" || a == "--ready" || a == "--resize") {
      actions.push_back({a, ""});
    } else if (file.empty() && a.rfind("--", 0) != 0) {
      file = a;
    } else {
      return UsageError(context, "run");
    }
  }
  if (file.empty() || actions.empty()) return UsageError(context, "run");

  // The first run with a REGFILE creates it. Natively the file is read and
  // written on every change under a file lock, so that runs at the same
  // time on one file, like browser windows, lose none of each other's
  // changes.
  RegistryFile registry;
  if (!registryFile.empty()) {
    if (!registry.Load(registryFile, true, context.err)) return kExitFailed;
    registry.PrintIssues(context.err);
  }
#ifndef _WIN32
  std::unique_ptr<FileRegistry> shared;
  if (!registryFile.empty()) shared = std::make_unique<FileRegistry>(registryFile);
  Registry& settings = shared ? static_cast<Registry&>(*shared) : registry.registry();
#else
  Registry& settings = registry.registry();
#endif
  ScopedService<Registry> useRegistry(&PlatformServices::registry, &settings);
  MessageRecorder recorder;
  ScopedService<UserMessages> useMessages(&PlatformServices::messages, &recorder);
  ScriptedBrowser browser;
  CallLog& log = browser.Log();
  DryRunSystem system(GetSystem(), log);
  ScopedService<System> useSystem(&PlatformServices::system, &system);
  RecordedProxy proxy(log);
  ScopedService<ProxySettings> useProxy(&PlatformServices::proxy, &proxy);
  RecordedComponents components(log);
  ScopedService<ComponentHost> useComponents(&PlatformServices::components, &components);
  if (!page.empty()) browser.ShowPage(page);

  const std::map<std::string, SettingValue> before = SettingsSnapshot();
  std::string blockerError;
  std::unique_ptr<BrowserEvents> events = BrowserEvents::Open(browser, registryFile, &blockerError);
  if (!events) {
    context.err << "quorvane-tbdl: no popup blocker: " << blockerError << "\n";
    return kExitFailed;
  }
  DefinitionFolderLookup lookup(file);
  HeadlessToolbar control;
  TBWToolBarCtrl toolbar(control, lookup);
  AttachStandardFeatures(toolbar);
  toolbar.CommandHost().SetBrowser(&browser);
  PopupBlockerHooks popupHooks(events->Blocker(), toolbar);
  popupHooks.Attach();
  bool ok = toolbar.BuildToolbar(true);

  auto windowOf = [&](const std::string& name, int* index) -> WindowId {
    *index = InputItemIndex(toolbar, name);
    WindowId window = *index < 0 ? 0 : toolbar.ItemWindow(*index);
    if (window == 0) {
      context.err << "quorvane-tbdl: no input item named " << name << "\n";
      ok = false;
    }
    return window;
  };

  for (const auto& [name, text] : typed) {
    int index = -1;
    if (WindowId window = windowOf(name, &index)) {
      control.SetChildText(window, text);
      // Typed as a whole: no completion changes it.
      toolbar.Keyboard().SetAutoCompleteSuspended(true);
      toolbar.OnComboNotification(window, kCbnEditUpdate);
      toolbar.Keyboard().SetAutoCompleteSuspended(false);
    }
  }

  for (const Action& action : actions) {
    long number = 0;
    std::string name, value;
    int index = -1;
    if (action.kind == "--click" || action.kind == "--menu") {
      if (!ParseNumber(action.arg, &number)) return UsageError(context, "run");
      if (action.kind == "--click")
        toolbar.OnButtonClick(static_cast<int>(number));
      else
        toolbar.OnMenuCommand(static_cast<unsigned>(number));
    } else if (action.kind == "--command") {
      if (toolbar.CommandHost().HasCommand(action.arg)) {
        toolbar.CommandHost().RunCommand(action.arg, false);
      } else {
        context.err << "quorvane-tbdl: no command named " << action.arg << "\n";
        ok = false;
      }
    } else if (action.kind == "--enter") {
      if (windowOf(action.arg, &index))
        toolbar.Hooks().search->RunComboSearch(
            toolbar, static_cast<tbdl::TBDLComboItem&>(*toolbar.ItemAt(index)));
    } else if (action.kind == "--choose") {
      if (!SplitAssignment(action.arg, &name, &value) || !ParseNumber(value, &number))
        return UsageError(context, "run");
      if (WindowId window = windowOf(name, &index)) {
        control.ComboSetCurSel(window, static_cast<int>(number));
        toolbar.OnComboNotification(window, kCbnSelEndOk);
      }
    } else if (action.kind == "--navigate") {
      events->Navigate(action.arg);
    } else if (action.kind == "--mousedown") {
      events->MouseDown(action.arg);
    } else if (action.kind == "--hold" || action.kind == "--release") {
      std::string why;
      if (!events->Hold(action.arg, action.kind == "--hold", &why)) {
        context.err << "quorvane-tbdl: " << why << "\n";
        return UsageError(context, "run");
      }
    } else if (action.kind == "--new-window") {
      events->NewWindow();
    } else if (action.kind == "--element") {
      events->Element(action.arg);
    } else if (action.kind == "--ready") {
      events->ReadyStateComplete();
    } else if (action.kind == "--resize") {
      events->Resize();
    } else if (action.kind == "--drop") {
      if (!SplitAssignment(action.arg, &name, &value)) return UsageError(context, "run");
      windowOf(name, &index);
      for (InputControl& input : toolbar.Keyboard().Controls()) {
        if (input.ItemIndex() != index) continue;
        uint32_t effect = 0;
        input.DragEnter(true);
        input.Drop(value, &effect);
      }
    }
  }

  const std::map<std::string, SettingValue> after = SettingsSnapshot();
  JsonWriter json;
  TextWriter text;
  StructuredWriter& w = context.json ? static_cast<StructuredWriter&>(json) : text;
  w.BeginObject().BoolField("ok", ok).Key("calls").BeginArray();
  for (const RecordedCall& call : log.calls) {
    w.BeginObject().StringField("call", call.call);
    for (const auto& [key, argument] : call.args) w.StringField(key, argument);
    w.EndObject();
  }
  w.EndArray().Key("messages").BeginArray();
  WriteMessageBoxes(w, recorder.messages());
  w.EndArray();
  events->Write(w);
  w.Key("settings").BeginObject();
  for (const auto& [name, value] : after) {
    auto old = before.find(name);
    if (old != before.end() && old->second == value) continue;
    if (value.number)
      w.IntField(name, value.dword);
    else
      w.StringField(name, value.text);
  }
  for (const auto& [name, value] : before)
    if (!after.count(name)) w.NullField(name);
  w.EndObject().EndObject();
  context.out << w.Text();
#ifdef _WIN32
  if (!registryFile.empty() && !registry.Save(context.err)) return kExitFailed;
#else
  if (shared && shared->FlushKey(kHkeyCurrentUser) != kErrorSuccess) {
    context.err << "quorvane-tbdl: cannot write " << registryFile << "\n";
    return kExitFailed;
  }
#endif
  return ok ? kExitOk : kExitFailed;
}

}  // namespace qv::tools
