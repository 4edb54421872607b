// Two browser windows of one process, each with its toolbar on its own
// thread, load their definitions and search at the same time. Each window
// must see only its own page and its own words: the load state and the page
// address of one thread never leak into the other.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/standard_features.h"
#include "host/toolbar_command_host.h"
#include "host/toolbar_ctrl.h"
#include "install/resource_lookup.h"
#include "simulators/headless_toolbar.h"
#include "simulators/scripted_browser.h"
#include "support/memory_registry.h"
#include "support/temp_dir.h"
#include "toolbar_fixture.h"

namespace qv::test {
namespace {

constexpr int kRounds = 200;

// One browser window: builds a fresh toolbar in every round, as a new window
// would, and searches from its edit field. Returns what went wrong.
std::vector<std::string> RunWindow(const std::string& name) {
  std::vector<std::string> problems;
  TempDir dir;
  WriteFile(dir.File("tbil.bmp"), BitmapBytes(32, 16));
  WriteFile(dir.File("tbhotil.bmp"), BitmapBytes(32, 16));
  // A long menu makes each load take long enough for the threads to overlap.
  std::string menu;
  for (int i = 0; i < 200; ++i)
    menu += "MENUITEM { caption = \"" + name + std::to_string(i) + "\" }\n";
  WriteFile(dir.File("quorvane.tbd"),
            "TBW_Toolbar {\n"
            "  COMBO { name = \"q\" type = \"edit\" command = \"find\" }\n"
            "  BUTTON { caption = \"" +
                name + "\" MENU { type = \"Single\"\n" + menu +
                "} }\n"
                "  COMMANDS { GOTOURL { name = \"find\" url = \"http://" +
                name + ".test/?q=%q&from=%url\" } }\n}\n");
  LocalResourceLookup lookup(dir.path());
  HeadlessToolbar control;
  ScriptedBrowser browser;
  browser.ShowPage("http://" + name + "-page.test/");

  for (int round = 0; round < kRounds; ++round) {
    TBWToolBarCtrl toolbar(control, lookup);
    AttachStandardFeatures(toolbar);
    toolbar.CommandHost().SetBrowser(&browser);
    if (!toolbar.BuildToolbar(true)) {
      problems.push_back(name + ": the load failed in round " + std::to_string(round));
      continue;
    }
    if (toolbar.ItemAt(1) == nullptr || toolbar.ItemAt(1)->GetCaption() != name)
      problems.push_back(name + ": loaded another window's definition");
    const WindowId edit = toolbar.Keyboard().Controls().at(0).EditWindow();
    const std::string words = name + " " + std::to_string(round);
    control.SetChildText(edit, words);
    control.SetFocus(edit);
    toolbar.TranslateAccelerator(Message{edit, kWmKeyup, kVkReturn, 0});
    const auto calls = browser.Log().Named("Navigate2");
    const std::string expected = "http://" + name + ".test/?q=" + name + "+" +
                                 std::to_string(round) + "&from=http%3A%2F%2F" + name +
                                 "-page.test%2F";
    if (calls.empty() || calls.back().Arg("url").value_or("") != expected)
      problems.push_back(name + ": round " + std::to_string(round) + " went to " +
                         (calls.empty() ? "nowhere" : calls.back().Arg("url").value_or("")));
  }
  return problems;
}

TEST(TwoToolbarsOnTwoThreads, EachLoadsAndSearchesItsOwn) {
  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  SilentMessages messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};

  std::vector<std::string> first, second;
  std::thread a([&] { first = RunWindow("alpha"); });
  std::thread b([&] { second = RunWindow("beta"); });
  a.join();
  b.join();
  EXPECT_EQ(first, std::vector<std::string>{});
  EXPECT_EQ(second, std::vector<std::string>{});
  EXPECT_EQ(messages.shown, std::vector<std::string>{});
}

}  // namespace
}  // namespace qv::test
