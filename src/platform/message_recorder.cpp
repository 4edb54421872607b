#include "platform/message_recorder.h"

namespace qv {

int MessageRecorder::DefaultAnswer(unsigned style) {
  // The low four bits choose the buttons: MB_YESNOCANCEL (3) and MB_YESNO
  // (4) default to Yes.
  unsigned buttons = style & 0xF;
  return (buttons == kMbYesNo || buttons == 0x3) ? kIdYes : kIdOk;
}

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
