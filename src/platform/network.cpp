#include "platform/network.h"

#include <cctype>

namespace qv {

bool HasHttpScheme(const std::string& url) {
  auto starts = [&](const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i) {
      if (i >= url.size() || std::tolower(static_cast<unsigned char>(url[i])) != prefix[i])
        return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

}  // namespace qv
