#include "tbdl/commands.h"

#include "tbdl/node.h"

namespace qv::tbdl {

bool TBDLGoToUrlCommand::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(name_, Keyword::name, name, value) ||
         SetTextProperty(url_, Keyword::url, name, value) ||
         SetTextProperty(post_, Keyword::post, name, value) ||
         SetTextProperty(target_, Keyword::target, name, value) ||
         SetTextProperty(options_, Keyword::options, name, value) ||
         SetTextProperty(newwindow_, Keyword::newwindow, name, value) ||
         ReportInvalidProperty(name, "TBDL GoToURL");
}

bool TBDLGoToUrlCommand::IsSearchCommand() const {
  return url_.find('%') != std::string::npos || post_.find('%') != std::string::npos;
}

std::unique_ptr<TBDLCommand> TBDLGoToUrlCommand::Clone() const {
  return std::make_unique<TBDLGoToUrlCommand>(*this);
}

bool TBDLServiceCommand::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(name_, Keyword::name, name, value) ||
         SetTextProperty(type_, Keyword::type, name, value) ||
         SetTextProperty(caption_, Keyword::caption, name, value) ||
         ReportInvalidProperty(name, "TBDL Service Command");
}

std::unique_ptr<TBDLCommand> TBDLServiceCommand::Clone() const {
  return std::make_unique<TBDLServiceCommand>(*this);
}

bool TBDLShellExecuteCommand::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(name_, Keyword::name, name, value) ||
         SetTextProperty(shellcmd_, Keyword::shellcmd, name, value) ||
         SetTextProperty(failmsg_, Keyword::failmsg, name, value) ||
         ReportInvalidProperty(name, "TBDL shell execute command");
}

std::unique_ptr<TBDLCommand> TBDLShellExecuteCommand::Clone() const {
  return std::make_unique<TBDLShellExecuteCommand>(*this);
}

bool TBDLCustomCommand::SetProperty(Keyword name, std::string_view value) {
  return SetTextProperty(name_, Keyword::name, name, value) ||
         SetTextProperty(progid_, Keyword::progid, name, value) ||
         SetTextProperty(parameters_, Keyword::parameters, name, value) ||
         SetTextProperty(failmsg_, Keyword::failmsg, name, value) ||
         ReportInvalidProperty(name, "TBDL shell execute command");
}

std::unique_ptr<TBDLCommand> TBDLCustomCommand::Clone() const {
  return std::make_unique<TBDLCustomCommand>(*this);
}

bool TBDLCommandsSection::AddPart(TBDLNode& child) {
  std::unique_ptr<TBDLCommand> command;
  switch (child.keyword) {
    case Keyword::GOTOURL:
      command = std::make_unique<TBDLGoToUrlCommand>();
      break;
    case Keyword::SHELLEXECUTE:
      command = std::make_unique<TBDLShellExecuteCommand>();
      break;
    case Keyword::SERVICECOMMAND:
      command = std::make_unique<TBDLServiceCommand>();
      break;
    case Keyword::CUSTOMCOMMAND:
      command = std::make_unique<TBDLCustomCommand>();
      break;
    default:
      ReportLoadProblem("Invalid part declared in COMMANDS section!", "TBDLLoad");
      return false;
  }
  commands_.push_back(std::move(command));
  commands_.back()->Load(child);
  return true;
}

int32_t TBDLCommandsSection::FindCommand(std::string_view name) const {
  for (size_t i = 0; i < commands_.size(); ++i) {
    if (commands_[i]->Name() == name) return static_cast<int32_t>(i);
  }
  return -1;
}

bool TBDLCommandsSection::PrepareResources() {
  bool ok = true;
  for (auto& command : commands_) ok = command->PrepareResources() && ok;
  return ok;
}

}  // namespace qv::tbdl
