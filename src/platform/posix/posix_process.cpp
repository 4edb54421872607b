#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "formats/command_line.h"
#include "platform/components.h"
#include "platform/posix/posix_backends.h"
#include "platform/proxy.h"

extern char** environ;

namespace qv {

bool PosixSystem::StartProcess(const std::string& commandLine) {
  std::vector<std::string> args = SplitWindowsCommandLine(commandLine);
  if (args.empty() || args[0].empty()) return false;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  // Nobody waits for the program; a detached reaper keeps it from
  // lingering as a zombie once it ends.
  std::thread([pid] {
    int status = 0;
    waitpid(pid, &status, 0);
  }).detach();
  return true;
}

bool PosixSystem::GetEnvVar(const std::string& name, std::string* value) {
  const char* text = std::getenv(name.c_str());
  if (text == nullptr) return false;
  *value = text;
  return true;
}

uint32_t PosixSystem::GetSystemColor(int index) {
  (void)index;
  return 0x00F0F0F0u;
}

namespace {

// There is no per-user LAN connection setting to change here: the options
// stay with the process, as the last ones set.
class ProcessProxySettings : public ProxySettings {
 public:
  bool SetConnectionOptions(const std::vector<ProxyOption>& options) override {
    std::lock_guard<std::mutex> lock(mutex_);
    options_ = options;
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<ProxyOption> options_;
};

}  // namespace

ProxySettings& DefaultProxySettings() {
  static ProcessProxySettings proxy;
  return proxy;
}

ComponentHost& DefaultComponentHost() {
  static InProcessComponentHost host;
  return host;
}

}  // namespace qv
