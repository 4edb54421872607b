// The Windows registry backend: a pass-through to advapi32.
#pragma once

#include "platform/registry.h"

namespace qv {

class Win32Registry : public Registry {
 public:
  RegStatus CreateKey(RegHandle parent, const std::string& subkey, RegHandle* result) override;
  RegStatus OpenKey(RegHandle parent, const std::string& subkey, RegHandle* result) override;
  RegStatus CloseKey(RegHandle key) override;
  RegStatus QueryValue(RegHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override;
  RegStatus SetValue(RegHandle key, const std::string& name, uint32_t type, const uint8_t* data,
                     uint32_t size) override;
  RegStatus DeleteValue(RegHandle key, const std::string& name) override;
  // An empty subkey deletes the key's values and subkeys but keeps the key.
  RegStatus DeleteTree(RegHandle key, const std::string& subkey) override;
  RegStatus EnumValue(RegHandle key, uint32_t index, char* name, uint32_t* nameChars,
                      uint32_t* type, uint8_t* data, uint32_t* size) override;
  RegStatus EnumKey(RegHandle key, uint32_t index, char* name, uint32_t* nameChars) override;
  RegStatus FlushKey(RegHandle key) override;
};

// True when the process runs under Wine, whose registry differs from
// Windows in a few documented ways (values enumerate in name order).
bool RunningUnderWine();

}  // namespace qv
