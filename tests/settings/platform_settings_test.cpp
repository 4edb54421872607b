// The settings store over this platform's real registry backend: advapi32 in
// Windows builds, the file-backed registry (in a directory of its own)
// natively. The rules are tested in detail over the in-memory registry; this
// checks that nothing is lost between the store and a real backend.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/services.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include "platform/posix/file_registry.h"
#endif

namespace qv {
namespace {

class PlatformSettings : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    registry_ = std::make_unique<FileRegistry>(dir_.File("registry.reg"));
    scoped_ =
        std::make_unique<ScopedService<Registry>>(&PlatformServices::registry, registry_.get());
#endif
  }
  void TearDown() override {
    for (const std::string& name : {long_, number_, flag_}) DeleteSetting(name);
    RegKey product = OpenProductKey();
    if (product) GetRegistry().DeleteTree(product.get(), HistoryKeyName(history_));
  }

  const std::string tag_ = std::to_string(std::random_device{}());
  const std::string long_ = "QvTestLong" + tag_;
  const std::string number_ = "QvTestNumber" + tag_;
  const std::string flag_ = "QvTestFlag" + tag_;
  const std::string history_ = "QvTest" + tag_;
#ifndef _WIN32
  TempDir dir_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<ScopedService<Registry>> scoped_;
#endif
};

TEST_F(PlatformSettings, ValuesAndHistoryGoThroughTheRealBackend) {
  std::string text(1500, 'q');
  SetSettingString(long_, text);
  EXPECT_EQ(text, GetSettingString(long_, ""));
  SetSettingDword(number_, 0xDEADBEEF);
  EXPECT_EQ(0xDEADBEEFu, GetSettingDword(number_, 0));
  EXPECT_EQ("\xEF\xBE\xAD\xDE", GetSettingString(number_, ""));
  SetSettingFlag(flag_, true);
  EXPECT_TRUE(GetSettingFlag(flag_, false));

  RegKey history = OpenProductSubkey(HistoryKeyName(history_), true);
  ASSERT_TRUE(history);
  // In creation order and in name order alike, as Wine enumerates by name.
  std::vector<std::string> entries = {"short", std::string(250, 'w')};
  for (const std::string& e : entries) WriteKeyDword(history, e, 1);
  std::vector<std::string> seen;
  std::vector<bool> complete;
  for (SettingValueEnumerator e(history_, true); e.IsValid(); e.Next()) {
    seen.push_back(e.CurrentName());
    complete.push_back(e.CurrentNameComplete());
  }
  EXPECT_EQ(entries, seen);
  EXPECT_EQ((std::vector<bool>{true, false}), complete);
}

}  // namespace
}  // namespace qv
