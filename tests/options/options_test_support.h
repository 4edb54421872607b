// What the options tests share: settings in memory, message boxes recorded,
// a real shared block and mutexes of the test's own, and a model loaded
// from definition text.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "host/shared_data.h"
#include "install/resource_lookup.h"
#include "platform/services.h"
#include "simulators/message_recorder.h"
#include "support/memory_registry.h"
#include "tbdl/loader.h"
#include "tbdl/toolbar.h"

namespace qv::testing {

class AnyResource : public ResourceLookup {
 public:
  bool EnsureResourceFile(std::string&) override { return true; }
};

inline std::unique_ptr<tbdl::TBDLToolbar> LoadModel(const std::string& text) {
  std::unique_ptr<tbdl::TBDLToolbar> model;
  AnyResource lookup;
  EXPECT_TRUE(tbdl::LoadToolbarDefinitionText(model, text, lookup));
  return model;
}

// Holds a named mutex from another thread until released (a Windows mutex
// would let the test's own thread in again).
class MutexHolder {
 public:
  explicit MutexHolder(const std::string& name) {
    thread_ = std::thread([this, name] {
      auto mutex = GetSharedMemory().OpenMutex(name);
      const bool got = mutex && mutex->Lock(1000) == LockResult::kAcquired;
      held_.set_value(got);
      release_.get_future().wait();
      if (got) mutex->Unlock();
    });
    held = held_.get_future().get();
  }
  ~MutexHolder() { Release(); }
  void Release() {
    if (!thread_.joinable()) return;
    release_.set_value();
    thread_.join();
  }
  bool held = false;

 private:
  std::promise<bool> held_;
  std::promise<void> release_;
  std::thread thread_;
};

class OptionsFixture : public ::testing::Test {
 protected:
  OptionsFixture() {
    const std::string unique =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
        std::to_string(reinterpret_cast<uintptr_t>(this));
    blockName = "qvtest-options-" + unique;
    dataMutexName = "qvtest-optionsdata-" + unique;
    sheetMutexName = "qvtest-optionssheet-" + unique;
    shared = SharedData::Open(blockName, dataMutexName);
  }
  ~OptionsFixture() override {
    shared.reset();
    GetSharedMemory().RemoveNames(blockName, dataMutexName);
    GetSharedMemory().RemoveNames("", sheetMutexName);
  }

  std::string blockName, dataMutexName, sheetMutexName;
  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  MessageRecorder messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  std::unique_ptr<SharedData> shared;
};

}  // namespace qv::testing
