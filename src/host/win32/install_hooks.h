// What registration and unregistration do besides the COM classes: the
// browser-extensions prompt, the installation and uninstallation sequences
// and the browser's toolbar-button and bar keys. The module server calls
// them in their fixed places; until they are filled in they answer "go on"
// and change nothing.
#pragma once

namespace qv {

// False when the user refused to enable browser extensions: registration
// then registers nothing and still succeeds.
bool EnsureBrowserExtensionsEnabled();
// Runs between the two registrations of the classes.
void Install();
// Runs first in unregistration.
void Uninstall();
// Runs after Uninstall, before the classes are unregistered.
void RemoveExtensionKeys();

}  // namespace qv
