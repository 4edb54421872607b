// Running the model's commands: the command host's model side over a loaded
// toolbar model, and the dispatch from a command object to its behaviour.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "commands/command_host.h"

namespace qv::tbdl {
class TBDLToolbar;
class TBDLCommand;
class TBDLComboItem;
}  // namespace qv::tbdl

namespace qv::commands {

// A command host whose items and commands are those of a toolbar model.
class ModelCommandHost : public CommandHost {
 public:
  // The loaded model; null while there is none.
  virtual tbdl::TBDLToolbar* Model() = 0;

  int ItemCount() override;
  std::string ItemCommandName(int index) override;
  bool HasCommand(const std::string& name) override;
  bool IsSearchCommand(const std::string& name) override;
  void RunCommand(const std::string& name, bool pressed) override;
};

// The one route by which a command of the model runs, for clicks, menu
// choices and searches alike: Reset when its button is shown pressed (a
// toggle button being released), otherwise Execute with parameter. The
// command may be destroyed by what it does ("Update" rebuilds the model):
// nothing of it is used after it ran.
void RunModelCommand(CommandHost& host, const tbdl::TBDLCommand& command, bool pressed,
                     const std::string& parameter);
// RunModelCommand for the command at commandIndex with an empty parameter;
// an index that names no command does nothing.
void ExecuteCommand(ModelCommandHost& host, int commandIndex, bool pressed);

// The input field of a COMBO item whose control is window.
InputField MakeInputField(const tbdl::TBDLComboItem& item, ChildControls* control, WindowId window);

}  // namespace qv::commands
