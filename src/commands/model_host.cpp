#include "commands/model_host.h"

#include "commands/run_commands.h"
#include "tbdl/combo_webpage.h"
#include "tbdl/commands.h"
#include "tbdl/toolbar.h"

namespace qv::commands {

int ModelCommandHost::ItemCount() {
  tbdl::TBDLToolbar* model = Model();
  return model ? static_cast<int>(model->Items().size()) : 0;
}

std::string ModelCommandHost::ItemCommandName(int index) {
  tbdl::TBDLToolbar* model = Model();
  tbdl::TBDLItem* item = model ? model->Item(index) : nullptr;
  return item ? item->Command() : std::string();
}

bool ModelCommandHost::HasCommand(const std::string& name) {
  tbdl::TBDLToolbar* model = Model();
  return model && model->FindCommand(name) >= 0;
}

bool ModelCommandHost::IsSearchCommand(const std::string& name) {
  tbdl::TBDLToolbar* model = Model();
  tbdl::TBDLCommand* command = model ? model->Command(model->FindCommand(name)) : nullptr;
  return command && command->IsSearchCommand();
}

void ModelCommandHost::RunCommand(const std::string& name, bool pressed) {
  tbdl::TBDLToolbar* model = Model();
  if (model) ExecuteCommand(*this, model->FindCommand(name), pressed);
}

void ExecuteCommand(ModelCommandHost& host, int commandIndex, bool pressed) {
  tbdl::TBDLToolbar* model = host.Model();
  tbdl::TBDLCommand* command = model ? model->Command(commandIndex) : nullptr;
  if (command != nullptr) RunModelCommand(host, *command, pressed, "");
}

namespace {

void ExecuteModelCommand(CommandHost& host, const tbdl::TBDLCommand& command,
                         const std::string& parameter) {
  switch (command.GetKind()) {
    case tbdl::kCommandGoToUrl: {
      const auto& c = static_cast<const tbdl::TBDLGoToUrlCommand&>(command);
      ExecuteGoToUrl(host, {c.Url(), c.Post(), c.Target(), c.Options(), c.NewWindow()}, parameter);
      break;
    }
    case tbdl::kCommandService: {
      const auto& c = static_cast<const tbdl::TBDLServiceCommand&>(command);
      ExecuteService(host, c.Type(), c.Caption());
      break;
    }
    case tbdl::kCommandShellExecute: {
      const auto& c = static_cast<const tbdl::TBDLShellExecuteCommand&>(command);
      ExecuteShell(c.ShellCmd(), c.FailMsg());
      break;
    }
    case tbdl::kCommandCustom: {
      const auto& c = static_cast<const tbdl::TBDLCustomCommand&>(command);
      ExecuteCustom(c.ProgId(), c.Parameters(), c.FailMsg());
      break;
    }
  }
}

void ResetModelCommand(CommandHost& host, const tbdl::TBDLCommand& command) {
  if (command.GetKind() == tbdl::kCommandService)
    ResetService(host, static_cast<const tbdl::TBDLServiceCommand&>(command).Type());
}

}  // namespace

void RunModelCommand(CommandHost& host, const tbdl::TBDLCommand& command, bool pressed,
                     const std::string& parameter) {
  if (pressed)
    ResetModelCommand(host, command);
  else
    ExecuteModelCommand(host, command, parameter);
}

InputField MakeInputField(const tbdl::TBDLComboItem& item, ChildControls* control,
                          WindowId window) {
  InputField field;
  field.name = item.GetName();
  field.command = item.Command();
  field.caption = item.CaptionProperty();
  field.isEdit = item.Type() == "edit";
  for (const tbdl::TBDLComboValue& value : item.Values())
    field.choices.push_back({value.Caption(), value.Value()});
  field.maxHistLines = item.MaxHistLines();
  field.control = control;
  field.window = window;
  return field;
}

}  // namespace qv::commands
