// The COMMANDS section and its four command kinds: what the definition
// says about each command. Running one (Execute, or Reset for a pressed
// toggle button) is the commands layer's: commands::RunModelCommand is the
// one place that does it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tbdl/part.h"

namespace qv::tbdl {

enum CommandKind : int32_t {
  kCommandService = 0,
  kCommandGoToUrl = 1,
  kCommandShellExecute = 2,
  kCommandCustom = 3,
};

class TBDLCommand : public TBDLPart {
 public:
  // Gets what the command needs before it can run; every kind has all it
  // needs in the definition.
  virtual bool PrepareResources() { return true; }
  // Whether the command takes the typed search words.
  virtual bool IsSearchCommand() const { return false; }
  virtual std::unique_ptr<TBDLCommand> Clone() const = 0;
  virtual CommandKind GetKind() const = 0;
  // The part keyword that declares this kind ("GOTOURL", ...).
  virtual std::string_view KindKeyword() const = 0;

  const std::string& Name() const { return name_; }

 protected:
  std::string name_;
};

class TBDLGoToUrlCommand : public TBDLCommand {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  // True when the url or post template holds a percent sign.
  bool IsSearchCommand() const override;
  std::unique_ptr<TBDLCommand> Clone() const override;
  CommandKind GetKind() const override { return kCommandGoToUrl; }
  std::string_view KindKeyword() const override { return "GOTOURL"; }

  const std::string& Url() const { return url_; }
  const std::string& Post() const { return post_; }
  const std::string& Target() const { return target_; }
  const std::string& Options() const { return options_; }
  const std::string& NewWindow() const { return newwindow_; }

 private:
  std::string url_;
  std::string post_;
  std::string target_;
  std::string options_;
  std::string newwindow_;
};

class TBDLServiceCommand : public TBDLCommand {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  std::unique_ptr<TBDLCommand> Clone() const override;
  CommandKind GetKind() const override { return kCommandService; }
  std::string_view KindKeyword() const override { return "SERVICECOMMAND"; }

  // The service to run and its argument.
  const std::string& Type() const { return type_; }
  const std::string& Caption() const { return caption_; }

 private:
  std::string type_;
  std::string caption_;
};

class TBDLShellExecuteCommand : public TBDLCommand {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  std::unique_ptr<TBDLCommand> Clone() const override;
  CommandKind GetKind() const override { return kCommandShellExecute; }
  std::string_view KindKeyword() const override { return "SHELLEXECUTE"; }

  const std::string& ShellCmd() const { return shellcmd_; }
  const std::string& FailMsg() const { return failmsg_; }

 private:
  std::string shellcmd_;
  std::string failmsg_;
};

class TBDLCustomCommand : public TBDLCommand {
 public:
  bool SetProperty(Keyword name, std::string_view value) override;
  std::unique_ptr<TBDLCommand> Clone() const override;
  CommandKind GetKind() const override { return kCommandCustom; }
  std::string_view KindKeyword() const override { return "CUSTOMCOMMAND"; }

  const std::string& ProgId() const { return progid_; }
  const std::string& Parameters() const { return parameters_; }
  const std::string& FailMsg() const { return failmsg_; }

 private:
  std::string progid_;
  std::string parameters_;
  std::string failmsg_;
};

// Every command of every COMMANDS part, in file order.
class TBDLCommandsSection : public TBDLPart {
 public:
  bool AddPart(TBDLNode& child) override;

  const std::vector<std::unique_ptr<TBDLCommand>>& Commands() const { return commands_; }
  // Index of the first command named exactly name, or -1.
  int32_t FindCommand(std::string_view name) const;
  // Asks every command to prepare its resources; false if one could not.
  bool PrepareResources();

 private:
  std::vector<std::unique_ptr<TBDLCommand>> commands_;
};

}  // namespace qv::tbdl
