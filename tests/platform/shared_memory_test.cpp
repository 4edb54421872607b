// The shared-memory seam against this platform's backend: named blocks seen
// twice, and the named mutex between threads holding separate handles, as
// processes do (the cross-process cases are in tests/host).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/services.h"
#include "platform/shared_memory.h"

namespace qv {
namespace {

class SharedMemorySeam : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string unique =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    block_ = "qvtest-seam-block-" + unique;
    mutex_ = "qvtest-seam-mutex-" + unique;
  }
  void TearDown() override { GetSharedMemory().RemoveNames(block_, mutex_); }
  std::string block_, mutex_;
};

TEST_F(SharedMemorySeam, BlockOpenedTwiceIsOneZeroFilledBlock) {
  auto first = GetSharedMemory().OpenBlock(block_, 4096);
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->created());
  const auto* bytes = static_cast<const unsigned char*>(first->data());
  EXPECT_EQ(std::vector<unsigned char>(4096, 0), std::vector<unsigned char>(bytes, bytes + 4096));

  auto second = GetSharedMemory().OpenBlock(block_, 4096);
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->created());
  EXPECT_NE(first->data(), second->data());  // two views of one block
  std::memcpy(first->data(), "shared", 7);
  EXPECT_STREQ("shared", static_cast<const char*>(second->data()));

  // A block of that name exists and is smaller than asked: refused, not
  // mapped beyond its end.
  EXPECT_FALSE(GetSharedMemory().OpenBlock(block_, 8192));
}

TEST_F(SharedMemorySeam, MutexKeepsHoldersApartAndReportsATimeout) {
  auto mine = GetSharedMemory().OpenMutex(mutex_);
  auto theirs = GetSharedMemory().OpenMutex(mutex_);
  ASSERT_TRUE(mine && theirs);

  std::atomic<bool> held{false}, release{false};
  std::thread holder([&] {
    SharedLock lock(*theirs, 1000);
    EXPECT_TRUE(lock.owns());
    held = true;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const auto start = std::chrono::steady_clock::now();
  {
    SharedLock lock(*mine, 100);
    EXPECT_EQ(LockResult::kTimedOut, lock.result());
  }
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
  release = true;
  holder.join();
  SharedLock lock(*mine, 1000);
  EXPECT_TRUE(lock.owns());
}

// Several threads, some sharing one handle and some with their own, change
// an unprotected counter under the mutex: no increment is lost.
TEST_F(SharedMemorySeam, MutexSerialisesThreadsOnSharedAndSeparateHandles) {
  auto shared = GetSharedMemory().OpenMutex(mutex_);
  ASSERT_TRUE(shared);
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      auto own = GetSharedMemory().OpenMutex(mutex_);
      SharedMutex& mutex = (t % 2) ? *own : *shared;
      for (int i = 0; i < 500; ++i) {
        SharedLock lock(mutex, 5000);
        ASSERT_TRUE(lock.owns());
        int seen = counter;
        std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(2000, counter);
}

}  // namespace
}  // namespace qv
