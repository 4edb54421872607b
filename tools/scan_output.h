// The parts of the tokens and tree output that both share: the skipped
// characters, the token record and a fatal scanner message.
#pragma once

#include <iosfwd>
#include <string>

#include "tools/structured_writer.h"

namespace qv::tools {

// Writes "skipped", "record" and, when fatal is given, "fatal" (null
// otherwise) as members of the open object.
void WriteScanSummary(StructuredWriter& writer, const std::string& skipped,
                      const std::string* fatal);
// The same as readable lines.
void WriteScanSummaryText(std::ostream& out, const std::string& skipped, const std::string* fatal);

}  // namespace qv::tools
