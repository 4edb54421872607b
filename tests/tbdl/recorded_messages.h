// Collects the message boxes shown during a test instead of showing them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/services.h"
#include "platform/user_messages.h"

namespace qv::test {

struct ShownMessage {
  std::string text;
  std::string caption;
  unsigned style;
  bool operator==(const ShownMessage&) const = default;
};

inline void PrintTo(const ShownMessage& m, std::ostream* os) {
  *os << "{\"" << m.text << "\", \"" << m.caption << "\", " << m.style << "}";
}

class RecordedMessages : public UserMessages {
 public:
  RecordedMessages() : scope_(&PlatformServices::messages, this) {}
  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override {
    shown.push_back({text, caption, style});
    return kIdOk;
  }
  std::vector<ShownMessage> shown;

 private:
  ScopedService<UserMessages> scope_;
};

}  // namespace qv::test
