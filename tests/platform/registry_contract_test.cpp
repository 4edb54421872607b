// One set of rules for every registry backend: the in-memory test registry,
// the native file-backed registry and, in Windows builds, advapi32 itself
// (which keeps the suite honest about what Windows does).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/memory_registry.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include "platform/win32/win32_registry.h"
#else
#include "platform/posix/file_registry.h"
#endif

namespace qv {
namespace {

struct Backend {
  std::string name;
  std::function<std::unique_ptr<Registry>()> make;
  bool isWin32 = false;
};

#ifndef _WIN32
// A file registry in a directory of its own, removed with it.
class TempFileRegistry : public FileRegistry {
 public:
  explicit TempFileRegistry(std::unique_ptr<TempDir> dir)
      : FileRegistry(dir->path() + "/registry.reg"), dir_(std::move(dir)) {}

 private:
  std::unique_ptr<TempDir> dir_;
};
#endif

std::vector<Backend> Backends() {
  std::vector<Backend> backends;
  backends.push_back({"Memory", [] { return std::make_unique<MemoryRegistry>(); }});
#ifdef _WIN32
  backends.push_back({"Win32", [] { return std::make_unique<Win32Registry>(); }, true});
#else
  backends.push_back(
      {"File", [] { return std::make_unique<TempFileRegistry>(std::make_unique<TempDir>()); }});
#endif
  return backends;
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}
std::vector<uint8_t> Sz(const std::string& s) {
  std::vector<uint8_t> b = Bytes(s);
  b.push_back(0);
  return b;
}

class RegistryContract : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    registry_ = GetParam().make();
    // A private key under HKCU, so that the Windows backend never touches
    // anything but its own test data.
    testPath_ = "Software\\QuorvaneContractTest" + std::to_string(std::random_device{}());
    ASSERT_EQ(kErrorSuccess, registry_->CreateKey(kHkeyCurrentUser, testPath_, &key_));
  }
  void TearDown() override {
    registry_->CloseKey(key_);
    registry_->DeleteTree(kHkeyCurrentUser, testPath_);
  }

  RegStatus Set(RegHandle key, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data) {
    return registry_->SetValue(key, name, type, data.data(), static_cast<uint32_t>(data.size()));
  }
  RegStatus Set(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    return Set(key_, name, type, data);
  }
  // The value names in enumeration order.
  std::vector<std::string> ValueNames(RegHandle key) {
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
      char name[256];
      uint32_t chars = sizeof name;
      RegStatus s = registry_->EnumValue(key, i, name, &chars, nullptr, nullptr, nullptr);
      if (s != kErrorSuccess) {
        EXPECT_EQ(kErrorNoMoreItems, s);
        break;
      }
      EXPECT_EQ(std::strlen(name), chars);
      names.emplace_back(name, chars);
    }
    return names;
  }
  std::vector<std::string> SubkeyNames(RegHandle key) {
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
      char name[256];
      uint32_t chars = sizeof name;
      RegStatus s = registry_->EnumKey(key, i, name, &chars);
      if (s != kErrorSuccess) {
        EXPECT_EQ(kErrorNoMoreItems, s);
        break;
      }
      names.emplace_back(name, chars);
    }
    return names;
  }

  std::unique_ptr<Registry> registry_;
  std::string testPath_;
  RegHandle key_ = 0;
};

TEST_P(RegistryContract, CreateMakesEveryLevelAndOpenFindsOnlyWhatExists) {
  RegHandle missing = 0;
  EXPECT_EQ(kErrorFileNotFound, registry_->OpenKey(key_, "a", &missing));
  RegKey deep;
  ASSERT_EQ(kErrorSuccess, deep.Create(*registry_, key_, "a\\b\\c"));
  RegKey middle;
  ASSERT_EQ(kErrorSuccess, middle.Open(*registry_, key_, "a\\b"));
  EXPECT_EQ(std::vector<std::string>{"c"}, SubkeyNames(middle.get()));
  // Creating an existing key opens it.
  RegKey again;
  ASSERT_EQ(kErrorSuccess, again.Create(*registry_, key_, "a\\b\\c"));
  ASSERT_EQ(kErrorSuccess, Set(deep.get(), "v", kRegDword, {1, 0, 0, 0}));
  uint32_t size = 0;
  EXPECT_EQ(kErrorSuccess, registry_->QueryValue(again.get(), "v", nullptr, nullptr, &size));
  EXPECT_EQ(4u, size);
}

