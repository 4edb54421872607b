#include "install/resource_files.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "install/download.h"
#include "install/vendor_site.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "settings/settings.h"

namespace qv {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

constexpr size_t kMaxNameLength = 240;

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

bool IsDeviceName(std::string part) {
  // "NUL", "com1.txt": Windows opens the device whatever the extension.
  const size_t dot = part.find('.');
  if (dot != std::string::npos) part.erase(dot);
  for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (part == "CON" || part == "PRN" || part == "AUX" || part == "NUL" || part == "CONIN$" ||
      part == "CONOUT$")
    return true;
  return part.size() == 4 && (part.rfind("COM", 0) == 0 || part.rfind("LPT", 0) == 0) &&
         part[3] >= '0' && part[3] <= '9';
}

bool Refuse(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

std::string WithSeparator(std::string directory) {
  if (!directory.empty() && directory.back() != '/' && directory.back() != '\\')
    directory += kSeparator;
  return directory;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  const auto& table = CrcTable();
  const auto* bytes = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t FileCrc32(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  uint32_t crc = 0;
  char block[1024];
  while (in) {
    in.read(block, sizeof block);
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    crc = Crc32(crc, block, static_cast<size_t>(got));
  }
  return crc;
}

std::string SignedCrcText(uint32_t crc) {
  return std::to_string(static_cast<long long>(static_cast<int32_t>(crc)));
}

bool ResolveInstallFileName(const std::string& directory, const std::string& name,
                            std::string* localPath, std::string* urlPath, std::string* error) {
  if (name.empty()) return Refuse(error, "an empty file name");
  if (name.size() > kMaxNameLength) return Refuse(error, "a file name too long");
  std::string local, url;
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of("/\\", start);
    const std::string part = name.substr(start, end == std::string::npos ? end : end - start);
    if (part.empty()) return Refuse(error, "an absolute path or an empty part: " + name);
    // Windows drops trailing dots and spaces, so ". ." or "..." would name
    // the folder or its parent.
    if (part.back() == '.' || part.back() == ' ')
      return Refuse(error, "a part ending in a dot or space: " + name);
    if (IsDeviceName(part)) return Refuse(error, "a device name: " + name);
    for (char c : part) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
          c == '>' || c == '|')
        return Refuse(error, "a character a file name may not hold: " + name);
      local += c;
      if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
        url += c;
      } else {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", u);
        url += escaped;
      }
    }
    if (end == std::string::npos) break;
    local += kSeparator;
    url += '/';
    start = end + 1;
  }
  *localPath = WithSeparator(directory) + local;
  if (urlPath) *urlPath = url;
  return true;
}

FetchingResourceLookup::FetchingResourceLookup() : directory_(GetInstallFilePath("")) {}

FetchingResourceLookup::FetchingResourceLookup(std::string directory)
    : directory_(WithSeparator(std::move(directory))) {}

bool FetchingResourceLookup::EnsureResourceFile(std::string& fileNameInOut) {
  const std::string name = fileNameInOut;
  ResourceFileReport report;
  report.name = name;
  auto finish = [&](ResourceFileReport::Outcome outcome) {
    report.outcome = outcome;
    if (reporter_) reporter_(report);
  };

  std::string local, urlPath;
  if (!ResolveInstallFileName(directory_, name, &local, &urlPath, &report.error)) {
    finish(ResourceFileReport::kRefused);
    return false;
  }
  if (auto alias = aliases_.find(name); alias != aliases_.end()) local = alias->second;
  const std::string url = VendorUrl(urlPath);
  report.localPath = local;
  report.url = url;

  // A file whose CRC is 0 (missing, empty, unreadable, a folder) counts
  // as missing.
  const uint32_t before = FileCrc32(local);
  report.crc = before;
  const bool hasLocal = before != 0;
  if (hasLocal && !forceFetch_ && !GetSettingFlag("GlobalUpdateFlag", false)) {
    fileNameInOut = local;
    finish(ResourceFileReport::kPresent);
    return true;
  }

  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(local).parent_path(), ignored);
  const bool fetched = DownloadUrlToFile(url, local, &report.error);
  if (RegKey history = OpenProductSubkey(HistoryKeyName(kResourceFilesHistory), true))
    WriteKeyDword(history, local, 1);

  if (fetched) {
    report.crc = FileCrc32(local);
    SetSettingString(name, SignedCrcText(report.crc));
    fileNameInOut = local;
    finish(ResourceFileReport::kFetched);
    return true;
  }
  if (hasLocal) {
    fileNameInOut = local;
    finish(ResourceFileReport::kKept);
    return true;
  }
  GetUserMessages().ShowMessage("Unable to download file " + name + " from " + url,
                                kDownloadErrorCaption, kMbOk);
  if (GetSettingFlag("ShowDownloadErrorMessages", true))
    SetSettingFlag("ShowDownloadErrorMessages", false);
  finish(ResourceFileReport::kFailed);
  return false;
}

bool EnsureResourceFile(std::string& fileNameInOut) {
  FetchingResourceLookup lookup;
  return lookup.EnsureResourceFile(fileNameInOut);
}

}  // namespace qv
