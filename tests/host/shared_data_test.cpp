// SharedData between processes: the test program starts copies of itself
// that do one job on the block and end (see RunChildJob), while the test
// watches the block from its own process.
#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/shared_data.h"
#include "popup/site_key.h"
#include "platform/services.h"
#include "platform/system.h"
#include "simulators/message_recorder.h"

namespace qv {
namespace {

constexpr char kJobVariable[] = "QV_SHARED_DATA_JOB";

uint32_t ThisProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<uint32_t>(getpid());
#endif
}

// A job is "verb block mutex number": register <number> windows, count
// <number> blocked pop-ups, append <number> hosts to the whitelist, or take
// the mutex and end without giving it back.
int RunChildJob(const std::string& job) {
  std::istringstream in(job);
  std::string verb, block, mutexName;
  int number = 0;
  in >> verb >> block >> mutexName >> number;
  MessageRecorder recorder;
  ScopedService<UserMessages> quiet(&PlatformServices::messages, &recorder);
  if (verb == "die-holding") {
    auto mutex = GetSharedMemory().OpenMutex(mutexName);
    if (!mutex || mutex->Lock(1000) != LockResult::kAcquired) return 2;
#ifdef _WIN32
    ExitProcess(0);
#else
    _exit(0);
#endif
  }
  auto data = SharedData::Open(block, mutexName);
  if (!data) return 2;
  const uint32_t pid = ThisProcessId();
  for (int i = 0; i < number; ++i) {
    if (verb == "register") {
      if (!data->RegisterBrowserWindow(pid * 1000ull + i, pid * 1000ull + i, i, pid)) return 1;
    } else if (verb == "count") {
      data->CountBlockedPopup();
    } else if (verb == "whitelist") {
      const std::string host = std::to_string(pid) + "-" + std::to_string(i) + ".test!";
      auto result = data->UpdateWhitelist([&](std::string& text) { text += host; });
      if (result != WhitelistResult::kOk) return 1;
    }
  }
  return 0;
}

// Runs before the tests: a copy started as a child does its job and ends.
const bool kIsChild = [] {
  const char* job = std::getenv(kJobVariable);
  if (!job) return false;
  std::exit(RunChildJob(job));
}();

class Child {
 public:
  explicit Child(const std::string& job) {
    const std::string program = GetSystem().GetModulePath();
#ifdef _WIN32
    SetEnvironmentVariableA(kJobVariable, job.c_str());
    std::string line = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    started_ = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info);
    SetEnvironmentVariableA(kJobVariable, nullptr);
    if (started_) {
      CloseHandle(info.hThread);
      process_ = info.hProcess;
    }
#else
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back(std::string(kJobVariable) + "=" + job);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = program;
    char* argv[] = {arg0.data(), nullptr};
    started_ = posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0;
#endif
  }
  // The exit code, or -1 when the child never started or did not end well.
  int Wait() {
    if (!started_) return -1;
    started_ = false;
#ifdef _WIN32
    DWORD code = 1;
    if (WaitForSingleObject(process_, 60000) != WAIT_OBJECT_0)
      code = static_cast<DWORD>(-1);
    else
      GetExitCodeProcess(process_, &code);
    CloseHandle(process_);
    return static_cast<int>(code);
#else
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_ || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
  }
  ~Child() {
    Wait();
  }

 private:
  bool started_ = false;
#ifdef _WIN32
  HANDLE process_ = nullptr;
#else
  pid_t pid_ = 0;
#endif
};

class SharedDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Unique per test process: the cases of a run go in parallel.
    const std::string unique =
        std::to_string(ThisProcessId()) + "-" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    block_ = "qvtest-data-" + unique;
    mutex_ = "qvtest-lock-" + unique;
    data_ = SharedData::Open(block_, mutex_);
    ASSERT_TRUE(data_);
  }
  void TearDown() override {
    data_.reset();
    GetSharedMemory().RemoveNames(block_, mutex_);
  }
  std::string Job(const std::string& verb, int number) const {
    return verb + " " + block_ + " " + mutex_ + " " + std::to_string(number);
  }
  SharedDataLayout& Raw() { return *static_cast<SharedDataLayout*>(raw_->data()); }
  void OpenRaw() {
    raw_ = GetSharedMemory().OpenBlock(block_, sizeof(SharedDataLayout));
    ASSERT_TRUE(raw_);
  }

  std::string block_, mutex_;
  std::unique_ptr<SharedData> data_;
  std::unique_ptr<SharedMemoryBlock> raw_;
  MessageRecorder messages_;
  ScopedService<UserMessages> quiet_{&PlatformServices::messages, &messages_};
};

