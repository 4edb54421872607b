#include "install/resource_lookup.h"

#include <filesystem>
#include <system_error>

namespace qv {

LocalResourceLookup::LocalResourceLookup(std::string directory) : directory_(std::move(directory)) {
  if (!directory_.empty() && directory_.back() != '/' && directory_.back() != '\\') {
#ifdef _WIN32
    directory_ += '\\';
#else
    directory_ += '/';
#endif
  }
}

bool LocalResourceLookup::EnsureResourceFile(std::string& fileNameInOut) {
  std::string path = directory_ + fileNameInOut;
  if (!IsExistingFile(path)) return false;
  fileNameInOut = std::move(path);
  return true;
}

bool IsExistingFile(const std::string& path) {
  std::error_code error;
  auto status = std::filesystem::status(path, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace qv
