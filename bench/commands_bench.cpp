// Search template expansion and history storing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/expansion.h"
#include "commands/history.h"
#include "simulators/headless_toolbar.h"
#include "platform/posix/file_registry.h"
#include "formats/registry_tree.h"
#include "simulators/scripted_browser.h"
#include "platform/services.h"
#include "settings/settings.h"

namespace {

using namespace qv;
using namespace qv::commands;

class BenchHost : public CommandHost {
 public:
  Browser* GetBrowser() override { return &browser; }
  ToolbarButtons* GetButtons() override { return &control; }
  std::vector<InputField>& InputFields() override { return fields; }
  int ItemCount() override { return 0; }
  std::string ItemCommandName(int) override { return ""; }
  bool HasCommand(const std::string&) override { return false; }
  bool IsSearchCommand(const std::string&) override { return false; }
  void RunCommand(const std::string&, bool) override {}
  void RefreshWebPageItems(const std::string&) override {}
  void RefreshPopupIndicator() override {}
  ToolbarServices& Services() override { return services; }

  InputField& Add(const std::string& name, bool edit, std::vector<ComboChoice> choices = {}) {
    ChildSpec spec;
    spec.kind = edit ? ChildKind::kEdit : ChildKind::kComboBox;
    InputField field;
    field.name = name;
    field.isEdit = edit;
    field.choices = std::move(choices);
    field.maxHistLines = 50;
    field.control = &control;
    field.window = control.CreateChild(spec);
    fields.push_back(field);
    return fields.back();
  }

  HeadlessToolbar control;
  ScriptedBrowser browser;
  ToolbarServices services;
  std::vector<InputField> fields;
};

// Three input items (a typed search, a chooser and a language field), the
// page's address and domain, and one client-side property.
void BM_ExpandSearchTemplate(benchmark::State& state) {
  TreeRegistry registry;
  ScopedService<Registry> useRegistry(&PlatformServices::registry, &registry);
  SetSettingString("CSP_country", "de");
  BenchHost host;
  host.browser.ShowPage("http://www.example.org/news/today.html?id=42&lang=en");
  host.control.SetChildText(host.Add("q", true).window, "cheap flights to berlin");
  InputField& engine = host.Add("engine", false, {{"Web", "web"}, {"Images", "img"}});
  for (size_t i = 0; i < engine.choices.size(); ++i) {
    host.control.ComboAddString(engine.window, engine.choices[i].DisplayText());
    host.control.ComboSetItemData(engine.window, static_cast<int>(i), static_cast<intptr_t>(i + 1));
  }
  host.control.ComboSetCurSel(engine.window, 1);
  host.control.SetChildText(host.Add("lang", true).window, "en");
  const std::string url =
      "http://search.example.com/find?q=%q&in=%engine&hl=%lang&ref=%url&site=%domain"
      "&cc=%csp(country)";
  for (auto _ : state) {
    ExpandedTemplates result = ExpandCommandTemplates(host, url, "", "");
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_ExpandSearchTemplate);

// Storing a value at the top of a full 50-entry history, on the native
// file-backed registry.
void BM_StoreValueFullHistory(benchmark::State& state) {
  char dir[] = "/tmp/qv-commands-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::string path = std::string(dir) + "/registry.reg";
  {
    FileRegistry registry(path);
    ScopedService<Registry> useRegistry(&PlatformServices::registry, &registry);
    BenchHost host;
    InputField& field = host.Add("q", false);
    for (int i = 0; i < 50; ++i)
      StoreValue(host, field, "search words number " + std::to_string(i));
    int n = 0;
    for (auto _ : state) StoreValue(host, field, "search words number " + std::to_string(n++ % 60));
  }
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
  std::string cleanup = std::string("rm -rf ") + dir;
  if (std::system(cleanup.c_str()) != 0) state.SkipWithError("cleanup failed");
}
BENCHMARK(BM_StoreValueFullHistory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
