// The toolbar's own files (its definition, image lists, icons) in the
// installation directory, fetched from the vendor's site when missing and
// fetched anew while an update is pending.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "install/resource_lookup.h"

namespace qv {

inline constexpr char kDownloadErrorCaption[] = "Ostrivel Toolbar Alert";
inline constexpr char kResourceFilesHistory[] = "ResourceFiles";

// CRC-32 (the IEEE 802.3 one) of the file's contents; 0 when it cannot be
// read.
uint32_t FileCrc32(const std::string& path);
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
// The CRC as stored: a signed 32-bit decimal number.
std::string SignedCrcText(uint32_t crc);

// A file name a definition asks for, checked to stay inside directory: a
// relative path of plain names separated by "/" or "\". Refused: empty
// names, absolute paths, drive letters and URLs (any ":"), "." and ".."
// and names that Windows would shorten to them (trailing dots or spaces),
// empty parts, device names, control and wildcard characters, names longer
// than 240 characters. On success *localPath is directory + the name with
// this platform's separators and *urlPath the name with "/" and every
// byte outside letters, digits and "-._~/" percent-encoded.
bool ResolveInstallFileName(const std::string& directory, const std::string& name,
                            std::string* localPath, std::string* urlPath = nullptr,
                            std::string* error = nullptr);

// What happened to one file asked for, for the definition tool's report.
struct ResourceFileReport {
  enum Outcome {
    kPresent,  // there, no update pending: nothing fetched
    kFetched,  // fetched and in place
    kKept,     // the fetch failed; the local copy stays in use
    kFailed,   // the fetch failed and there is no local copy
    kRefused,  // the name would leave the installation directory
  };
  std::string name;
  std::string localPath;
  std::string url;
  Outcome outcome = kPresent;
  uint32_t crc = 0;
  std::string error;
};

// EnsureResourceFile over a directory (by default the installation
// directory) and the vendor's site.
class FetchingResourceLookup : public ResourceLookup {
 public:
  FetchingResourceLookup();
  explicit FetchingResourceLookup(std::string directory);

  // On true fileNameInOut is the full local path of a file that exists; on
  // false the file is not available and fileNameInOut is unchanged. While
  // GlobalUpdateFlag is on every file is fetched again; a failed fetch
  // keeps the local copy.
  bool EnsureResourceFile(std::string& fileNameInOut) override;

  // The file that stands for name locally, instead of directory + name
  // (the definition tool's FILE for the definition, whatever its name).
  void SetLocalPath(const std::string& name, const std::string& path) { aliases_[name] = path; }
  // Hears of every file asked for.
  void SetReporter(std::function<void(const ResourceFileReport&)> reporter) {
    reporter_ = std::move(reporter);
  }
  // Fetch every file asked for, as if an update were pending.
  void SetForceFetch(bool on) { forceFetch_ = on; }
  const std::string& Directory() const { return directory_; }

 private:
  std::string directory_;
  std::map<std::string, std::string> aliases_;
  std::function<void(const ResourceFileReport&)> reporter_;
  bool forceFetch_ = false;
};

// The same on the installation directory.
bool EnsureResourceFile(std::string& fileNameInOut);

}  // namespace qv
