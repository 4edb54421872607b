#include "platform/posix/posix_shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <string>
#include <utility>
#include <thread>

namespace qv {
namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Release() { fd_ = -1; }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// Opening and closing a block take the exclusive lock of its guard object,
// so that a closer deciding it is the last user and a new opener never
// overlap.
class GuardLock {
 public:
  // A closer does not make the guard anew: one whose names were removed
  // leaves nothing behind.
  GuardLock(const std::string& object, bool create)
      : fd_(shm_open(object.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600)) {
    if (fd_.get() >= 0)
      while (flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  bool held() const { return fd_.get() >= 0; }
  // Closing the descriptor drops the lock.

 private:
  Fd fd_;
};

// Every user of a block holds a shared lock on its descriptor; the user that
// closes it and can then take the lock exclusively is the last one and
// removes the name, so that the block lives as long as some process uses it,
// as a Windows file mapping does.
class PosixBlock : public SharedMemoryBlock {
 public:
  PosixBlock(void* data, size_t size, bool created, int fd, std::string object, std::string guard)
      : data_(data),
        size_(size),
        created_(created),
        fd_(fd),
        object_(std::move(object)),
        guard_(std::move(guard)) {}
  ~PosixBlock() override {
    munmap(data_, size_);
    GuardLock guard(guard_, false);
    if (guard.held() && flock(fd_.get(), LOCK_EX | LOCK_NB) == 0 && NameIsStill())
      shm_unlink(object_.c_str());
  }
  void* data() override { return data_; }
  size_t size() const override { return size_; }
  bool created() const override { return created_; }

 private:
  // The name still stands for this block (not for a new one made after the
  // names were removed).
  bool NameIsStill() const {
    Fd named(shm_open(object_.c_str(), O_RDONLY | O_CLOEXEC, 0));
    struct stat ours, theirs;
    return named.get() >= 0 && fstat(fd_.get(), &ours) == 0 && fstat(named.get(), &theirs) == 0 &&
           ours.st_dev == theirs.st_dev && ours.st_ino == theirs.st_ino;
  }

  void* data_;
  size_t size_;
  bool created_;
  Fd fd_;
  std::string object_;
  std::string guard_;
};

// The file lock alone would not keep two threads of one process apart when
// they share this object (a lock belongs to the open file, not the thread),
// so a thread first takes the in-process mutex, then the file lock.
class PosixMutex : public SharedMutex {
 public:
  explicit PosixMutex(int fd) : fd_(fd) {}
  ~PosixMutex() override { close(fd_); }

  LockResult Lock(uint32_t timeoutMs) override {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    if (!threads_.try_lock_until(deadline)) return LockResult::kTimedOut;
    // flock has no timed form: poll, pausing a little longer each time.
    auto pause = microseconds(20);
    for (;;) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return LockResult::kAcquired;
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) {
        threads_.unlock();
        return LockResult::kFailed;
      }
      const auto now = steady_clock::now();
      if (now >= deadline) {
        threads_.unlock();
        return LockResult::kTimedOut;
      }
      std::this_thread::sleep_for(std::min<steady_clock::duration>(pause, deadline - now));
      pause = std::min<microseconds>(pause * 2, milliseconds(1));
    }
  }

  void Unlock() override {
    flock(fd_, LOCK_UN);
    threads_.unlock();
  }

 private:
  int fd_;
  std::timed_mutex threads_;
};

}  // namespace

std::string PosixSharedMemory::ObjectName(char kind, const std::string& name) {
  std::string result = "/quorvane-" + std::to_string(getuid()) + "-" + kind + "-";
  // Linux allows 255 characters; 200 leaves room and stays unique enough.
  for (char c : name.substr(0, 200 - std::min<size_t>(result.size(), 200))) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
    result += safe ? c : '_';
  }
  return result;
}

std::unique_ptr<SharedMemoryBlock> PosixSharedMemory::OpenBlock(const std::string& name,
                                                                size_t size) {
  if (size == 0) return nullptr;
  const std::string object = ObjectName('b', name);
  const std::string guard = ObjectName('g', name);
  GuardLock lock(guard, true);
  bool created = true;
  Fd fd(shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (fd.get() < 0 && errno == EEXIST) {
    created = false;
    fd.Reset(shm_open(object.c_str(), O_RDWR | O_CLOEXEC, 0));
  }
  if (fd.get() < 0) return nullptr;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return nullptr;
  // A size of 0 is a block whose maker has not sized it yet (or ourselves):
  // sizing it here too gives the same zero-filled bytes.
  if (st.st_size == 0) {
    if (ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
      if (created) shm_unlink(object.c_str());
      return nullptr;
    }
  } else if (static_cast<size_t>(st.st_size) < size) {
    return nullptr;
  }
  void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (data == MAP_FAILED) {
    if (created) shm_unlink(object.c_str());
    return nullptr;
  }
  if (flock(fd.get(), LOCK_SH) != 0) {
    munmap(data, size);
    if (created) shm_unlink(object.c_str());
    return nullptr;
  }
  const int kept = fd.get();
  fd.Release();
  return std::make_unique<PosixBlock>(data, size, created, kept, object, guard);
}

std::unique_ptr<SharedMutex> PosixSharedMemory::OpenMutex(const std::string& name) {
  const int fd = shm_open(ObjectName('m', name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixMutex>(fd);
}

void PosixSharedMemory::RemoveNames(const std::string& blockName, const std::string& mutexName) {
  shm_unlink(ObjectName('b', blockName).c_str());
  shm_unlink(ObjectName('g', blockName).c_str());
  shm_unlink(ObjectName('m', mutexName).c_str());
}

}  // namespace qv
