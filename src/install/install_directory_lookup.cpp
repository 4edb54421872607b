// Kept apart from the lookup itself so that code which names its own
// directory does not depend on the installation directory rules.
#include "install/resource_lookup.h"
#include "settings/settings.h"

namespace qv {

LocalResourceLookup::LocalResourceLookup() : directory_(GetInstallFilePath("")) {}

}  // namespace qv
