#include "commands/run_commands.h"

#include <memory>

#include "commands/command_host.h"
#include "commands/expansion.h"
#include "commands/highlight.h"
#include "commands/history.h"
#include "commands/toolbar_services.h"
#include "install/installation.h"
#include "platform/browser.h"
#include "platform/components.h"
#include "platform/document.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/system.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

namespace qv::commands {
namespace {

void ShowFailure(const std::string& failmsg) {
  GetUserMessages().ShowMessage(failmsg, kAlertCaption, kMbOk);
}

std::string EnvVar(const char* name) {
  std::string value;
  return GetSystem().GetEnvVar(name, &value) ? value : std::string();
}

// The mail checker makes every account due before its forced pass.
void CheckMail(CommandHost& host) {
  host.Services().CheckMailNow();
}

}  // namespace

void ExecuteGoToUrl(CommandHost& host, const GoToUrlProperties& command,
                    const std::string& parameter) {
  ExpandedTemplates expanded = ExpandCommandTemplates(host, command.url, command.post, parameter);
  std::string headers = expanded.post.empty() ? std::string() : kFormHeaders;
  Browser* browser = host.GetBrowser();

  if (command.newWindow == "New") {
    if (browser != nullptr) {
      if (std::unique_ptr<Browser> window = browser->CreateNewWindow()) {
        window->SetVisible(true);
        window->Navigate2({expanded.url, std::nullopt, expanded.post, headers});
      }
    }
  } else if (command.newWindow == "ModalDialog") {
    if (std::shared_ptr<Document> doc = CurrentDocument(host))
      doc->ShowModalDialog(expanded.url, "", command.options);
  } else if (command.newWindow == "BrowserButton") {
    SetSettingString(BrowserButtonSettingName(command.target), expanded.url);
    host.RefreshWebPageItems(command.target);
  } else if (browser != nullptr) {
    browser->Navigate2({expanded.url, command.target, expanded.post, headers});
  }

  if (std::shared_ptr<Document> doc = CurrentDocument(host)) doc->FocusWindow();
}

std::vector<ProxyOption> ProxyOptionsFor(const std::string& caption) {
  if (caption.empty()) return {{kPerConnFlags, kProxyTypeDirect, ""}};
  std::string server = caption;
  std::string bypass;
  // A caption without ";" is all server: repeating it as the bypass list
  // would exempt the proxy's own name from the proxy.
  if (size_t semicolon = caption.find(';'); semicolon != std::string::npos && semicolon > 0) {
    server = caption.substr(0, semicolon);
    bypass = caption.substr(semicolon + 1);
  }
  return {{kPerConnFlags, kProxyTypeDirect | kProxyTypeProxy, ""},
          {kPerConnProxyServer, 0, server},
          {kPerConnProxyBypass, 0, bypass}};
}

namespace {

// One built-in service: what Execute runs, with the command's caption as
// its argument, and what Reset runs (nothing when reset is null).
struct Service {
  const char* type;
  void (*execute)(CommandHost& host, const std::string& caption);
  void (*reset)(CommandHost& host);
};

void OpenOptionsPage(CommandHost& host, int page) {
  host.Services().OpenOptionsPage(page);
}

// Types are compared exactly; a subsystem that brings a service adds its
// row here.
constexpr Service kServices[] = {
    {"HideToolbar",
     [](CommandHost& host, const std::string&) {
       SetSettingDword("PosMode", 0);
       if (Browser* browser = host.GetBrowser()) browser->ShowBrowserBar(kBandClassId, false);
     },
     nullptr},
    {"MessageBox",
     [](CommandHost&, const std::string& caption) {
       GetUserMessages().ShowMessage(caption, "quorvane", kMbOk);
     },
     nullptr},
    {"Search", [](CommandHost& host, const std::string&) { RunSearch(host, ""); }, nullptr},
    {"OptionsPage", [](CommandHost& host, const std::string&) { OpenOptionsPage(host, 0); },
     nullptr},
    {"ConfigurePopupBlocker",
     [](CommandHost& host, const std::string&) { OpenOptionsPage(host, 1); }, nullptr},
    {"ConfigurePOP3", [](CommandHost& host, const std::string&) { OpenOptionsPage(host, 2); },
     nullptr},
    {"CheckMail", [](CommandHost& host, const std::string&) { CheckMail(host); }, nullptr},
    {"ClearHistory",
     [](CommandHost& host, const std::string& caption) {
       for (InputField& field : host.InputFields())
         if (caption == "ALL!" || field.name == caption) ClearHistory(field);
     },
     nullptr},
    {"ResetBlockerCounter",
     [](CommandHost& host, const std::string&) {
       SetSettingDword("TotalBlockedPopups", 0);
       host.Services().ResetSharedBlockedCount();
       host.RefreshPopupIndicator();
     },
     nullptr},
    {"ToggleSiteInWhiteList",
     [](CommandHost& host, const std::string&) {
       host.Services().ToggleSiteInWhiteList();
       host.RefreshPopupIndicator();
     },
     nullptr},
    {"ChangeProxy",
     [](CommandHost&, const std::string& caption) {
       GetProxySettings().SetConnectionOptions(ProxyOptionsFor(caption));
     },
     nullptr},
    {"TogglePopupBlocking",
     [](CommandHost& host, const std::string&) {
       host.Services().TogglePopupBlocking();
       host.RefreshPopupIndicator();
     },
     nullptr},
    {"Highlight", RunHighlight, ResetHighlight},
    {"Uninstall",
     [](CommandHost& host, const std::string& caption) {
       std::string question =
           caption.empty() ? std::string("Are you sure you want to uninstall Ostrivel") : caption;
       if (GetUserMessages().ShowMessage(question, kAlertCaption, kMbYesNo) == kIdYes) {
         if (Browser* browser = host.GetBrowser()) browser->Quit();
         host.Services().Uninstall();
       }
     },
     nullptr},
    {"Update",
     [](CommandHost& host, const std::string&) {
       SetSettingFlag("GlobalUpdateFlag", true);
       Browser* browser = host.GetBrowser();
       ToolbarServices& services = host.Services();
       std::string afterUpdate = services.VendorBaseUrl() + "quorvane/afterupdate.html";
       services.RebuildToolbar();
       if (browser != nullptr)
         browser->Navigate2({afterUpdate, std::nullopt, std::nullopt, std::nullopt});
     },
     nullptr},
};

const Service* FindService(const std::string& type) {
  for (const Service& service : kServices)
    if (type == service.type) return &service;
  return nullptr;
}

}  // namespace

void ExecuteService(CommandHost& host, const std::string& typeText,
                    const std::string& captionText) {
  // The rebuild of "Update" replaces the model that owns these texts.
  const std::string type = typeText;
  const std::string caption = captionText;
  if (const Service* service = FindService(type)) service->execute(host, caption);
}

void ResetService(CommandHost& host, const std::string& type) {
  const Service* service = FindService(type);
  if (service != nullptr && service->reset != nullptr) service->reset(host);
}

std::string DefaultMailProgram() {
  Registry& registry = GetRegistry();
  RegKey clients;
  if (clients.Open(registry, kHkeyLocalMachine, "SOFTWARE\\Clients\\Mail") != kErrorSuccess)
    return std::string();
  std::string program = ReadKeyString(clients, "", "", 200);
  if (program.empty()) return std::string();
  RegKey command;
  if (command.Open(registry, clients.get(), program + "\\Shell\\Open\\Command") != kErrorSuccess)
    return std::string();
  std::string line = ReadKeyString(command, "", "", 1000);
  if (size_t cut = line.find(" %1"); cut != std::string::npos) line.erase(cut);
  return line;
}

void ExecuteShell(const std::string& shellcmd, const std::string& failmsg) {
  std::string line = shellcmd;
  if (line.find("%DefaultEmailClient") != std::string::npos) {
    std::string mail = DefaultMailProgram();
    // Without a mail program the placeholder would be started as a
    // program name and fail a second time: one message is enough.
    if (mail.empty()) {
      ShowFailure(failmsg);
      return;
    }
    ReplaceFirst(line, "%DefaultEmailClient", mail);
  }
  const std::string programFiles = EnvVar("ProgramFiles");
  ReplaceAll(line, "%ProgramFiles%", programFiles);
  ReplaceAll(line, "%programfiles%", programFiles);
  ReplaceAll(line, "%PROGRAMFILES%", programFiles);
  ReplaceAll(line, "%COMSPEC%", EnvVar("COMSPEC"));
  if (!GetSystem().StartProcess(line)) ShowFailure(failmsg);
}

void ExecuteCustom(const std::string& progid, const std::string& parameters,
                   const std::string& failmsg) {
  if (GetComponentHost().CallCustomCommand(progid, parameters) != ComponentCall::kCalled)
    ShowFailure(failmsg);
}

void ToolbarServices::Uninstall() {
  UninstallToolbar();
}

}  // namespace qv::commands
