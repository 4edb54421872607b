// The automatic update: when the toolbar's files are fetched anew, and how
// a fetched definition that does not load is kept from breaking the
// toolbar.
#pragma once

#include <string>

namespace qv {

// Run before the definition is loaded: turns GlobalUpdateFlag on when the
// update period has run out (AutoUpdatePeriod hours, 0 never, negative at
// every build), unless an update is already pending or UpdateAutomatically
// is off.
void ApplyUpdateRule();

// After a successful load: error messages on again, the update done, the
// period back to 24 hours.
void RecordSuccessfulLoad();

// The copy of the definition that loaded last, beside it.
std::string LastGoodDefinitionPath(const std::string& definitionPath);
// Keeps a copy of the definition that just loaded, so that a later fetch of
// a broken one leaves something to fall back on. The copy is listed with the
// fetched files, so that uninstallation removes it.
void SaveLastGoodDefinition(const std::string& definitionPath);

}  // namespace qv
