#include "support/temp_dir.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace qv {

TempDir::TempDir() {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path base = fs::temp_directory_path(error);
  if (error) base = ".";
  std::random_device random;
  for (;;) {
    fs::path candidate = base / ("qv-test-" + std::to_string(random()) + std::to_string(random()));
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.generic_string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

}  // namespace qv
