// The file-backed registry beyond the shared contract: what another process
// sees, what the file holds, what happens to damaged files.
#ifndef _WIN32

#include "platform/posix/file_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/reg_text.h"
#include "platform/services.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

RegStatus SetText(Registry& r, RegHandle key, const std::string& name, const std::string& text) {
  return r.SetValue(key, name, kRegSz, reinterpret_cast<const uint8_t*>(text.c_str()),
                    static_cast<uint32_t>(text.size() + 1));
}

std::string GetText(Registry& r, RegHandle key, const std::string& name) {
  char buffer[256] = {};
  uint32_t size = sizeof buffer - 1;
  RegStatus s = r.QueryValue(key, name, nullptr, reinterpret_cast<uint8_t*>(buffer), &size);
  return s == kErrorSuccess ? std::string(buffer) : "<" + std::to_string(s) + ">";
}

uint32_t GetNumber(Registry& r, RegHandle key, const std::string& name) {
  uint32_t n = 0;
  uint32_t size = sizeof n;
  if (r.QueryValue(key, name, nullptr, reinterpret_cast<uint8_t*>(&n), &size) != kErrorSuccess)
    return 0;
  return n;
}

class FileRegistryTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string path_ = dir_.File("config/quorvane/registry.reg");
};

TEST_F(FileRegistryTest, ReadingCreatesNothingAndTheFirstChangeCreatesThePrivateFile) {
  FileRegistry registry(path_);
  RegHandle key = 0;
  EXPECT_EQ(kErrorFileNotFound, registry.OpenKey(kHkeyCurrentUser, "Software", &key));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("config")));

  RegKey product;
  ASSERT_EQ(kErrorSuccess, product.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(registry, product.get(), "Name", "value"));
  struct stat st;
  ASSERT_EQ(0, stat(path_.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 0777);
  EXPECT_EQ(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
      "\"Name\"=\"value\"\r\n",
      ReadFile(path_));
  // No temporary files are left behind; only the file and its lock.
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_.File("config/quorvane")))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"registry.reg", "registry.reg.lock"}), names);
}

TEST_F(FileRegistryTest, AnotherInstanceSeesEveryChangeAndHandlesSurviveReloads) {
  FileRegistry one(path_);
  FileRegistry two(path_);
  RegKey a;
  ASSERT_EQ(kErrorSuccess, a.Create(one, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(one, a.get(), "first", "1"));
  RegKey b;
  ASSERT_EQ(kErrorSuccess, b.Open(two, kHkeyCurrentUser, "SOFTWARE\\test"));
  EXPECT_EQ("1", GetText(two, b.get(), "first"));

  // The first instance's handle names its key after the file was replaced.
  ASSERT_EQ(kErrorSuccess, SetText(two, b.get(), "second", "2"));
  EXPECT_EQ("2", GetText(one, a.get(), "second"));
  ASSERT_EQ(kErrorSuccess, one.DeleteValue(a.get(), "first"));
  EXPECT_EQ("<2>", GetText(two, b.get(), "first"));

  ASSERT_EQ(kErrorSuccess, two.DeleteTree(kHkeyCurrentUser, "Software"));
  EXPECT_EQ(kErrorKeyDeleted, SetText(one, a.get(), "third", "3"));
  RegHandle gone = 0;
  EXPECT_EQ(kErrorFileNotFound, one.OpenKey(kHkeyCurrentUser, "Software", &gone));
}

TEST_F(FileRegistryTest, HistoryKeysOfAnyItemNameAreReadBack) {
  const std::string item = "two\nlines]\r\\n";
  {
    FileRegistry registry(path_);
    RegKey history;
    ASSERT_EQ(kErrorSuccess,
              history.Create(registry, kHkeyCurrentUser, "Software\\Test\\History" + item));
    const uint8_t one[4] = {1, 0, 0, 0};
    ASSERT_EQ(kErrorSuccess, registry.SetValue(history.get(), "entry\n" + item, kRegDword, one, 4));
  }
  FileRegistry again(path_);
  RegKey history;
  ASSERT_EQ(kErrorSuccess, history.Open(again, kHkeyCurrentUser, "Software\\Test\\History" + item));
  char name[64] = {};
  uint32_t chars = sizeof name;
  ASSERT_EQ(kErrorSuccess,
            again.EnumValue(history.get(), 0, name, &chars, nullptr, nullptr, nullptr));
  EXPECT_EQ("entry\n" + item, std::string(name, chars));
  // The item name's backslash made a subkey, as it does on Windows.
  RegHandle nested = 0;
  EXPECT_EQ(kErrorSuccess,
            again.OpenKey(kHkeyCurrentUser, "Software\\Test\\Historytwo\nlines]\r", &nested));
  again.CloseKey(nested);
}

TEST_F(FileRegistryTest, AHandEditedFileIsReadAgain) {
  FileRegistry registry(path_);
  RegKey key;
  ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "v", "old"));
  std::string text = ReadFile(path_);
  text.replace(text.find("old"), 3, "new, longer");
  WriteFile(path_, text);
  EXPECT_EQ("new, longer", GetText(registry, key.get(), "v"));
}

