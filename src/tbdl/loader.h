// Loading the toolbar definition file into a fresh toolbar model.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "tbdl/toolbar.h"

namespace qv {
class ResourceLookup;
}  // namespace qv

namespace qv::tbdl {

inline constexpr char kDefinitionFileName[] = "quorvane.tbd";

// Replaces model with a new, empty toolbar, finds the definition file
// through the lookup, scans, parses and loads it, then prepares the
// model's resources. True when all of that succeeded. A failure to find or
// parse the file is shown to the user and leaves the empty model; a
// missing bitmap is not shown and leaves the loaded model. Characters the
// scanner skips are echoed to echo (standard output when null).
bool LoadToolbarDefinition(std::unique_ptr<TBDLToolbar>& model, ResourceLookup& lookup,
                           std::ostream* echo = nullptr);

// The same from a definition's bytes already in memory (CR LF pairs are
// read as LF, as from the file): no lookup of the definition file, but the
// bitmaps are still looked up.
bool LoadToolbarDefinitionText(std::unique_ptr<TBDLToolbar>& model, std::string text,
                               ResourceLookup& lookup, std::ostream* echo = nullptr);

}  // namespace qv::tbdl
