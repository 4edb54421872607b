// A message pump for tests of the waiting side: it can report a quit
// message, or window input at a steady rate as a busy browser thread gets.
#pragma once

#include <algorithm>
#include <atomic>
#include <optional>

#include "platform/network.h"
#include "platform/plain_event.h"

namespace qv::test {

class FakeMessagePump : public MessagePump {
 public:
  // The next DispatchQueued meets a quit message with this code.
  void QueueQuit(int exitCode) { quit_ = exitCode; }
  // Input "arrives" every ms while a wait lasts (0: never).
  void SetInputEvery(uint32_t ms) { inputEveryMs_ = ms; }
  std::optional<int> PostedQuit() const { return posted_; }
  int Dispatches() const { return dispatches_; }

  std::unique_ptr<WaitableEvent> MakeEvent(const std::string&) override {
    return std::make_unique<PlainEvent>();
  }
  bool DispatchQueued(int* exitCode) override {
    ++dispatches_;
    if (!quit_) return true;
    *exitCode = *quit_;
    quit_.reset();
    return false;
  }
  PumpWait WaitForEventOrInput(WaitableEvent& event, uint32_t timeoutMs) override {
    auto& plain = static_cast<PlainEvent&>(event);
    if (inputEveryMs_ != 0 && inputEveryMs_ < timeoutMs)
      return plain.WaitFor(inputEveryMs_) ? PumpWait::kSignalled : PumpWait::kInput;
    return plain.WaitFor(timeoutMs) ? PumpWait::kSignalled : PumpWait::kTimeout;
  }
  void PostQuit(int exitCode) override { posted_ = exitCode; }
  void DispatchWorkerQueue() override {}

 private:
  std::optional<int> quit_;
  std::optional<int> posted_;
  uint32_t inputEveryMs_ = 0;
  std::atomic<int> dispatches_{0};
};

}  // namespace qv::test
