#include "install/installation.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "install/resource_files.h"
#include "install/vendor_site.h"
#include "platform/browser.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/system.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

namespace qv {
namespace {

constexpr char kProduct[] = "quorvane";
constexpr char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";

void SetText(const RegKey& key, const std::string& name, const std::string& text, bool withZero) {
  if (!key) return;
  key.registry()->SetValue(key.get(), name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()),
                           static_cast<uint32_t>(text.size() + (withZero ? 1 : 0)));
}

void DeleteValue(const RegKey& key, const std::string& name) {
  if (key) key.registry()->DeleteValue(key.get(), name);
}

// The toolbars are unlocked while a sequence runs, so that the browser may
// place the band, and locked again as the user had them.
class UnlockedToolbars {
 public:
  UnlockedToolbars() {
    key_.Create(GetRegistry(), kHkeyCurrentUser, kToolbarKey);
    uint32_t value = 0;
    if (key_ && TryReadKeyDword(key_, "Locked", &value)) saved_ = value;
    WriteKeyDword(key_, "Locked", 0);
  }
  ~UnlockedToolbars() { Restore(); }
  void Restore() {
    if (restored_) return;
    restored_ = true;
    // A value that was not there is not there afterwards either.
    if (saved_) {
      WriteKeyDword(key_, "Locked", *saved_);
    } else {
      DeleteValue(key_, "Locked");
    }
  }

 private:
  RegKey key_;
  std::optional<uint32_t> saved_;
  bool restored_ = false;
};

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

bool EqualPathPrefix(const std::string& path, const std::string& prefix) {
  if (path.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = path[i], b = prefix[i];
    if (a == '\\') a = '/';
    if (b == '\\') b = '/';
#ifdef _WIN32
    a = static_cast<char>(std::tolower(static_cast<unsigned char>(a)));
    b = static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
#endif
    if (a != b) return false;
  }
  return true;
}

}  // namespace

