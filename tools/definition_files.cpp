#include "tools/definition_files.h"

#include "tbdl/loader.h"

namespace qv::tools {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
#ifdef _WIN32
  const size_t backslash = path.find_last_of("\\:");
  if (backslash != std::string::npos && (slash == std::string::npos || backslash > slash)) {
    slash = backslash;
  }
#endif
  if (slash == std::string::npos) return "";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

DefinitionFolderLookup::DefinitionFolderLookup(const std::string& definition_path)
    : folder_(FolderOf(definition_path)) {
  folder_.SetLocalPath(tbdl::kDefinitionFileName, definition_path);
}

bool DefinitionFolderLookup::EnsureResourceFile(std::string& fileNameInOut) {
  return folder_.EnsureResourceFile(fileNameInOut);
}

}  // namespace qv::tools
