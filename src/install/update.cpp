#include "install/update.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "install/period.h"
#include "install/resource_files.h"
#include "install/resource_lookup.h"
#include "settings/settings.h"

namespace qv {

void ApplyUpdateRule() {
  if (GetSettingFlag("GlobalUpdateFlag", false)) return;
  if (!GetSettingFlag("UpdateAutomatically", true)) return;
  const long period = static_cast<int32_t>(GetSettingDword("AutoUpdatePeriod", 0xFFFFFFFFu));
  if (period == 0) return;
  if (IsPeriodElapsed("LastCheckTime", period, PeriodUnit::kHours))
    SetSettingFlag("GlobalUpdateFlag", true);
}

void RecordSuccessfulLoad() {
  SetSettingFlag("ShowDownloadErrorMessages", true);
  SetSettingFlag("GlobalUpdateFlag", false);
  SetSettingDword("AutoUpdatePeriod", 24);
}

std::string LastGoodDefinitionPath(const std::string& definitionPath) {
  return definitionPath + ".lastgood";
}

namespace {

bool SameFileContents(const std::string& a, const std::string& b) {
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  if (!first || !second) return false;
  return std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>());
}

}  // namespace

void SaveLastGoodDefinition(const std::string& definitionPath) {
  const std::string copy = LastGoodDefinitionPath(definitionPath);
  // Every browser window loads the definition; the copy is written again
  // only when the definition changed.
  if (SameFileContents(definitionPath, copy)) return;
  const std::string temporary = copy + ".new";
  std::error_code error;
  // Copied under another name and moved into place, so that a copy cut short
  // never replaces the good one.
  if (!std::filesystem::copy_file(definitionPath, temporary,
                                  std::filesystem::copy_options::overwrite_existing, error)) {
    std::filesystem::remove(temporary, error);
    return;
  }
  std::filesystem::rename(temporary, copy, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return;
  }
  if (RegKey history = OpenProductSubkey(HistoryKeyName(kResourceFilesHistory), true))
    WriteKeyDword(history, copy, 1);
}

}  // namespace qv