bool IsPathInsideDirectory(const std::string& directory, const std::string& path) {
  if (directory.empty()) return false;
  std::string prefix = directory;
  if (prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  if (!EqualPathPrefix(path, prefix)) return false;
  std::string local;
  return ResolveInstallFileName(directory, path.substr(prefix.size()), &local);
}

bool EnsureBrowserExtensionsEnabled() {
  RegKey main;
  main.Open(GetRegistry(), kHkeyCurrentUser, "Software\\Microsoft\\Internet Explorer\\Main");
  if (!main || ReadKeyString(main, "Enable Browser Extensions", "", 10) != "no") return true;
  const std::string product = kProduct;
  const std::string question =
      "Your current security settings prohibit using Internet Explorer extensions.\n" + product +
      " will not work unless you enable browser extensions.\n\n" + product +
      " can turn on browser extensions for you.\n\n"
      "IMPORTANT: Enabling browser extensions (Browser Helper Objects) might bring to life some "
      "undesired software that was disabled with current security settings.\n\n"
      "Click \"Yes\" to enable browser extensions and continue installation.\n"
      "Clicking \"No\" will cancel the installation.";
  if (GetUserMessages().ShowMessage(question, product + " installation",
                                    kMbYesNo | kMbIconQuestion) != kIdYes)
    return false;
  WriteKeyString(main, "Enable Browser Extensions", "yes");
  return true;
}

void SetInstalledState(bool installed) {
  Registry& registry = GetRegistry();
  RegKey toolbar;
  toolbar.Create(registry, kHkeyLocalMachine, kToolbarKey);
  if (installed) {
    if (toolbar) registry.SetValue(toolbar.get(), kInstallBandClsid, kRegBinary, nullptr, 0);
  } else {
    DeleteValue(toolbar, kInstallBandClsid);
  }

  const std::string module = GetModulePath();
  RegKey runOnce;
  runOnce.Open(registry, kHkeyLocalMachine, kRunOnceKey);
  if (installed) {
    DeleteValue(runOnce, kRunOnceValue);
  } else {
    SetText(runOnce, kRunOnceValue, "rundll32.exe advpack.dll,DelNodeRunDLL32 " + Quoted(module),
            true);
  }

  RegKey uninstall;
  uninstall.Create(registry, kHkeyLocalMachine, kUninstallKey);
  if (installed) {
    SetText(uninstall, "DisplayName", "Ostrivel - Toolbar", false);
    SetText(uninstall, "UninstallString", "regsvr32 /u /s " + Quoted(module) + " ", false);
  } else {
    DeleteValue(uninstall, "DisplayName");
    DeleteValue(uninstall, "UninstallString");
  }
}

void ShowBandInNewBrowser(bool show, const std::string& url) {
  std::unique_ptr<Browser> browser = GetSystem().OpenNewBrowser();
  if (!browser) return;
  browser->SetVisible(true);
  if (!show) SetSettingDword("PosMode", 0);
  browser->ShowBrowserBar(kInstallBandClsid, show);
  browser->Navigate2({url, std::nullopt, std::nullopt, std::nullopt});
}

void Install() {
  UnlockedToolbars unlocked;
  SetInstalledState(true);
  SetSettingFlag("ToolBarUpdateFlag", true);
  Registry& registry = GetRegistry();
  RegKey bar;
  bar.Create(registry, kHkeyLocalMachine, std::string(kExplorerBarsKey) + "\\" + kInstallBandClsid);
  RegKey button;
  button.Create(registry, kHkeyLocalMachine,
                std::string(kExtensionsKey) + "\\" + kBrowserButtonKeyName);

  std::string icon = "siebi.ico", hotIcon = "siebihi.ico";
  EnsureResourceFile(icon);
  EnsureResourceFile(hotIcon);
  const std::string directory = GetInstallFilePath("");
  SetText(button, "ButtonText", "Toggle quorvane toolbar", true);
  SetText(button, "Clsid", "{E0DD6CAB-2D10-11d2-8F1A-0000F87ABD16}", true);
  SetText(button, "Default Visible", "Yes", true);
  SetText(button, "HotIcon", directory + "siebihi.ico", true);
  SetText(button, "Icon", directory + "siebi.ico", true);
  SetText(button, "MenuStatusBar", "quorvane toolbar", true);
  SetText(button, "MenuText", "&quorvane toolbar", true);
  SetText(button, "BandClsid", kInstallBandClsid, true);

  const bool update = GetSettingString("ToolBarUpdateInProgress", "0") == "1";
  SetSettingString("ToolBarUpdateInProgress", "0");
  ShowBandInNewBrowser(true, VendorUrl(update ? "afterupdate.html" : "afterinstall.html"));
  unlocked.Restore();
  SetSettingFlag("ToolBarUpdateFlag", false);
}

void Uninstall() {
  UnlockedToolbars unlocked;
  SetInstalledState(false);

  // The files fetched for the toolbar, and nothing outside its directory
  // whatever the list says.
  const std::string directory = GetInstallFilePath("");
  std::vector<std::string> files;
  for (SettingValueEnumerator e(kResourceFilesHistory, true); e.IsValid(); e.Next())
    if (e.CurrentNameComplete()) files.push_back(e.CurrentName());
  for (const std::string& file : files) {
    if (!IsPathInsideDirectory(directory, file)) continue;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(file, ignored)) std::filesystem::remove(file, ignored);
  }

  RegKey layout;
  layout.Open(GetRegistry(), kHkeyCurrentUser,
              "Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser");
  DeleteValue(layout, kInstallBandClsid);

  if (RegKey company = OpenCompanyKey()) GetRegistry().DeleteTree(company.get(), kProductKeyName);
  ShowBandInNewBrowser(false, VendorUrl("afteruninstall.html"));
}

namespace {
std::atomic<void (*)()> g_unregister{nullptr};
}  // namespace

void SetUnregisterServer(void (*unregister)()) {
  g_unregister = unregister;
}

void UninstallToolbar() {
  if (void (*unregister)() = g_unregister.load()) {
    unregister();
    return;
  }
  Uninstall();
  RemoveExtensionKeys();
}

void RemoveExtensionKeys() {
  Registry& registry = GetRegistry();
  RegKey extensions;
  if (extensions.Open(registry, kHkeyLocalMachine, kExtensionsKey) == kErrorSuccess)
    registry.DeleteTree(extensions.get(), kBrowserButtonKeyName);
  RegKey bars;
  if (bars.Open(registry, kHkeyLocalMachine, kExplorerBarsKey) == kErrorSuccess)
    registry.DeleteTree(bars.get(), kInstallBandClsid);
}

}  // namespace qv
