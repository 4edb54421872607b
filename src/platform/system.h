// The system seam: facts about the process the toolbar runs in.
#pragma once

#include <string>

namespace qv {

class System {
 public:
  virtual ~System() = default;
  // Full file name of the toolbar's own module (the DLL on Windows, the
  // executable natively).
  virtual std::string GetModulePath() = 0;
};

}  // namespace qv
