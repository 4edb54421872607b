// How the tool finds a definition and its files: the definition file's own
// folder stands for the installation directory, and the file itself for
// the toolbar's definition file, whatever its name.
#pragma once

#include <string>

#include "install/resource_files.h"

namespace qv::tools {

class DefinitionFolderLookup : public ResourceLookup {
 public:
  explicit DefinitionFolderLookup(const std::string& definition_path);

  // The definition file's name gives the definition path; every other name
  // is looked up in the definition's folder. Missing files are fetched from
  // the vendor's site into the folder, as the toolbar fetches them.
  bool EnsureResourceFile(std::string& fileNameInOut) override;
  FetchingResourceLookup& Fetching() { return folder_; }

 private:
  FetchingResourceLookup folder_;
};

// The folder that holds path ("" for a bare file name).
std::string FolderOf(const std::string& path);

}  // namespace qv::tools
