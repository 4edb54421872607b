// The shared-memory seam: a named block of memory that every process of the
// user opening the same name sees, and a named mutex that serialises those
// processes (and the threads within each of them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qv {

// A mapped block of fixed size. The memory stays valid while the object
// lives; the block itself lives while any process has it open, and the
// next open after the last close makes a new, zero-filled one.
class SharedMemoryBlock {
 public:
  virtual ~SharedMemoryBlock() = default;
  virtual void* data() = 0;
  virtual size_t size() const = 0;
  // True when this process made the block, which then started zero-filled.
  virtual bool created() const = 0;
};

enum class LockResult {
  kAcquired,
  // Another holder kept the mutex for the whole wait.
  kTimedOut,
  // The mutex cannot be waited for at all (a closed or broken handle).
  kFailed,
};

// A mutex shared by name across processes. A holder that dies releases it:
// the next waiter acquires it (and must expect the data it guards to be
// half-changed). Not recursive: a thread must not lock it twice.
class SharedMutex {
 public:
  virtual ~SharedMutex() = default;
  virtual LockResult Lock(uint32_t timeoutMs) = 0;
  virtual void Unlock() = 0;
};

// Holds a SharedMutex from construction to destruction when the lock was
// obtained; result() tells whether it was, and why not.
class SharedLock {
 public:
  SharedLock(SharedMutex& mutex, uint32_t timeoutMs)
      : mutex_(mutex), result_(mutex.Lock(timeoutMs)) {}
  ~SharedLock() {
    if (owns()) mutex_.Unlock();
  }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;

  bool owns() const { return result_ == LockResult::kAcquired; }
  LockResult result() const { return result_; }

 private:
  SharedMutex& mutex_;
  LockResult result_;
};

class SharedMemory {
 public:
  virtual ~SharedMemory() = default;
  // Opens the block of this name, creating it zero-filled when it does not
  // exist yet. Null when the block cannot be made or mapped, or when one of
  // that name exists and is smaller than size.
  virtual std::unique_ptr<SharedMemoryBlock> OpenBlock(const std::string& name, size_t size) = 0;
  // Opens the mutex of this name, creating it when it does not exist yet.
  // Null when that fails. Block and mutex names are separate namespaces only
  // on some platforms: give them different names.
  virtual std::unique_ptr<SharedMutex> OpenMutex(const std::string& name) = 0;
  // Removes the names of a block and a mutex so that the next open makes new
  // ones; open objects stay usable. Only where names outlive their users
  // (POSIX); elsewhere a name goes with its last handle and this does
  // nothing.
  virtual void RemoveNames(const std::string& blockName, const std::string& mutexName) = 0;
};

}  // namespace qv