TEST_F(FileRegistryTest, UnreadableLinesAreReportedAndTheOriginalKept) {
  std::filesystem::create_directories(dir_.File("config/quorvane"));
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\Software\\Test]\n"
      "\"good\"=\"kept\"\n"
      "\"bad\"=hex:zz\n"
      "\"also good\"=dword:00000005\n";
  WriteFile(path_, damaged);
  FileRegistry registry(path_);
  RegKey key;
  testing::internal::CaptureStderr();
  ASSERT_EQ(kErrorSuccess, key.Open(registry, kHkeyCurrentUser, "Software\\Test"));
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, report.find(path_ + ":4: bad hex byte \"zz\"; value skipped"))
      << report;
  EXPECT_EQ("kept", GetText(registry, key.get(), "good"));
  EXPECT_EQ(5u, GetNumber(registry, key.get(), "also good"));

  testing::internal::CaptureStderr();
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "new", "x"));
  report = testing::internal::GetCapturedStderr();
  std::vector<std::string> kept;
  for (const auto& e : std::filesystem::directory_iterator(dir_.File("config/quorvane")))
    if (e.path().filename().string().find(".unreadable-") != std::string::npos)
      kept.push_back(e.path().string());
  ASSERT_EQ(1u, kept.size()) << report;
  EXPECT_EQ(damaged, ReadFile(kept[0]));
  EXPECT_NE(std::string::npos, report.find(kept[0]));
  // The new file is clean: no second copy on the next change.
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "newer", "y"));
  RegTree tree;
  std::vector<RegTextIssue> issues;
  ParseRegText(ReadFile(path_), tree, &issues);
  EXPECT_TRUE(issues.empty());
}

TEST_F(FileRegistryTest, AFailedSaveIsReportedAndNotSeenLater) {
  FileRegistry registry(path_);
  RegKey key;
  ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "v", "saved"));
  // A directory where the temporary file would go makes the save fail, even
  // for the superuser.
  std::string temp = path_ + ".tmp." + std::to_string(getpid());
  ASSERT_TRUE(std::filesystem::create_directory(temp));
  EXPECT_NE(kErrorSuccess, SetText(registry, key.get(), "v", "lost"));
  EXPECT_EQ("saved", GetText(registry, key.get(), "v"));
  std::filesystem::remove(temp);
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "v", "saved again"));
  FileRegistry other(path_);
  RegKey again;
  ASSERT_EQ(kErrorSuccess, again.Open(other, kHkeyCurrentUser, "Software\\Test"));
  EXPECT_EQ("saved again", GetText(other, again.get(), "v"));
}

