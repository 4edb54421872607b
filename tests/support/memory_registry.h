// A registry held in memory for tests, with the same Win32 rules as the
// native and Windows backends (the shared contract suite checks all three).
#pragma once

#include <string>

#include "formats/registry_tree.h"

namespace qv {

class MemoryRegistry : public TreeRegistry {
 public:
  // Everything stored, in the registry file format: for test failure
  // messages.
  std::string ToText();
};

}  // namespace qv
