// The check that keeps a file name a definition asks for inside the
// installation directory: whatever the name, an accepted one must give a
// path below the directory, on Windows' rules (where "\" and "/" both
// separate and trailing dots and spaces vanish) as on POSIX ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "install/installation.h"
#include "install/resource_files.h"

namespace {

// Every part of rest, split at either separator, is a plain name Windows
// keeps as it is.
bool PlainRelative(const std::string& rest) {
  if (rest.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = rest.find_first_of("/\\", start);
    std::string part = rest.substr(start, end == std::string::npos ? end : end - start);
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    if (part.empty() || part.find(':') != std::string::npos) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const std::string directory = "/opt/quorvane";
  std::string local, url;
  if (qv::ResolveInstallFileName(directory, name, &local, &url)) {
    const std::string prefix = directory + "/";
    if (local.compare(0, prefix.size(), prefix) != 0) std::abort();
    if (!PlainRelative(local.substr(prefix.size()))) std::abort();
    // The URL path stays below quorvane/ on the server too.
    if (url[0] == '/' || !PlainRelative(url)) std::abort();
    if (!qv::IsPathInsideDirectory(directory, local)) std::abort();
  }
  // Uninstallation's check on a listed path never lets the directory itself
  // or anything outside it through.
  if (qv::IsPathInsideDirectory(directory, name)) {
    if (name.size() <= directory.size() + 1 || !PlainRelative(name.substr(directory.size() + 1)))
      std::abort();
  }
  return 0;
}
