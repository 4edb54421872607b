// Writes a loaded toolbar model: image lists, items with their menus,
// commands and settings, each property under its definition name.
#pragma once

#include "tbdl/toolbar.h"
#include "tools/structured_writer.h"

namespace qv::tools {

// Writes the model as one object value.
void WriteModel(StructuredWriter& writer, const tbdl::TBDLToolbar& model);

}  // namespace qv::tools
