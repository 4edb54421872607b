#include "support/memory_registry.h"

#include "formats/reg_text.h"

namespace qv {

std::string MemoryRegistry::ToText() {
  return FormatRegText(tree());
}

}  // namespace qv
