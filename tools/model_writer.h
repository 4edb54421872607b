// Writes a loaded toolbar model: image lists, items with their menus,
// commands and settings, each property under its definition name.
#pragma once

#include <vector>

#include "simulators/message_recorder.h"
#include "tbdl/toolbar.h"
#include "tools/structured_writer.h"

namespace qv::tools {

// Writes the model as one object value.
void WriteModel(StructuredWriter& writer, const tbdl::TBDLToolbar& model);

// Writes each message box as an element {"caption", "text"} of the array
// the caller has begun.
void WriteMessageBoxes(StructuredWriter& writer, const std::vector<RecordedMessage>& messages);

}  // namespace qv::tools
