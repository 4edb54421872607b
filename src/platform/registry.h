// The registry seam: the subset of the Win32 registry API the toolbar uses.
// Status codes, value types and predefined root keys keep their Windows
// values so that the Win32 backend is a plain pass-through and the native
// backends can be checked against the same contract.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

using RegStatus = long;
inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;
inline constexpr RegStatus kErrorAccessDenied = 5;
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorOutOfMemory = 14;
inline constexpr RegStatus kErrorWriteFault = 29;
inline constexpr RegStatus kErrorInvalidParameter = 87;
inline constexpr RegStatus kErrorBadPathname = 161;
inline constexpr RegStatus kErrorMoreData = 234;
inline constexpr RegStatus kErrorNoMoreItems = 259;
inline constexpr RegStatus kErrorKeyDeleted = 1018;

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// An open key. Predefined roots carry the Windows HKEY values; other handles
// are whatever the backend hands out and must be closed with CloseKey.
using RegHandle = std::uintptr_t;
inline constexpr RegHandle kHkeyClassesRoot = 0x80000000u;
inline constexpr RegHandle kHkeyCurrentUser = 0x80000001u;
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegCreateKeyEx with KEY_ALL_ACCESS: opens or creates every missing level.
  virtual RegStatus CreateKey(RegHandle parent, const std::string& subkey, RegHandle* result) = 0;
  // RegOpenKeyEx with KEY_ALL_ACCESS: kErrorFileNotFound when missing.
  virtual RegStatus OpenKey(RegHandle parent, const std::string& subkey, RegHandle* result) = 0;
  virtual RegStatus CloseKey(RegHandle key) = 0;

  // RegQueryValueEx. With data null only the size is reported. A buffer
  // smaller than the value gives kErrorMoreData and the needed size in *size.
  // type may be null. The stored type never restricts the query.
  virtual RegStatus QueryValue(RegHandle key, const std::string& name, uint32_t* type,
                               uint8_t* data, uint32_t* size) = 0;
  // RegSetValueEx: stores exactly size bytes with the given type.
  virtual RegStatus SetValue(RegHandle key, const std::string& name, uint32_t type,
                             const uint8_t* data, uint32_t size) = 0;
  virtual RegStatus DeleteValue(RegHandle key, const std::string& name) = 0;
  // Deletes subkey of key with everything below it (RegDeleteTree).
  virtual RegStatus DeleteTree(RegHandle key, const std::string& subkey) = 0;

  // RegEnumValue: the value at index in the key's enumeration order (the
  // order of creation on Windows). *nameChars holds the buffer size in
  // characters including the terminating zero and receives the name's length
  // without it. A name that does not fit gives kErrorMoreData. type, data and
  // size may be null. kErrorNoMoreItems past the last value.
  virtual RegStatus EnumValue(RegHandle key, uint32_t index, char* name, uint32_t* nameChars,
                              uint32_t* type, uint8_t* data, uint32_t* size) = 0;
  // RegEnumKeyEx: subkey names, as EnumValue does for value names.
  virtual RegStatus EnumKey(RegHandle key, uint32_t index, char* name, uint32_t* nameChars) = 0;

  // RegFlushKey: changes already made reach the disk before it returns.
  // Without it a backend may write them lazily, as the Windows registry
  // does; they survive the process either way.
  virtual RegStatus FlushKey(RegHandle key) = 0;

  // Marks changes that belong together (a history rewritten value by
  // value): a backend that stores every change at once may store them once,
  // when the outermost batch ends. Batches nest; every BeginBatch needs its
  // EndBatch (RegBatch below pairs them).
  virtual void BeginBatch() {}
  virtual void EndBatch() {}
};

class RegBatch {
 public:
  explicit RegBatch(Registry& registry) : registry_(registry) { registry_.BeginBatch(); }
  ~RegBatch() { registry_.EndBatch(); }
  RegBatch(const RegBatch&) = delete;
  RegBatch& operator=(const RegBatch&) = delete;

 private:
  Registry& registry_;
};

// Owns one open key handle and closes it when destroyed.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(Registry& registry) : registry_(&registry) {}
  ~RegKey() { Close(); }
  RegKey(RegKey&& other) noexcept : registry_(other.registry_), handle_(other.handle_) {
    other.handle_ = 0;
  }
  RegKey& operator=(RegKey&& other) noexcept {
    if (this != &other) {
      Close();
      registry_ = other.registry_;
      handle_ = other.handle_;
      other.handle_ = 0;
    }
    return *this;
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  RegStatus Create(Registry& registry, RegHandle parent, const std::string& subkey) {
    Close();
    registry_ = &registry;
    RegHandle h = 0;
    RegStatus status = registry.CreateKey(parent, subkey, &h);
    if (status == kErrorSuccess) handle_ = h;
    return status;
  }
  RegStatus Open(Registry& registry, RegHandle parent, const std::string& subkey) {
    Close();
    registry_ = &registry;
    RegHandle h = 0;
    RegStatus status = registry.OpenKey(parent, subkey, &h);
    if (status == kErrorSuccess) handle_ = h;
    return status;
  }
  void Close() {
    if (handle_ != 0 && registry_ != nullptr) registry_->CloseKey(handle_);
    handle_ = 0;
  }

  RegHandle get() const { return handle_; }
  Registry* registry() const { return registry_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  Registry* registry_ = nullptr;
  RegHandle handle_ = 0;
};

}  // namespace qv
