// Native (POSIX) backends of the platform seams.
#pragma once

#include <string>

#include "platform/system.h"
#include "platform/user_messages.h"

namespace qv {

class PosixSystem : public System {
 public:
  std::string GetModulePath() override;
};

// Without a desktop, a message box is written to standard error and
// answered with its default button.
class StderrMessages : public UserMessages {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace qv
