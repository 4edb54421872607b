#include "install/download.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>

#include "platform/services.h"

namespace qv {
namespace {

std::mutex& LimitsMutex() {
  static std::mutex mutex;
  return mutex;
}
FetchLimits& Limits() {
  // The browser thread waits for these: a stalled server costs it at most
  // about half a minute, and nothing the toolbar fetches comes near the cap.
  static FetchLimits limits{10000, 20000, 8u * 1024u * 1024u};
  return limits;
}

// A name no other download (of this or another browser process) uses at
// the same time.
std::string TemporaryNameBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  static const unsigned long long seed = [] {
    std::random_device device;
    return (static_cast<unsigned long long>(device()) << 32) ^ device() ^
           static_cast<unsigned long long>(
               std::chrono::steady_clock::now().time_since_epoch().count());
  }();
  return path + ".download-" + std::to_string(seed % 1000000007ull) + "-" +
         std::to_string(++counter);
}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

}  // namespace

FetchLimits DownloadLimits() {
  std::lock_guard<std::mutex> lock(LimitsMutex());
  return Limits();
}

void SetDownloadLimits(const FetchLimits& limits) {
  std::lock_guard<std::mutex> lock(LimitsMutex());
  Limits() = limits;
}

bool DownloadUrlText(const std::string& url, std::string* text, std::string* error) {
  FetchResult result = GetNetwork().FetchToString(url, DownloadLimits(), text);
  if (result.ok()) return true;
  text->clear();
  SetError(error, result.message);
  return false;
}

bool DownloadUrlToFile(const std::string& url, const std::string& path, std::string* error) {
  const std::string temporary = TemporaryNameBeside(path);
  FetchResult result = GetNetwork().FetchToFile(url, DownloadLimits(), temporary);
  std::error_code ignored;
  if (!result.ok()) {
    std::filesystem::remove(temporary, ignored);
    SetError(error, result.message);
    return false;
  }
  std::error_code moved;
  std::filesystem::rename(temporary, path, moved);
  if (moved) {
    std::filesystem::remove(temporary, ignored);
    SetError(error, "cannot replace " + path + ": " + moved.message());
    return false;
  }
  return true;
}

}  // namespace qv
