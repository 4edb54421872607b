// Records the message boxes shown while the object lives, in place of the
// platform's own backend.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "simulators/message_recorder.h"
#include "platform/services.h"

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

class RecordedMessages {
 public:
  RecordedMessages() : scope_(&PlatformServices::messages, &recorder_) {}

  std::vector<ShownMessage> Shown() const {
    std::vector<ShownMessage> shown;
    for (const auto& m : recorder_.messages()) shown.push_back({m.text, m.caption, m.style});
    return shown;
  }
  void Clear() { recorder_.Clear(); }

 private:
  MessageRecorder recorder_;
  ScopedService<UserMessages> scope_;
};

}  // namespace qv::test
