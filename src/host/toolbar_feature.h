// A subsystem attached to the toolbar window. A feature declares the window
// timers it owns (each with its period and its work), may take menu
// commands whose identifiers name it (the mail web fronts), may give the
// look of INDICATOR items of its type, and hears of the toolbar's build,
// its periodic timers, its stop and the browser's events. The toolbar
// window dispatches to its features in the order they were attached; it
// knows none of them by name.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tbdl/identifiers.h"

namespace qv::tbdl {
class TBDLToolbar;
class TBDLIndicatorItem;
}  // namespace qv::tbdl

namespace qv {

// One window timer of a feature. Period 0: never set as a window timer,
// only run by name (the forced mail check).
struct FeatureTimer {
  unsigned id = 0;
  unsigned periodMs = 0;
  std::function<void()> onTick;
};

// The caption and image an INDICATOR item shows.
struct IndicatorLook {
  std::string text;
  int image = 0;
};

class ToolbarFeature {
 public:
  virtual ~ToolbarFeature() = default;

  // The timers the feature owns; read once, when it is attached.
  virtual std::vector<FeatureTimer> Timers() { return {}; }

  // The periodic timers are (re)started: at every build, after a failed
  // one, and after the options dialog closed. model is null once stopped.
  virtual void OnStartPeriodicTimers(const tbdl::TBDLToolbar* /*model*/) {}
  // Every item of a new build has been set up (its buttons exist).
  virtual void OnItemsSetUp(tbdl::TBDLToolbar& /*model*/) {}
  // The toolbar stops; its timers are already killed.
  virtual void OnStop() {}
  // A browser event (DISPID) while a model is loaded.
  virtual void OnBrowserEvent(int /*dispid*/) {}

  // A menu command whose identifier names something else than a menu
  // entry: true when the feature owns it (and ran it).
  virtual bool RunMenuCommand(const CommandTarget& /*target*/) { return false; }
  // The status text of such an entry; none when the feature does not own it.
  virtual std::optional<std::string> MenuHint(const CommandTarget& /*target*/) {
    return std::nullopt;
  }

  // The look of an INDICATOR item whose type the feature shows; none for
  // other types. May change the item's state, blink count and hint.
  virtual std::optional<IndicatorLook> LookOf(tbdl::TBDLIndicatorItem& /*item*/) {
    return std::nullopt;
  }
};

}  // namespace qv
