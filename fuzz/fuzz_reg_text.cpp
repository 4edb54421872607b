// The registry file reader on any bytes: it must never fail, and whatever it
// read must be written and read back unchanged, with nothing left unread.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/reg_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  qv::RegTree tree;
  std::vector<qv::RegTextIssue> issues;
  qv::ParseRegText(input, tree, &issues);

  std::string written = qv::FormatRegText(tree);
  qv::RegTree again;
  std::vector<qv::RegTextIssue> againIssues;
  qv::ParseRegText(written, again, &againIssues);
  if (!againIssues.empty()) std::abort();
  if (qv::FormatRegText(again) != written) std::abort();
  return 0;
}
