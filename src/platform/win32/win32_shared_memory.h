// Win32 backend of the shared-memory seam: a named file mapping backed by
// the paging file, and a named kernel mutex.
#pragma once

#include "platform/shared_memory.h"

namespace qv {

// Names are kernel object names in the session's namespace; a block and a
// mutex must not share one.
class Win32SharedMemory : public SharedMemory {
 public:
  std::unique_ptr<SharedMemoryBlock> OpenBlock(const std::string& name, size_t size) override;
  std::unique_ptr<SharedMutex> OpenMutex(const std::string& name) override;
  // A kernel object goes with its last handle: nothing to remove.
  void RemoveNames(const std::string&, const std::string&) override {}
};

}  // namespace qv
