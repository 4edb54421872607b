#include "install/vendor_site.h"

#include <cctype>
#include <mutex>

#include "platform/services.h"
#include "platform/system.h"

namespace qv {
namespace {

std::mutex& OverrideMutex() {
  static std::mutex mutex;
  return mutex;
}
std::string& Override() {
  static std::string url;
  return url;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
      return false;
  }
  return true;
}

}  // namespace

bool IsValidBaseUrl(const std::string& url) {
  size_t host = 0;
  if (StartsWithNoCase(url, "https://")) {
    host = 8;
  } else if (StartsWithNoCase(url, "http://")) {
    host = 7;
  } else {
    return false;
  }
  if (url.size() <= host || url[host] == '/' || url.back() != '/') return false;
  for (char c : url) {
    // Whatever would end or split the address when it is used in a page
    // address or a command line.
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '?' || c == '#') return false;
  }
  return true;
}

std::string VendorBaseUrl() {
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    if (!Override().empty()) return Override();
  }
  std::string fromEnvironment;
  if (GetSystem().GetEnvVar("QUORVANE_BASE_URL", &fromEnvironment) &&
      IsValidBaseUrl(fromEnvironment))
    return fromEnvironment;
  return kBuiltInVendorBaseUrl;
}

bool SetVendorBaseUrl(const std::string& url) {
  if (!url.empty() && !IsValidBaseUrl(url)) return false;
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Override() = url;
  return true;
}

std::string VendorUrl(const std::string& path) {
  return VendorBaseUrl() + "quorvane/" + path;
}

}  // namespace qv
