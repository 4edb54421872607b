#include "simulators/message_recorder.h"

namespace qv {

int MessageRecorder::ShowMessage(const std::string& text, const std::string& caption,
                                 unsigned style) {
  std::lock_guard<std::mutex> lock(mutex_);
  int answer = DefaultAnswer(style);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  messages_.push_back(RecordedMessage{text, caption, style, answer});
  if (echo_) std::fprintf(echo_, "[%s] %s\n", caption.c_str(), text.c_str());
  return answer;
}

void MessageRecorder::QueueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

std::vector<RecordedMessage> MessageRecorder::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

size_t MessageRecorder::count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.size();
}

void MessageRecorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
  answers_.clear();
}

}  // namespace qv
