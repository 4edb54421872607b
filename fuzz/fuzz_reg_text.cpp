// The registry file reader on any bytes: it must never fail, and whatever it
// read must be written and read back unchanged, with nothing left unread.
// The same bytes also describe a tree of keys and values with any names and
// data, which must survive being written and read back exactly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/reg_text.h"

namespace {

bool SameKey(const qv::RegTreeKey& a, const qv::RegTreeKey& b) {
  if (a.name != b.name || a.values.size() != b.values.size() ||
      a.subkeys.size() != b.subkeys.size())
    return false;
  for (size_t i = 0; i < a.values.size(); ++i) {
    const qv::RegValueEntry& x = a.values[i];
    const qv::RegValueEntry& y = b.values[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  for (auto ia = a.subkeys.begin(), ib = b.subkeys.begin(); ia != a.subkeys.end(); ++ia, ++ib)
    if (!SameKey(*ia->second, *ib->second)) return false;
  return true;
}

// Fields separated by 0xFF bytes; each record's first byte chooses what it
// is. Key names are what the registry lets a key be called: not empty, no
// zero byte and no backslash (a backslash separates the levels of a path).
void BuildTree(std::string_view input, qv::RegTree& tree) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= input.size() && fields.size() < 64) {
    size_t end = input.find('\xFF', start);
    if (end == std::string_view::npos) end = input.size();
    fields.emplace_back(input.substr(start, end - start));
    start = end + 1;
  }
  qv::RegTreeKey* key = &tree.root(1);
  for (const std::string& field : fields) {
    if (field.empty()) continue;
    const unsigned char kind = static_cast<unsigned char>(field[0]);
    std::string text = field.substr(1);
    if (kind % 3 == 0) {
      key = &tree.root(kind % 2);
    } else if (kind % 3 == 1) {
      std::string name;
      for (char c : text)
        if (c != '\0' && c != '\\') name += c;
      if (!name.empty()) key = &key->AddSubkey(name);
    } else {
      size_t split = text.find('=');
      std::string name = text.substr(0, split);
      std::string data = split == std::string::npos ? std::string() : text.substr(split + 1);
      key->SetValue(name, kind / 3 % 12, std::vector<uint8_t>(data.begin(), data.end()));
    }
  }
}

}  // namespace

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

  qv::RegTree built;
  BuildTree(input, built);
  qv::RegTree read;
  std::vector<qv::RegTextIssue> readIssues;
  qv::ParseRegText(qv::FormatRegText(built), read, &readIssues);
  if (!readIssues.empty()) std::abort();
  for (size_t i = 0; i < qv::RegTree::kRoots.size(); ++i)
    if (!SameKey(built.root(i), read.root(i))) std::abort();
  return 0;
}
