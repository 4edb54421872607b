// The pop-up blocker's decision for one NewWindow2 with a whitelist of
// 1,000 hosts in the shared block: the site key, the look-ups in both
// lists under the shared mutex, and for a blocked window the count and its
// store (settings in memory, no beep).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "formats/registry_tree.h"
#include "host/shared_data.h"
#include "platform/services.h"
#include "popup/blocker.h"

namespace {

using namespace qv;

struct Blocker {
  Blocker() {
    const std::string unique =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    block = "qvbench-popup-" + unique;
    mutex = "qvbench-popuplock-" + unique;
    shared = SharedData::Open(block, mutex);
    std::string list = "!";
    char host[16];
    for (int i = 0; i < 1000; ++i) {
      std::snprintf(host, sizeof host, "h%03d.io", i);
      list += std::string(host) + "!";
    }
    shared->SetWhitelist(list);
    BlockerSettings s = shared->GetBlockerSettings();
    s.enablePopupBlocker = 1;
    s.beepOnPopup = 0;
    s.showPopupPageStatus = 0;
    shared->SetBlockerSettings(s);
    system = std::make_unique<PopupBlockerSystem>(*shared, environment);
    window = std::make_unique<PopupBlocker>(*system, nullptr);
  }
  ~Blocker() {
    window.reset();
    system.reset();
    shared.reset();
    GetSharedMemory().RemoveNames(block, mutex);
  }
  std::string block, mutex;
  TreeRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  std::unique_ptr<SharedData> shared;
  QuietEnvironment environment;
  std::unique_ptr<PopupBlockerSystem> system;
  std::unique_ptr<PopupBlocker> window;
};

// The last host of the list: the whole list is searched, the window allowed.
void BM_NewWindowListedHost(benchmark::State& state) {
  Blocker b;
  for (auto _ : state)
    benchmark::DoNotOptimize(b.window->OnNewWindow2("http://h999.io/page/with/a/path?q=1"));
}
BENCHMARK(BM_NewWindowListedHost);

// A host in no list: blocked, counted and stored.
void BM_NewWindowBlocked(benchmark::State& state) {
  Blocker b;
  for (auto _ : state)
    benchmark::DoNotOptimize(b.window->OnNewWindow2("http://ads.example.test/pop?id=7"));
}
BENCHMARK(BM_NewWindowBlocked);

}  // namespace

BENCHMARK_MAIN();
