#include "tools/scan_output.h"

#include <ostream>

#include "tbdl/tree.h"
#include "tools/tool.h"

namespace qv::tools {

void WriteScanSummary(StructuredWriter& writer, const std::string& skipped,
                      const std::string* fatal) {
  const tbdl::TokenRecord& record = tbdl::GetTokenRecord();
  writer.StringField("skipped", skipped);
  writer.Key("record")
      .BeginObject()
      .StringField("previous", record.previous)
      .StringField("current", record.current)
      .EndObject();
  if (fatal != nullptr) {
    writer.StringField("fatal", *fatal);
  } else {
    writer.NullField("fatal");
  }
}

void WriteScanSummaryText(std::ostream& out, const std::string& skipped, const std::string* fatal) {
  const tbdl::TokenRecord& record = tbdl::GetTokenRecord();
  out << "skipped: " << Quoted(skipped) << '\n'
      << "record: previous " << Quoted(record.previous) << ", current " << Quoted(record.current)
      << '\n';
  if (fatal != nullptr) out << "fatal: " << *fatal << '\n';
}

}  // namespace qv::tools
