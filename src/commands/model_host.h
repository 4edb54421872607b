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

// The command at commandIndex: Reset when its button is shown pressed,
// otherwise Execute with an empty parameter. An index that names no command
// does nothing. The command may be destroyed by what it does ("Update"
// rebuilds the model): nothing of it is used after it ran.
void ExecuteCommand(ModelCommandHost& host, int commandIndex, bool pressed);
void ExecuteModelCommand(CommandHost& host, const tbdl::TBDLCommand& command,
                         const std::string& parameter);
void ResetModelCommand(CommandHost& host, const tbdl::TBDLCommand& command);

// The input field of a COMBO item whose control is window.
InputField MakeInputField(const tbdl::TBDLComboItem& item, ChildControls* control, WindowId window);

}  // namespace qv::commands
