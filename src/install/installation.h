// Installation and uninstallation besides the COM classes: the browser's
// toolbar list and toggle button, the entry in the list of installed
// programs, the module's removal at the next logon, the fetched files and
// the settings.
#pragma once

#include <string>

namespace qv {

inline constexpr char kInstallBandClsid[] = "{79F2FCFF-052A-4C50-B981-AEF4AF4E78EA}";
inline constexpr char kBrowserButtonKeyName[] = "{5C4BDFDA-9B62-4685-9627-4272177E429D}";
inline constexpr char kExtensionsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
inline constexpr char kExplorerBarsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Explorer Bars";
inline constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ostrivelquorvane";
inline constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Runonce";
inline constexpr char kRunOnceValue[] = "Remove Ostrivel";

// Asks to turn browser extensions on when they are off; false when the
// user said no.
bool EnsureBrowserExtensionsEnabled();
void Install();
void Uninstall();
// The browser button and Explorer Bars keys, with everything below them.
void RemoveExtensionKeys();
// The toolbar list, RunOnce and Uninstall entries.
void SetInstalledState(bool installed);
// A new browser window with the band shown or hidden, sent to url.
void ShowBandInNewBrowser(bool show, const std::string& url);

// What the "Uninstall" service command runs: the module's unregistration
// where one was set (the COM server sets its own, which also removes its
// classes), else Uninstall and RemoveExtensionKeys.
void UninstallToolbar();
void SetUnregisterServer(void (*unregister)());

// True when path names a file strictly inside directory (by the rules of
// ResolveInstallFileName), so that uninstallation never deletes anything
// else, whatever the settings list.
bool IsPathInsideDirectory(const std::string& directory, const std::string& path);

}  // namespace qv
