// The system seam: facts about the process the toolbar runs in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qv {

class Browser;

// System colour indices keep their Windows values.
inline constexpr int kColorBtnFace = 15;

class System {
 public:
  virtual ~System() = default;
  // Full file name of the toolbar's own module (the DLL on Windows, the
  // executable natively).
  virtual std::string GetModulePath() = 0;

  // Starts a program from a command line whose first token names the
  // program, with the caller's environment and directory, without waiting
  // for it. False when it could not be started.
  virtual bool StartProcess(const std::string& commandLine) {
    (void)commandLine;
    return false;
  }
  // An environment variable; false when it is not set.
  virtual bool GetEnvVar(const std::string& name, std::string* value) {
    (void)name;
    (void)value;
    return false;
  }
  // A new top-level browser window of its own process (the system's web
  // browser), not yet visible; null when none can be started.
  virtual std::unique_ptr<Browser> OpenNewBrowser();
  // A system colour as a Windows COLORREF (0x00BBGGRR).
  virtual uint32_t GetSystemColor(int index) {
    (void)index;
    return 0x00F0F0F0u;
  }
};

}  // namespace qv