TEST_F(SharedDataTest, StartsWithTheBlockersDefaultsAndTheVendorsHosts) {
  const BlockerSettings s = data_->GetBlockerSettings();
  EXPECT_EQ(0u, s.enablePopupBlocker);
  EXPECT_EQ(17u, s.tempDisableBlockerKey);
  EXPECT_EQ(1u, s.showPopupPageStatus);
  EXPECT_EQ(1u, s.blockResize);
  EXPECT_EQ(0u, data_->TotalBlockedPopups());
  std::string text;
  ASSERT_TRUE(data_->GetWhitelist(&text));
  // A closed list of the vendor's own hosts, so that a host toggled in
  // before the settings are loaded is a host of its own.
  EXPECT_EQ(InitialUserWhitelist(), text);
  EXPECT_EQ("!ostrivel.com!toolbar.ostrivel.com!", text);
  // The settings are loaded once for all openers of the block.
  auto other = SharedData::Open(block_, mutex_);
  ASSERT_TRUE(other);
  EXPECT_TRUE(data_->ClaimSettingsLoad());
  EXPECT_FALSE(other->ClaimSettingsLoad());
  BlockerSettings changed = s;
  changed.enablePopupBlocker = 1;
  changed.tempDisableBlockerKey = 0xFFFFFFFF;
  ASSERT_TRUE(other->SetBlockerSettings(changed));
  EXPECT_EQ(1u, data_->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(0xFFFFFFFFu, data_->GetBlockerSettings().tempDisableBlockerKey);
}

TEST_F(SharedDataTest, TableKeepsOneEntryPerWindowAndStaysPacked) {
  for (uint32_t i = 1; i <= 10; ++i)
    ASSERT_TRUE(data_->RegisterBrowserWindow(i, 100 + i, 50 + i, 7));
  EXPECT_TRUE(data_->RegisterBrowserWindow(3, 103, 99, 7));  // already there
  EXPECT_EQ(10u, data_->BrowserWindows().size());
  EXPECT_EQ(105u, data_->FindBandByWindow(5));
  EXPECT_EQ(105u, data_->FindBandByThread(55));
  EXPECT_EQ(0u, data_->FindBandByWindow(42));

  EXPECT_FALSE(data_->UnregisterBrowserWindow(105, 5, 8));  // another process's
  ASSERT_TRUE(data_->UnregisterBrowserWindow(105, 5, 7));
  const auto entries = data_->BrowserWindows();
  std::vector<uint64_t> windows;
  for (const auto& e : entries) windows.push_back(e.frameWindow);
  EXPECT_EQ((std::vector<uint64_t>{1, 2, 3, 4, 6, 7, 8, 9, 10}), windows);
  EXPECT_EQ(0u, data_->FindBandByWindow(5));
  EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(SharedDataTest, ProcessesFillOneTableAndTheHundredAndFirstIsRefused) {
  {
    Child a(Job("register", 40)), b(Job("register", 40));
    EXPECT_EQ(0, a.Wait());
    EXPECT_EQ(0, b.Wait());
  }
  const auto entries = data_->BrowserWindows();
  ASSERT_EQ(80u, entries.size());
  std::vector<uint32_t> pids;
  for (const auto& e : entries) {
    EXPECT_NE(ThisProcessId(), e.processId);  // written by the children, not by this process
    if (pids.empty() || pids.back() != e.processId) pids.push_back(e.processId);
    EXPECT_EQ(e.processId * 1000ull + e.threadId, e.band);
  }
  EXPECT_GE(pids.size(), 2u);  // both children's entries, interleaved or not

  for (uint32_t i = 0; i < 20; ++i) ASSERT_TRUE(data_->RegisterBrowserWindow(i, i, i, 1));
  EXPECT_TRUE(messages_.messages().empty());
  EXPECT_FALSE(data_->RegisterBrowserWindow(777, 777, 1, 1));
  ASSERT_EQ(1u, messages_.count());
  EXPECT_EQ("Too many explorer windows", messages_.messages()[0].text);
  EXPECT_EQ("quorvane", messages_.messages()[0].caption);
  EXPECT_EQ(kMbOk, messages_.messages()[0].style);
  // Once one leaves, there is room again.
  ASSERT_TRUE(data_->UnregisterBrowserWindow(0, 0, 1));
  EXPECT_TRUE(data_->RegisterBrowserWindow(777, 777, 1, 1));
  EXPECT_EQ(1u, messages_.count());
}

TEST_F(SharedDataTest, CountsFromSeveralProcessesAddUpExactly) {
  {
    std::vector<std::unique_ptr<Child>> children;
    for (int i = 0; i < 4; ++i) children.push_back(std::make_unique<Child>(Job("count", 5000)));
    for (int i = 0; i < 5000; ++i) data_->CountBlockedPopup();
    for (auto& c : children) EXPECT_EQ(0, c->Wait());
  }
  EXPECT_EQ(25000u, data_->TotalBlockedPopups());
}

TEST_F(SharedDataTest, WhitelistChangesFromSeveralProcessesAreAllKept) {
  ASSERT_EQ(WhitelistResult::kOk, data_->SetWhitelist("!"));
  {
    Child a(Job("whitelist", 30)), b(Job("whitelist", 30));
    EXPECT_EQ(0, a.Wait());
    EXPECT_EQ(0, b.Wait());
  }
  std::string text;
  ASSERT_TRUE(data_->GetWhitelist(&text));
  size_t hosts = 0;
  for (char c : text) hosts += c == '!';
  EXPECT_EQ(61u, hosts) << text;  // the leading '!' and one per host
}

TEST_F(SharedDataTest, WhitelistRoundTripsAndRefusesOverLongText) {
  ASSERT_EQ(WhitelistResult::kOk, data_->SetWhitelist("!a.test!b.test!"));
  auto other = SharedData::Open(block_, mutex_);
  std::string text;
  ASSERT_TRUE(other->GetWhitelist(&text));
  EXPECT_EQ("!a.test!b.test!", text);

  const std::string longest = "!" + std::string(kMaxWhitelistLength - 2, 'x') + "!";
  ASSERT_EQ(WhitelistResult::kOk, data_->SetWhitelist(longest));
  EXPECT_EQ(WhitelistResult::kTooLong, data_->SetWhitelist(longest + "y!"));
  bool written = false;
  EXPECT_EQ(WhitelistResult::kTooLong,
            data_->UpdateWhitelist([](std::string& t) { t += "c.test!"; },
                                   [&](const std::string&) { written = true; }));
  EXPECT_FALSE(written);
  ASSERT_TRUE(other->GetWhitelist(&text));
  EXPECT_EQ(longest, text);
}

// The block lives as long as some opener holds it: the next system start
// loads the settings afresh instead of finding the last one's block.
TEST_F(SharedDataTest, BlockLivesWhileSomeOpenerHoldsItAndThenGoes) {
  ASSERT_TRUE(data_->SetTotalBlockedPopups(5));
  EXPECT_TRUE(data_->ClaimSettingsLoad());
  auto other = SharedData::Open(block_, mutex_);
  ASSERT_TRUE(other);
  data_.reset();
  auto third = SharedData::Open(block_, mutex_);
  ASSERT_TRUE(third);
  EXPECT_EQ(5u, third->TotalBlockedPopups());
  other.reset();
  third.reset();
  data_ = SharedData::Open(block_, mutex_);
  ASSERT_TRUE(data_);
  EXPECT_EQ(0u, data_->TotalBlockedPopups());
  EXPECT_TRUE(data_->ClaimSettingsLoad());
}

TEST_F(SharedDataTest, BlockOfAnotherLayoutIsRefusedAndLeftAlone) {
  OpenRaw();
  Raw().version = kSharedDataVersion + 1;
  const SharedDataLayout before = Raw();
  std::string error;
  EXPECT_FALSE(SharedData::Open(block_, mutex_, &error));
  EXPECT_NE(std::string::npos, error.find("another layout")) << error;
  EXPECT_EQ(0, std::memcmp(&before, &Raw(), sizeof before));
}

TEST_F(SharedDataTest, DamagedCountNeverReachesOutsideTheTable) {
  OpenRaw();
  Raw().windowCount = 5000;
  EXPECT_EQ(size_t{kMaxBrowserWindows}, data_->BrowserWindows().size());
  EXPECT_FALSE(data_->RegisterBrowserWindow(1, 1, 1, 1));
  EXPECT_EQ(1u, messages_.count());
  Raw().windowCount = -3;
  EXPECT_TRUE(data_->BrowserWindows().empty());
  EXPECT_TRUE(data_->RegisterBrowserWindow(1, 1, 1, 1));
  EXPECT_EQ(1, Raw().windowCount);
}

TEST_F(SharedDataTest, BusyMutexFailsInTimeAndDeadHolderReleasesIt) {
  auto mutex = GetSharedMemory().OpenMutex(mutex_);
  ASSERT_TRUE(mutex);
  {
    // Held by another thread, as by another process.
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
      SharedLock lock(*mutex, 1000);
      held = true;
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(data_->RegisterBrowserWindow(1, 1, 1, 1));
    EXPECT_EQ(WhitelistResult::kBusy, data_->SetWhitelist("!a.test!"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(1u, data_->CountBlockedPopup());  // counts without the mutex
    EXPECT_TRUE(messages_.messages().empty());  // busy is not "too many windows"
    release = true;
    holder.join();
  }
  Child dies(Job("die-holding", 0));
  EXPECT_EQ(0, dies.Wait());
  EXPECT_TRUE(data_->RegisterBrowserWindow(1, 1, 1, 1));
}

}  // namespace
}  // namespace qv
