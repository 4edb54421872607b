// The options sheet as a service of one toolbar window: the sheet's rules
// (options/) over this toolbar's model, the shared blocker state and a UI;
// afterwards the toolbar's items update and the page's status text is
// emptied. Services it does not offer go on to next.
#pragma once

#include <string>

#include "commands/toolbar_services.h"
#include "options/options_sheet.h"

namespace qv {

class BlockerState;
class TBWToolBarCtrl;

class OptionsServices : public commands::ToolbarServices {
 public:
  OptionsServices(TBWToolBarCtrl& toolbar, BlockerState* blocker, options::OptionsUi& ui,
                  std::string optionsMutexName, std::string sharedDataMutexName)
      : toolbar_(toolbar),
        blocker_(blocker),
        ui_(ui),
        optionsMutexName_(std::move(optionsMutexName)),
        sharedDataMutexName_(std::move(sharedDataMutexName)) {}

  // The toolbar re-arms its periodic timers after this returns.
  void OpenOptionsPage(int page) override;
  options::OptionsResult LastResult() const { return last_; }

 private:
  TBWToolBarCtrl& toolbar_;
  BlockerState* blocker_;
  options::OptionsUi& ui_;
  std::string optionsMutexName_;
  std::string sharedDataMutexName_;
  options::OptionsResult last_ = options::OptionsResult::kCancelled;
};

}  // namespace qv
