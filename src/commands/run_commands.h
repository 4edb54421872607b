// What each command kind does when it runs.
#pragma once

#include <string>
#include <vector>

#include "platform/proxy.h"

namespace qv::commands {

class CommandHost;

inline constexpr char kAlertCaption[] = "Ostrivel Toolbar Alert";
inline constexpr char kFormHeaders[] = "Content-Type: application/x-www-form-urlencoded\r\n";
// The band object's class, as HideToolbar names it to the browser.
inline constexpr char kBandClassId[] = "{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}";

struct GoToUrlProperties {
  std::string url;
  std::string post;
  std::string target;
  std::string options;
  std::string newWindow;
};

void ExecuteGoToUrl(CommandHost& host, const GoToUrlProperties& command,
                    const std::string& parameter);
// The built-in service named type (exactly) with its argument; an unknown
// type does nothing, and only "Highlight" has a reset.
void ExecuteService(CommandHost& host, const std::string& type, const std::string& caption);
void ResetService(CommandHost& host, const std::string& type);
void ExecuteShell(const std::string& shellcmd, const std::string& failmsg);
void ExecuteCustom(const std::string& progid, const std::string& parameters,
                   const std::string& failmsg);

// The command line of the system's default mail program without its
// argument placeholder; empty when none is registered.
std::string DefaultMailProgram();
// The options that "ChangeProxy" with caption sets.
std::vector<ProxyOption> ProxyOptionsFor(const std::string& caption);

}  // namespace qv::commands
