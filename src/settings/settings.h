// The per-user settings store: values of HKCU\SOFTWARE\Ostrivel\quorvane,
// opened afresh for every read or write outside a ProductKeyScope. Reads
// never fail: they give the caller's default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qv {

inline constexpr char kCompanyKeyPath[] = "SOFTWARE\\Ostrivel";
inline constexpr char kProductKeyName[] = "quorvane";

RegKey OpenCompanyKey();
RegKey OpenProductKey();

// Keeps the product key open on this thread while it lives: the settings
// read and written meanwhile take one registry call each instead of
// opening two levels of keys for every value (a toolbar build reads some
// fifty). Scopes nest, the outermost one owns the key; a registry swapped
// meanwhile is opened afresh as outside a scope. Meant for short stretches
// of work that do not delete the product key.
class ProductKeyScope {
 public:
  ProductKeyScope();
  ~ProductKeyScope();
  ProductKeyScope(const ProductKeyScope&) = delete;
  ProductKeyScope& operator=(const ProductKeyScope&) = delete;

 private:
  RegKey key_;
  bool outermost_ = false;
};
// A subkey of the product key ("POP3 Accounts", "History" + name, ...),
// created when missing if create is set. An empty RegKey on failure.
RegKey OpenProductSubkey(const std::string& subkey, bool create);

std::string GetSettingString(const std::string& name, const std::string& defaultValue);
uint32_t GetSettingDword(const std::string& name, uint32_t defaultValue);
void SetSettingString(const std::string& name, const std::string& text);
void SetSettingDword(const std::string& name, uint32_t value);
bool GetSettingFlag(const std::string& name, bool defaultOn);
void SetSettingFlag(const std::string& name, bool on);
void DeleteSetting(const std::string& name);

// The same value rules on an already open key (the accounts and history
// subkeys). maxBytes bounds the first query's buffer as GetSettingString's
// 1024 bytes do.
std::string ReadKeyString(const RegKey& key, const std::string& name,
                          const std::string& defaultValue, uint32_t maxBytes = 1024);
bool TryReadKeyString(const RegKey& key, const std::string& name, std::string* text,
                      uint32_t maxBytes = 1024);
uint32_t ReadKeyDword(const RegKey& key, const std::string& name, uint32_t defaultValue);
bool TryReadKeyDword(const RegKey& key, const std::string& name, uint32_t* value);
void WriteKeyString(const RegKey& key, const std::string& name, const std::string& text);
void WriteKeyDword(const RegKey& key, const std::string& name, uint32_t value);

std::string HistoryKeyName(const std::string& name);

// Iterates the value names of one subkey of the product key (created when
// missing) in the registry's enumeration order. The iteration ends past the
// last value, and also at any error other than a name too long for the
// buffer (a key that could not be opened, a key deleted meanwhile), which
// would otherwise repeat at every index.
class SettingValueEnumerator {
 public:
  SettingValueEnumerator(const std::string& subkey, bool history);
  bool IsValid() const { return valid_; }
  void Next();
  const std::string& CurrentName() const { return name_; }
  // False when the last name did not fit the 200-character buffer. Such a
  // name is read again with a larger buffer, so CurrentName is still the
  // whole name unless even that failed (then it is empty).
  bool CurrentNameComplete() const { return complete_; }

 private:
  void Read();
  RegKey key_;
  uint32_t index_ = 0;
  bool valid_ = false;
  bool complete_ = false;
  std::string name_;
};

std::string GetModulePath();
std::string GetInstallFilePath(const std::string& fileName);

bool ReplaceAll(std::string& text, const std::string& find, const std::string& replacement);
bool ReplaceFirst(std::string& text, const std::string& find, const std::string& replacement);
bool ReplaceAllIfNotEmpty(std::string& text, const std::string& find,
                          const std::string& replacement);
bool ReplaceFirstIfNotEmpty(std::string& text, const std::string& find,
                            const std::string& replacement);
std::string SplitWordsJoinPlus(const std::string& text, std::vector<std::string>& words);
// The bytes of the text without a terminating zero (a POST body).
std::vector<uint8_t> ToByteVector(const std::string& text);

}  // namespace qv
