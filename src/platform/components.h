// The component seam: creating an outside component by its ProgID and
// calling the custom-command method on it with a text argument.
#pragma once

#include "platform/services.h"

#include <functional>
#include <memory>
#include <string>

namespace qv {

// The interface identifier the components implement.
inline constexpr char kCustomCommandIid[] = "{FD5886CC-DA2A-4E8B-B8B5-6A938C1BFE05}";

enum class ComponentCall {
  kCalled,      // created and called (the method's own result is not looked at)
  kNoClass,     // the ProgID names no class
  kNotCreated,  // the class could not be created with that interface
};

class ComponentHost {
 public:
  virtual ~ComponentHost() = default;
  virtual ComponentCall CallCustomCommand(const std::string& progid,
                                          const std::string& parameters) = 0;
};

// A component living in this process, for the native backend.
class CustomCommandObject {
 public:
  virtual ~CustomCommandObject() = default;
  virtual long Run(const std::string& parameters) = 0;
};
using CustomCommandFactory = std::function<std::unique_ptr<CustomCommandObject>()>;

// Resolves HKCR\<ProgID>\CLSID through the registry seam and creates the
// object from the classes registered in this process.
class InProcessComponentHost : public ComponentHost {
 public:
  ComponentCall CallCustomCommand(const std::string& progid,
                                  const std::string& parameters) override;
  // clsid in registry form, braces included; compared ignoring case.
  static void RegisterClass(const std::string& clsid, CustomCommandFactory factory);
  static void UnregisterClass(const std::string& clsid);
};

ComponentHost& DefaultComponentHost();

inline ComponentHost& GetComponentHost() {
  ComponentHost* installed = Services().components;
  return installed != nullptr ? *installed : DefaultComponentHost();
}

}  // namespace qv
