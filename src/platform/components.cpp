#include "platform/components.h"

#include <algorithm>
#include <cstring>
#include <cctype>
#include <map>
#include <mutex>
#include <vector>

#include "platform/registry.h"

namespace qv {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

struct ClassTable {
  std::mutex lock;
  std::map<std::string, CustomCommandFactory> factories;
};

ClassTable& Classes() {
  static ClassTable table;
  return table;
}

// The default value of HKCR\<progid>\CLSID, as CLSIDFromProgID reads it.
bool ReadProgIdClass(const std::string& progid, std::string* clsid) {
  if (progid.empty()) return false;
  Registry& registry = GetRegistry();
  RegKey key;
  if (key.Open(registry, kHkeyClassesRoot, progid + "\\CLSID") != kErrorSuccess) return false;
  uint32_t size = 0;
  if (registry.QueryValue(key.get(), "", nullptr, nullptr, &size) != kErrorSuccess || size == 0)
    return false;
  std::vector<uint8_t> data(size);
  if (registry.QueryValue(key.get(), "", nullptr, data.data(), &size) != kErrorSuccess)
    return false;
  const char* text = reinterpret_cast<const char*>(data.data());
  *clsid = std::string(text, strnlen(text, std::min<size_t>(size, data.size())));
  return !clsid->empty();
}

}  // namespace

ComponentCall InProcessComponentHost::CallCustomCommand(const std::string& progid,
                                                        const std::string& parameters) {
  std::string clsid;
  if (!ReadProgIdClass(progid, &clsid)) return ComponentCall::kNoClass;
  CustomCommandFactory factory;
  {
    ClassTable& table = Classes();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.factories.find(Upper(clsid));
    if (it == table.factories.end()) return ComponentCall::kNotCreated;
    factory = it->second;
  }
  std::unique_ptr<CustomCommandObject> object = factory ? factory() : nullptr;
  if (!object) return ComponentCall::kNotCreated;
  object->Run(parameters);
  return ComponentCall::kCalled;
}

void InProcessComponentHost::RegisterClass(const std::string& clsid, CustomCommandFactory factory) {
  ClassTable& table = Classes();
  std::lock_guard<std::mutex> guard(table.lock);
  table.factories[Upper(clsid)] = std::move(factory);
}

void InProcessComponentHost::UnregisterClass(const std::string& clsid) {
  ClassTable& table = Classes();
  std::lock_guard<std::mutex> guard(table.lock);
  table.factories.erase(Upper(clsid));
}

}  // namespace qv
