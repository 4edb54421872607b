// What registration and unregistration do besides the COM classes: the
// browser-extensions prompt, the installation and uninstallation sequences
// and the browser's toolbar-button and bar keys (install/installation.h).
// The module server calls them in their fixed places.
#pragma once

#include "install/installation.h"
