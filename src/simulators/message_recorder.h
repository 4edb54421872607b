// A user-messages backend that shows nothing: it records every message box in
// order and answers from a queue of scripted answers. Tests and the
// command-line tool use it.
#pragma once

#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/user_messages.h"

namespace qv {

struct RecordedMessage {
  std::string text;
  std::string caption;
  unsigned style = 0;
  int answer = 0;
};

class MessageRecorder : public UserMessages {
 public:
  // When echo is set, every message is also written there as
  // "[caption] text".
  explicit MessageRecorder(std::FILE* echo = nullptr) : echo_(echo) {}

  int ShowMessage(const std::string& text, const std::string& caption, unsigned style) override;

  // The answers of the next message boxes, in order. Without a queued answer
  // a box is answered with its default button: IDYES for yes/no boxes,
  // IDOK otherwise.
  void QueueAnswer(int answer);

  std::vector<RecordedMessage> messages() const;
  size_t count() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::FILE* echo_;
  std::deque<int> answers_;
  std::vector<RecordedMessage> messages_;
};

}  // namespace qv
