// The sequences themselves are portable (install/installation.cpp); the
// new browser window they open comes from the system seam.
#include "host/win32/install_hooks.h"
