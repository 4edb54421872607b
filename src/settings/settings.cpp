#include "settings/settings.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/registry.h"
#include "platform/services.h"
#include "platform/system.h"

namespace qv {
namespace {

// The value-name buffer of the enumerator, in characters with the zero.
constexpr uint32_t kEnumNameChars = 200;
// A name longer than any buffer up to this size is given up on.
constexpr uint32_t kLongestEnumName = 1u << 20;

std::string TextUpToZero(const std::vector<uint8_t>& buffer, uint32_t size) {
  const char* chars = reinterpret_cast<const char*>(buffer.data());
  size_t n = 0;
  while (n < size && chars[n] != 0) ++n;
  return std::string(chars, n);
}

uint32_t LittleEndian32(const uint8_t* b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

// The product key the outermost scope of this thread keeps open.
thread_local const RegKey* t_scopedProductKey = nullptr;

// The product key for one read or write: the scope's, or one opened for it.
class ProductKeyUse {
 public:
  ProductKeyUse() {
    if (t_scopedProductKey && t_scopedProductKey->registry() == &GetRegistry())
      borrowed_ = t_scopedProductKey;
    else
      owned_ = OpenProductKey();
  }
  const RegKey& key() const { return borrowed_ ? *borrowed_ : owned_; }

 private:
  const RegKey* borrowed_ = nullptr;
  RegKey owned_;
};

}  // namespace

ProductKeyScope::ProductKeyScope() {
  if (t_scopedProductKey) return;
  key_ = OpenProductKey();
  if (!key_) return;
  outermost_ = true;
  t_scopedProductKey = &key_;
}

ProductKeyScope::~ProductKeyScope() {
  if (outermost_) t_scopedProductKey = nullptr;
}

RegKey OpenCompanyKey() {
  RegKey key;
  key.Create(GetRegistry(), kHkeyCurrentUser, kCompanyKeyPath);
  return key;
}

RegKey OpenProductKey() {
  // Both levels in one call: the key is opened for every setting read
  // outside a scope.
  RegKey key;
  key.Create(GetRegistry(), kHkeyCurrentUser,
             std::string(kCompanyKeyPath) + "\\" + kProductKeyName);
  return key;
}

RegKey OpenProductSubkey(const std::string& subkey, bool create) {
  ProductKeyUse product;
  RegKey key;
  if (!product.key()) return key;
  if (create)
    key.Create(GetRegistry(), product.key().get(), subkey);
  else
    key.Open(GetRegistry(), product.key().get(), subkey);
  return key;
}

bool TryReadKeyString(const RegKey& key, const std::string& name, std::string* text,
                      uint32_t maxBytes) {
  if (!key) return false;
  Registry& registry = *key.registry();
  std::vector<uint8_t> buffer(maxBytes > 0 ? maxBytes : 1);
  uint32_t size = static_cast<uint32_t>(buffer.size());
  RegStatus status = registry.QueryValue(key.get(), name, nullptr, buffer.data(), &size);
  if (status == kErrorMoreData && size > buffer.size()) {
    // The value is longer than the first buffer: ask again with room for
    // what it reported and two bytes more.
    if (size > std::numeric_limits<uint32_t>::max() - 2) return false;
    buffer.assign(size + 2, 0);
    size = static_cast<uint32_t>(buffer.size());
    status = registry.QueryValue(key.get(), name, nullptr, buffer.data(), &size);
  }
  if (status != kErrorSuccess) return false;
  *text = TextUpToZero(buffer, size);
  return true;
}

std::string ReadKeyString(const RegKey& key, const std::string& name,
                          const std::string& defaultValue, uint32_t maxBytes) {
  std::string text;
  return TryReadKeyString(key, name, &text, maxBytes) ? text : defaultValue;
}

bool TryReadKeyDword(const RegKey& key, const std::string& name, uint32_t* value) {
  if (!key) return false;
  // A value shorter than four bytes fills the low bytes only.
  uint8_t buffer[4] = {};
  uint32_t size = sizeof buffer;
  if (key.registry()->QueryValue(key.get(), name, nullptr, buffer, &size) != kErrorSuccess)
    return false;
  *value = LittleEndian32(buffer);
  return true;
}

uint32_t ReadKeyDword(const RegKey& key, const std::string& name, uint32_t defaultValue) {
  uint32_t value = 0;
  return TryReadKeyDword(key, name, &value) ? value : defaultValue;
}

void WriteKeyString(const RegKey& key, const std::string& name, const std::string& text) {
  if (!key) return;
  // The text as a C string with its terminating zero.
  uint32_t size = static_cast<uint32_t>(std::strlen(text.c_str()) + 1);
  key.registry()->SetValue(key.get(), name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()),
                           size);
}

void WriteKeyDword(const RegKey& key, const std::string& name, uint32_t value) {
  if (!key) return;
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  key.registry()->SetValue(key.get(), name, kRegDword, bytes, sizeof bytes);
}

std::string GetSettingString(const std::string& name, const std::string& defaultValue) {
  return ReadKeyString(ProductKeyUse().key(), name, defaultValue);
}

uint32_t GetSettingDword(const std::string& name, uint32_t defaultValue) {
  return ReadKeyDword(ProductKeyUse().key(), name, defaultValue);
}

void SetSettingString(const std::string& name, const std::string& text) {
  WriteKeyString(ProductKeyUse().key(), name, text);
}

void SetSettingDword(const std::string& name, uint32_t value) {
  WriteKeyDword(ProductKeyUse().key(), name, value);
}

bool GetSettingFlag(const std::string& name, bool defaultOn) {
  return GetSettingString(name, defaultOn ? "1" : "0") == "1";
}

void SetSettingFlag(const std::string& name, bool on) {
  SetSettingString(name, on ? "1" : "0");
}

void DeleteSetting(const std::string& name) {
  ProductKeyUse product;
  if (product.key()) GetRegistry().DeleteValue(product.key().get(), name);
}

std::string HistoryKeyName(const std::string& name) {
  return "History" + name;
}

SettingValueEnumerator::SettingValueEnumerator(const std::string& subkey, bool history)
    : key_(OpenProductSubkey(history ? HistoryKeyName(subkey) : subkey, true)) {
  Read();
}

void SettingValueEnumerator::Next() {
  if (!valid_) return;
  ++index_;
  Read();
}

void SettingValueEnumerator::Read() {
  name_.clear();
  complete_ = false;
  // Without a key there is nothing to enumerate; an error other than a name
  // that does not fit ends the iteration too, as the next index would give
  // the same error for ever.
  valid_ = false;
  if (!key_) return;
  Registry& registry = *key_.registry();
  std::vector<char> buffer(kEnumNameChars);
  uint32_t chars = kEnumNameChars;
  RegStatus status =
      registry.EnumValue(key_.get(), index_, buffer.data(), &chars, nullptr, nullptr, nullptr);
  if (status == kErrorSuccess) {
    valid_ = true;
    complete_ = true;
    name_.assign(buffer.data(), chars);
    return;
  }
  if (status != kErrorMoreData) return;
  // The entry exists but its name is longer than the buffer: read it whole
  // with larger buffers so that the name is defined (a history entry can be
  // deleted by name), and say that it did not fit.
  valid_ = true;
  for (uint32_t size = 2 * kEnumNameChars; size <= kLongestEnumName; size *= 2) {
    buffer.assign(size, 0);
    chars = size;
    status =
        registry.EnumValue(key_.get(), index_, buffer.data(), &chars, nullptr, nullptr, nullptr);
    if (status == kErrorSuccess) {
      name_.assign(buffer.data(), chars);
      return;
    }
    if (status != kErrorMoreData) return;
  }
}

std::string GetModulePath() {
  return GetSystem().GetModulePath();
}

std::string GetInstallFilePath(const std::string& fileName) {
  std::string dir = GetModulePath();
  size_t slash = dir.find_last_of("\\/");
  dir.erase(slash == std::string::npos ? 0 : slash + 1);
  // A module in a conflict folder (CONFLICT.1 inside the installation
  // directory) uses the installation directory's files.
  size_t conflict = std::string::npos;
  for (const char* marker : {"\\CONFLICT", "/CONFLICT"})
    conflict = std::min(conflict, dir.find(marker));
  if (conflict != std::string::npos) dir.erase(conflict + 1);
  return dir + fileName;
}

}  // namespace qv
