// A manual-reset event built on the standard library: the native backend's
// event and the base of the test doubles' events.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/network.h"

namespace qv {

class PlainEvent : public WaitableEvent {
 public:
  void Set() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      signalled_ = true;
    }
    changed_.notify_all();
  }
  void Reset() override {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
  }
  // True when the event is (or becomes) set within timeoutMs.
  bool WaitFor(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return signalled_; });
  }
  bool IsSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    return signalled_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace qv
