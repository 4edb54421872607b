// Native backend of the shared-memory seam: POSIX shared memory objects,
// and a mutex made of an advisory file lock on one of them, which the
// kernel drops when its holder dies.
#pragma once

#include "platform/shared_memory.h"

namespace qv {

class PosixSharedMemory : public SharedMemory {
 public:
  std::unique_ptr<SharedMemoryBlock> OpenBlock(const std::string& name, size_t size) override;
  std::unique_ptr<SharedMutex> OpenMutex(const std::string& name) override;
  void RemoveNames(const std::string& blockName, const std::string& mutexName) override;

  // The shared memory object's name for a block ('b') or mutex ('m') name:
  // "/quorvane-" + user id + "-" + kind + "-" + the name with every
  // character outside [A-Za-z0-9._-] replaced by '_', cut to a length every
  // system accepts. Each user has names of his own, as on Windows each
  // session does.
  static std::string ObjectName(char kind, const std::string& name);
};

}  // namespace qv
