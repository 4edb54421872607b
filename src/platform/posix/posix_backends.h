// Native (POSIX) backends of the platform seams.
#pragma once

#include <string>

#include "platform/system.h"
#include "platform/user_messages.h"

namespace qv {

class PosixSystem : public System {
 public:
  std::string GetModulePath() override;
  bool StartProcess(const std::string& commandLine) override;
  bool GetEnvVar(const std::string& name, std::string* value) override;
  uint32_t GetSystemColor(int index) override;
};

// Without a desktop, a message box is written to standard error and
// answered with its default button.
class StderrMessages : public UserMessages {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace qv
