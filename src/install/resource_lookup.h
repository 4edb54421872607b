// The resource-file lookup: turns the name of one of the toolbar's files
// (the definition, its bitmaps, icons) into the local path of an existing
// file.
#pragma once

#include <string>

namespace qv {

class ResourceLookup {
 public:
  virtual ~ResourceLookup() = default;
  // On success fileNameInOut is replaced by the local path of an existing
  // file; on failure it is left unchanged.
  virtual bool EnsureResourceFile(std::string& fileNameInOut) = 0;
};

// Finds files that are already there, never fetches: by default in the
// installation directory (GetInstallFilePath), or in a given directory.
class LocalResourceLookup : public ResourceLookup {
 public:
  // The installation directory.
  LocalResourceLookup();
  // Files of the given directory; an empty directory means the current one.
  explicit LocalResourceLookup(std::string directory);

  bool EnsureResourceFile(std::string& fileNameInOut) override;
  // The directory with its trailing separator ("" for the current one).
  const std::string& Directory() const { return directory_; }

 private:
  std::string directory_;
};

// True when path names an existing file that is not a directory.
bool IsExistingFile(const std::string& path);

}  // namespace qv
