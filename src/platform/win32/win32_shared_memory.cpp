#include <windows.h>

#include "platform/win32/scoped.h"
#include "platform/win32/win32_shared_memory.h"

namespace qv {
namespace {

class Win32Block : public SharedMemoryBlock {
 public:
  Win32Block(win32::ScopedHandle mapping, win32::ScopedMappedView view, size_t size, bool created)
      : mapping_(std::move(mapping)), view_(std::move(view)), size_(size), created_(created) {}
  void* data() override { return view_.get(); }
  size_t size() const override { return size_; }
  bool created() const override { return created_; }

 private:
  // The view goes before the mapping.
  win32::ScopedHandle mapping_;
  win32::ScopedMappedView view_;
  size_t size_;
  bool created_;
};

class Win32Mutex : public SharedMutex {
 public:
  explicit Win32Mutex(win32::ScopedHandle mutex) : mutex_(std::move(mutex)) {}

  LockResult Lock(uint32_t timeoutMs) override {
    switch (WaitForSingleObject(mutex_.get(), timeoutMs)) {
      case WAIT_OBJECT_0:
      // The last holder died holding it: the mutex is ours now.
      case WAIT_ABANDONED:
        return LockResult::kAcquired;
      case WAIT_TIMEOUT:
        return LockResult::kTimedOut;
      default:
        return LockResult::kFailed;
    }
  }
  void Unlock() override { ReleaseMutex(mutex_.get()); }

 private:
  win32::ScopedHandle mutex_;
};

}  // namespace

std::unique_ptr<SharedMemoryBlock> Win32SharedMemory::OpenBlock(const std::string& name,
                                                                size_t size) {
  if (size == 0) return nullptr;
  const unsigned long long size64 = size;
  win32::ScopedHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                 static_cast<DWORD>(size64 >> 32),
                                                 static_cast<DWORD>(size64), name.c_str()));
  if (!mapping) return nullptr;
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  // An existing mapping keeps its own size; a view larger than it fails.
  win32::ScopedMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, size));
  if (!view) return nullptr;
  return std::make_unique<Win32Block>(std::move(mapping), std::move(view), size, created);
}

std::unique_ptr<SharedMutex> Win32SharedMemory::OpenMutex(const std::string& name) {
  win32::ScopedHandle mutex(CreateMutexA(nullptr, FALSE, name.c_str()));
  if (!mutex) return nullptr;
  return std::make_unique<Win32Mutex>(std::move(mutex));
}

}  // namespace qv