// Several processes change one file at the same time: every change of every
// process must be in the file at the end, and the file must stay readable.
TEST_F(FileRegistryTest, ConcurrentProcessesLoseNothing) {
  constexpr int kProcesses = 4;
  constexpr int kRounds = 15;
  {
    FileRegistry registry(path_);
    RegKey key;
    ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Shared"));
  }
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      FileRegistry registry(path_);
      RegKey key;
      bool ok = key.Open(registry, kHkeyCurrentUser, "Software\\Shared") == kErrorSuccess;
      std::string counter = "count" + std::to_string(p);
      for (int r = 0; ok && r < kRounds; ++r) {
        ok = SetText(registry, key.get(), "p" + std::to_string(p) + "-" + std::to_string(r), "x") ==
             kErrorSuccess;
        uint32_t n = GetNumber(registry, key.get(), counter) + 1;
        ok = ok && registry.SetValue(key.get(), counter, kRegDword,
                                     reinterpret_cast<const uint8_t*>(&n), 4) == kErrorSuccess;
        // A key per round too, so that keys are created concurrently.
        RegKey sub;
        ok = ok && sub.Create(registry, key.get(), "k" + std::to_string(r)) == kErrorSuccess &&
             SetText(registry, sub.get(), counter, "y") == kErrorSuccess;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  FileRegistry registry(path_);
  RegKey key;
  ASSERT_EQ(kErrorSuccess, key.Open(registry, kHkeyCurrentUser, "Software\\Shared"));
  for (int p = 0; p < kProcesses; ++p) {
    EXPECT_EQ(uint32_t(kRounds), GetNumber(registry, key.get(), "count" + std::to_string(p)));
    for (int r = 0; r < kRounds; ++r) {
      EXPECT_EQ("x",
                GetText(registry, key.get(), "p" + std::to_string(p) + "-" + std::to_string(r)));
      RegKey sub;
      ASSERT_EQ(kErrorSuccess, sub.Open(registry, key.get(), "k" + std::to_string(r)));
      EXPECT_EQ("y", GetText(registry, sub.get(), "count" + std::to_string(p)));
    }
  }
  RegTree tree;
  std::vector<RegTextIssue> issues;
  ParseRegText(ReadFile(path_), tree, &issues);
  EXPECT_TRUE(issues.empty());
}

TEST_F(FileRegistryTest, ADeletedDirectoryIsMadeAgain) {
  FileRegistry registry(path_);
  RegKey key;
  ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  std::filesystem::remove_all(dir_.File("config"));
  EXPECT_EQ(kErrorKeyDeleted, SetText(registry, key.get(), "v", "x"));
  ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "v", "x"));
  EXPECT_TRUE(std::filesystem::exists(path_ + ".lock"));
  EXPECT_NE(std::string::npos, ReadFile(path_).find("\"v\"=\"x\""));
}

TEST_F(FileRegistryTest, AFlushThatCannotReachTheDiskIsReported) {
  FileRegistry registry(path_);
  RegKey key;
  ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "v", "x"));
  std::filesystem::remove_all(dir_.File("config"));
  EXPECT_NE(kErrorSuccess, registry.FlushKey(kHkeyCurrentUser));

  ASSERT_EQ(kErrorSuccess, key.Create(registry, kHkeyCurrentUser, "Software\\Test"));
  ASSERT_EQ(kErrorSuccess, SetText(registry, key.get(), "v", "y"));
  EXPECT_EQ(kErrorSuccess, registry.FlushKey(key.get()));
}

TEST(FileRegistryPath, IsTheNativeDefault) {
  auto* registry = dynamic_cast<FileRegistry*>(&GetRegistry());
  ASSERT_NE(nullptr, registry);
  EXPECT_EQ(FileRegistry::DefaultPath(), registry->path());
}

TEST(FileRegistryPath, FollowsTheEnvironment) {
  struct Saved {
    const char* name;
    std::string value;
    bool set;
  } saved[] = {
      {"QUORVANE_REGISTRY", "", false}, {"XDG_CONFIG_HOME", "", false}, {"HOME", "", false}};
  for (Saved& s : saved)
    if (const char* v = std::getenv(s.name)) s.value = v, s.set = true;

  setenv("QUORVANE_REGISTRY", "/somewhere/else.reg", 1);
  EXPECT_EQ("/somewhere/else.reg", FileRegistry::DefaultPath());
  unsetenv("QUORVANE_REGISTRY");
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  setenv("HOME", "/home/user", 1);
  EXPECT_EQ("/xdg/quorvane/registry.reg", FileRegistry::DefaultPath());
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ("/home/user/.config/quorvane/registry.reg", FileRegistry::DefaultPath());

  for (Saved& s : saved) {
    if (s.set)
      setenv(s.name, s.value.c_str(), 1);
    else
      unsetenv(s.name);
  }
}

}  // namespace
}  // namespace qv

#endif  // _WIN32