TEST_P(RegistryContract, SizedBuffersReportTheNeededSize) {
  std::vector<uint8_t> data = Bytes("0123456789");
  ASSERT_EQ(kErrorSuccess, Set("bin", kRegBinary, data));

  uint8_t small[4] = {};
  uint32_t size = sizeof small;
  uint32_t type = 0;
  EXPECT_EQ(kErrorMoreData, registry_->QueryValue(key_, "bin", &type, small, &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(kRegBinary, type);

  // Size only: no buffer.
  size = 0;
  EXPECT_EQ(kErrorSuccess, registry_->QueryValue(key_, "bin", nullptr, nullptr, &size));
  EXPECT_EQ(10u, size);

  // Exactly large enough, and larger.
  for (uint32_t bufferSize : {10u, 64u}) {
    std::vector<uint8_t> buffer(bufferSize, 0xEE);
    size = bufferSize;
    EXPECT_EQ(kErrorSuccess, registry_->QueryValue(key_, "bin", &type, buffer.data(), &size));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(data, std::vector<uint8_t>(buffer.begin(), buffer.begin() + 10));
  }

  // An empty value has size zero.
  ASSERT_EQ(kErrorSuccess, registry_->SetValue(key_, "empty", kRegBinary, nullptr, 0));
  size = 99;
  EXPECT_EQ(kErrorSuccess, registry_->QueryValue(key_, "empty", &type, small, &size));
  EXPECT_EQ(0u, size);
}

TEST_P(RegistryContract, MissingValuesAndKeysAreNotFound) {
  uint32_t size = 4;
  uint8_t buffer[4];
  EXPECT_EQ(kErrorFileNotFound, registry_->QueryValue(key_, "nothing", nullptr, buffer, &size));
  EXPECT_EQ(kErrorFileNotFound, registry_->DeleteValue(key_, "nothing"));
  EXPECT_EQ(kErrorFileNotFound, registry_->DeleteTree(key_, "nothing"));
  ASSERT_EQ(kErrorSuccess, Set("v", kRegSz, Sz("x")));
  ASSERT_EQ(kErrorSuccess, registry_->DeleteValue(key_, "v"));
  size = 4;
  EXPECT_EQ(kErrorFileNotFound, registry_->QueryValue(key_, "v", nullptr, buffer, &size));
}

TEST_P(RegistryContract, QueryIgnoresTheStoredType) {
  ASSERT_EQ(kErrorSuccess, Set("number", kRegDword, {0x31, 0x32, 0, 0}));
  ASSERT_EQ(kErrorSuccess, Set("text", kRegSz, Sz("abc")));
  char text[16] = {};
  uint32_t size = sizeof text;
  uint32_t type = 0;
  ASSERT_EQ(kErrorSuccess,
            registry_->QueryValue(key_, "number", &type, reinterpret_cast<uint8_t*>(text), &size));
  EXPECT_EQ(kRegDword, type);
  EXPECT_EQ(4u, size);
  EXPECT_STREQ("12", text);

  uint8_t dword[4] = {};
  size = sizeof dword;
  ASSERT_EQ(kErrorSuccess, registry_->QueryValue(key_, "text", &type, dword, &size));
  EXPECT_EQ(kRegSz, type);
  EXPECT_EQ(4u, size);
  EXPECT_EQ(0, std::memcmp(dword, "abc", 4));
}

TEST_P(RegistryContract, ValuesEnumerateInTheOrderOfTheirCreation) {
#ifdef _WIN32
  if (GetParam().isWin32 && RunningUnderWine())
    GTEST_SKIP() << "known Wine difference: Wine enumerates values sorted by name, Windows in "
                    "the order of their creation";
#endif
  for (const char* name : {"zeta", "alpha", "Mid", "beta"})
    ASSERT_EQ(kErrorSuccess, Set(name, kRegDword, {1, 0, 0, 0}));
  // Changing a value keeps its place; a deleted and re-added one goes last.
  ASSERT_EQ(kErrorSuccess, Set("alpha", kRegSz, Sz("changed")));
  ASSERT_EQ(kErrorSuccess, registry_->DeleteValue(key_, "zeta"));
  ASSERT_EQ(kErrorSuccess, Set("zeta", kRegDword, {2, 0, 0, 0}));
  EXPECT_EQ((std::vector<std::string>{"alpha", "Mid", "beta", "zeta"}), ValueNames(key_));
}

TEST_P(RegistryContract, EnumerationReportsSizesAndEnds) {
  ASSERT_EQ(kErrorSuccess, Set("a-rather-long-value-name", kRegBinary, Bytes("123456")));
  char name[8];
  uint32_t chars = sizeof name;
  EXPECT_EQ(kErrorMoreData, registry_->EnumValue(key_, 0, name, &chars, nullptr, nullptr, nullptr));

  char big[64];
  chars = sizeof big;
  uint32_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(kErrorSuccess, registry_->EnumValue(key_, 0, big, &chars, &type, nullptr, &size));
  EXPECT_EQ("a-rather-long-value-name", std::string(big, chars));
  EXPECT_EQ(kRegBinary, type);
  EXPECT_EQ(6u, size);

  uint8_t data[2];
  chars = sizeof big;
  size = sizeof data;
  EXPECT_EQ(kErrorMoreData, registry_->EnumValue(key_, 0, big, &chars, nullptr, data, &size));
  EXPECT_EQ(6u, size);

  chars = sizeof big;
  EXPECT_EQ(kErrorNoMoreItems,
            registry_->EnumValue(key_, 1, big, &chars, nullptr, nullptr, nullptr));

  RegKey sub;
  ASSERT_EQ(kErrorSuccess, sub.Create(*registry_, key_, "a-rather-long-subkey"));
  chars = sizeof name;
  EXPECT_EQ(kErrorMoreData, registry_->EnumKey(key_, 0, name, &chars));
  chars = sizeof big;
  EXPECT_EQ(kErrorNoMoreItems, registry_->EnumKey(key_, 1, big, &chars));
}

TEST_P(RegistryContract, DeleteTreeRemovesEverythingBelow) {
  {
    RegKey deep;
    ASSERT_EQ(kErrorSuccess, deep.Create(*registry_, key_, "tree\\one\\two"));
    ASSERT_EQ(kErrorSuccess, Set(deep.get(), "v", kRegSz, Sz("x")));
    RegKey side;
    ASSERT_EQ(kErrorSuccess, side.Create(*registry_, key_, "tree\\side"));
    ASSERT_EQ(kErrorSuccess, Set(side.get(), "w", kRegSz, Sz("y")));
  }
  RegKey keep;
  ASSERT_EQ(kErrorSuccess, keep.Create(*registry_, key_, "keep"));
  ASSERT_EQ(kErrorSuccess, registry_->DeleteTree(key_, "tree"));
  RegHandle gone = 0;
  EXPECT_EQ(kErrorFileNotFound, registry_->OpenKey(key_, "tree", &gone));
  EXPECT_EQ(std::vector<std::string>{"keep"}, SubkeyNames(key_));

  // Without a subkey name the key's contents go and the key stays.
  ASSERT_EQ(kErrorSuccess, Set("top", kRegSz, Sz("x")));
  ASSERT_EQ(kErrorSuccess, registry_->DeleteTree(key_, ""));
  EXPECT_TRUE(SubkeyNames(key_).empty());
  EXPECT_TRUE(ValueNames(key_).empty());
  ASSERT_EQ(kErrorSuccess, Set("after", kRegSz, Sz("x")));
}

TEST_P(RegistryContract, NamesIgnoreCaseAndKeepTheCaseOfCreation) {
  RegKey created;
  ASSERT_EQ(kErrorSuccess, created.Create(*registry_, key_, "MixedCase"));
  RegKey opened;
  ASSERT_EQ(kErrorSuccess, opened.Open(*registry_, key_, "MIXEDCASE"));
  RegKey createdAgain;
  ASSERT_EQ(kErrorSuccess, createdAgain.Create(*registry_, key_, "mixedcase"));
  EXPECT_EQ(std::vector<std::string>{"MixedCase"}, SubkeyNames(key_));

  ASSERT_EQ(kErrorSuccess, Set(opened.get(), "Value", kRegSz, Sz("first")));
  ASSERT_EQ(kErrorSuccess, Set(created.get(), "VALUE", kRegSz, Sz("second")));
  char text[16] = {};
  uint32_t size = sizeof text;
  ASSERT_EQ(kErrorSuccess, registry_->QueryValue(createdAgain.get(), "value", nullptr,
                                                 reinterpret_cast<uint8_t*>(text), &size));
  EXPECT_STREQ("second", text);
  EXPECT_EQ(std::vector<std::string>{"Value"}, ValueNames(created.get()));
  EXPECT_EQ(kErrorSuccess, registry_->DeleteValue(created.get(), "vALUE"));
  EXPECT_TRUE(ValueNames(created.get()).empty());
}

TEST_P(RegistryContract, DefaultValueHasTheEmptyName) {
  ASSERT_EQ(kErrorSuccess, Set("", kRegSz, Sz("default")));
  char text[16] = {};
  uint32_t size = sizeof text;
  ASSERT_EQ(kErrorSuccess,
            registry_->QueryValue(key_, "", nullptr, reinterpret_cast<uint8_t*>(text), &size));
  EXPECT_STREQ("default", text);
  EXPECT_EQ(std::vector<std::string>{""}, ValueNames(key_));
}

TEST_P(RegistryContract, AHandleToADeletedKeyFails) {
  RegKey doomed;
  ASSERT_EQ(kErrorSuccess, doomed.Create(*registry_, key_, "doomed"));
  ASSERT_EQ(kErrorSuccess, registry_->DeleteTree(key_, "doomed"));
  EXPECT_EQ(kErrorKeyDeleted, Set(doomed.get(), "v", kRegSz, Sz("x")));
  uint32_t size = 0;
  EXPECT_EQ(kErrorKeyDeleted, registry_->QueryValue(doomed.get(), "v", nullptr, nullptr, &size));
}

TEST_P(RegistryContract, FlushNeedsAnOpenKeyAndKeepsTheValues) {
  ASSERT_EQ(kErrorSuccess, Set("kept", kRegSz, Sz("yes")));
  EXPECT_EQ(kErrorSuccess, registry_->FlushKey(key_));
  EXPECT_EQ(kErrorSuccess, registry_->FlushKey(kHkeyCurrentUser));
  EXPECT_NE(kErrorSuccess, registry_->FlushKey(0x1234567));
  EXPECT_EQ(std::vector<std::string>{"kept"}, ValueNames(key_));
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryContract, ::testing::ValuesIn(Backends()),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace qv
