#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/posix/posix_backends.h"

namespace qv {

std::string PosixSystem::GetModulePath() {
  // QUORVANE_MODULE_PATH lets a tool stand the toolbar's module anywhere,
  // so that its files are looked up beside a definition under test.
  if (const char* forced = std::getenv("QUORVANE_MODULE_PATH"); forced && *forced) return forced;
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace qv
