#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/services.h"
#include "platform/system.h"
#include "settings/settings.h"
#include "support/memory_registry.h"

namespace qv {
namespace {

// Counts the value queries that reach the registry.
class CountingRegistry : public MemoryRegistry {
 public:
  RegStatus QueryValue(RegHandle key, const std::string& name, uint32_t* type, uint8_t* data,
                       uint32_t* size) override {
    ++queries;
    return MemoryRegistry::QueryValue(key, name, type, data, size);
  }
  RegStatus CreateKey(RegHandle parent, const std::string& subkey, RegHandle* result) override {
    ++opens;
    return MemoryRegistry::CreateKey(parent, subkey, result);
  }
  int queries = 0;
  int opens = 0;
};

class SettingsTest : public ::testing::Test {
 protected:
  // Stores raw bytes as the product key's value name.
  void Raw(const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    RegKey key = OpenProductKey();
    ASSERT_TRUE(key);
    ASSERT_EQ(kErrorSuccess, registry_.SetValue(key.get(), name, type, data.data(),
                                                static_cast<uint32_t>(data.size())));
  }
  std::vector<uint8_t> Stored(const std::string& name, uint32_t* type) {
    RegKey key = OpenProductKey();
    std::vector<uint8_t> data(4096);
    uint32_t size = static_cast<uint32_t>(data.size());
    EXPECT_EQ(kErrorSuccess, registry_.QueryValue(key.get(), name, type, data.data(), &size));
    data.resize(size);
    return data;
  }

  CountingRegistry registry_;
  ScopedService<Registry> scoped_{&PlatformServices::registry, &registry_};
};

TEST_F(SettingsTest, KeysLiveUnderTheCompanyAndProductPath) {
  SetSettingString("Probe", "x");
  RegKey key;
  ASSERT_EQ(kErrorSuccess, key.Open(registry_, kHkeyCurrentUser, "SOFTWARE\\Ostrivel\\quorvane"));
  uint32_t size = 0;
  EXPECT_EQ(kErrorSuccess, registry_.QueryValue(key.get(), "Probe", nullptr, nullptr, &size));
  key.Close();
  // Every operation closes what it opened.
  EXPECT_EQ(0u, registry_.OpenHandleCount());
}

TEST_F(SettingsTest, AScopeKeepsTheProductKeyOpenForItsThreadUntilTheOutermostEnds) {
  SetSettingDword("Count", 7);
  {
    ProductKeyScope outer;
    const int opened = registry_.opens;
    ProductKeyScope inner;
    SetSettingString("Name", "v");
    EXPECT_EQ("v", GetSettingString("Name", ""));
    EXPECT_EQ(7u, GetSettingDword("Count", 0));
    DeleteSetting("Count");
    EXPECT_EQ(0u, GetSettingDword("Count", 0));
    EXPECT_EQ(opened, registry_.opens);
    // Subkeys open below the kept key, and close again.
    RegKey history = OpenProductSubkey("HistoryQ", true);
    EXPECT_EQ(opened + 1, registry_.opens);
    history.Close();
    EXPECT_EQ(1u, registry_.OpenHandleCount());

    // Another thread opens its own keys.
    std::thread([&] {
      const int before = registry_.opens;
      EXPECT_EQ("v", GetSettingString("Name", ""));
      EXPECT_EQ(before + 1, registry_.opens);
    }).join();

    // A registry swapped meanwhile is read as outside a scope.
    MemoryRegistry other;
    ScopedService<Registry> swapped(&PlatformServices::registry, &other);
    SetSettingString("Name", "other");
    EXPECT_EQ("other", GetSettingString("Name", ""));
    EXPECT_EQ(0u, other.OpenHandleCount());
  }
  EXPECT_EQ("v", GetSettingString("Name", ""));
  EXPECT_EQ(0u, registry_.OpenHandleCount());
}

TEST_F(SettingsTest, StringsAreStoredWithTheirZeroAndReadBack) {
  EXPECT_EQ("fallback", GetSettingString("Missing", "fallback"));
  SetSettingString("Name", "value");
  uint32_t type = 0;
  EXPECT_EQ((std::vector<uint8_t>{'v', 'a', 'l', 'u', 'e', 0}), Stored("Name", &type));
  EXPECT_EQ(kRegSz, type);
  EXPECT_EQ("value", GetSettingString("Name", "fallback"));
  SetSettingString("Empty", "");
  EXPECT_EQ("", GetSettingString("Empty", "fallback"));
}

TEST_F(SettingsTest, LongStringsTakeASecondQuery) {
  // 1023 characters and the zero fill the first buffer exactly.
  std::string fits(1023, 'a');
  SetSettingString("Fits", fits);
  registry_.queries = 0;
  EXPECT_EQ(fits, GetSettingString("Fits", ""));
  EXPECT_EQ(1, registry_.queries);

  std::string longer(1024, 'b');
  SetSettingString("Longer", longer);
  registry_.queries = 0;
  EXPECT_EQ(longer, GetSettingString("Longer", ""));
  EXPECT_EQ(2, registry_.queries);

  std::string huge(100000, 'c');
  SetSettingString("Huge", huge);
  EXPECT_EQ(huge, GetSettingString("Huge", ""));
}

TEST_F(SettingsTest, StringReadsStopAtTheFirstZeroAndAtTheDataEnd) {
  Raw("Embedded", kRegSz, {'a', 'b', 0, 'c', 0});
  EXPECT_EQ("ab", GetSettingString("Embedded", "d"));
  // Text stored without its zero ends with the data, not beyond it.
  Raw("Unterminated", kRegSz, {'x', 'y'});
  EXPECT_EQ("xy", GetSettingString("Unterminated", "d"));
  Raw("LongUnterminated", kRegBinary, std::vector<uint8_t>(1500, 'z'));
  EXPECT_EQ(std::string(1500, 'z'), GetSettingString("LongUnterminated", "d"));
  // A number read as a string gives its bytes up to the first zero.
  SetSettingDword("Number", 0x00003231);
  EXPECT_EQ("12", GetSettingString("Number", "d"));
}

TEST_F(SettingsTest, DwordsNeedAtMostFourBytes) {
  EXPECT_EQ(0xFFFFFFFFu, GetSettingDword("ItemWidth_search", 0xFFFFFFFFu));
  SetSettingDword("Count", 42);
  uint32_t type = 0;
  EXPECT_EQ((std::vector<uint8_t>{42, 0, 0, 0}), Stored("Count", &type));
  EXPECT_EQ(kRegDword, type);
  EXPECT_EQ(42u, GetSettingDword("Count", 7));
  SetSettingDword("Max", 0xFFFFFFFFu);
  EXPECT_EQ(0xFFFFFFFFu, GetSettingDword("Max", 0));

  // A string read as a number: its bytes when they fit, else the default.
  SetSettingString("Short", "12");  // "12" and the zero: three bytes
  EXPECT_EQ(0x003231u, GetSettingDword("Short", 7));
  SetSettingString("Four", "abc");
  EXPECT_EQ(0x00636261u, GetSettingDword("Four", 7));
  SetSettingString("Long", "abcd");
  EXPECT_EQ(7u, GetSettingDword("Long", 7));
}

TEST_F(SettingsTest, FlagsAreOnExactlyForTheText1) {
  EXPECT_TRUE(GetSettingFlag("StoreValueHistory", true));
  EXPECT_FALSE(GetSettingFlag("GlobalUpdateFlag", false));
  SetSettingFlag("Flag", true);
  uint32_t type = 0;
  EXPECT_EQ((std::vector<uint8_t>{'1', 0}), Stored("Flag", &type));
  EXPECT_EQ(kRegSz, type);
  EXPECT_TRUE(GetSettingFlag("Flag", false));
  SetSettingFlag("Flag", false);
  EXPECT_FALSE(GetSettingFlag("Flag", true));
  for (const char* text : {"", "01", "1 ", "true", "yes", "2"}) {
    SetSettingString("Flag", text);
    EXPECT_FALSE(GetSettingFlag("Flag", true)) << '"' << text << '"';
  }
  // A number 1 is not the text "1"... unless its bytes spell it.
  SetSettingDword("Flag", 1);
  EXPECT_FALSE(GetSettingFlag("Flag", true));
  SetSettingDword("Flag", '1');
  EXPECT_TRUE(GetSettingFlag("Flag", false));
}

TEST_F(SettingsTest, WithoutARegistryKeyReadsGiveDefaults) {
  // A registry that refuses every key: nothing reported, defaults read.
  class Refusing : public MemoryRegistry {
   public:
    RegStatus CreateKey(RegHandle, const std::string&, RegHandle*) override {
      return kErrorAccessDenied;
    }
  } refusing;
  ScopedService<Registry> scoped(&PlatformServices::registry, &refusing);
  SetSettingString("Name", "value");
  EXPECT_EQ("default", GetSettingString("Name", "default"));
  EXPECT_EQ(3u, GetSettingDword("Name", 3));
  EXPECT_TRUE(GetSettingFlag("Name", true));
  SettingValueEnumerator e("Search", true);
  EXPECT_FALSE(e.IsValid());
  EXPECT_FALSE(OpenProductSubkey("POP3 Accounts", true));
  RegKey none;
  EXPECT_EQ("d", ReadKeyString(none, "x", "d"));
  uint32_t number = 0;
  EXPECT_FALSE(TryReadKeyDword(none, "x", &number));
  WriteKeyString(none, "x", "y");
}

TEST_F(SettingsTest, EnumeratorWalksAHistoryKeyInRegistryOrder) {
  EXPECT_EQ("HistorySearch", HistoryKeyName("Search"));
  {
    SettingValueEnumerator empty("Search", true);
    EXPECT_FALSE(empty.IsValid());
  }
  // The enumerator created the key.
  RegKey history = OpenProductSubkey("HistorySearch", false);
  ASSERT_TRUE(history);
  for (const char* entry : {"second thing", "first thing", "third"})
    WriteKeyDword(history, entry, 1);

  std::vector<std::string> seen;
  for (SettingValueEnumerator e("Search", true); e.IsValid(); e.Next()) {
    EXPECT_TRUE(e.CurrentNameComplete());
    seen.push_back(e.CurrentName());
  }
  EXPECT_EQ((std::vector<std::string>{"second thing", "first thing", "third"}), seen);

  seen.clear();
  for (SettingValueEnumerator e("HistorySearch", false); e.IsValid(); e.Next())
    seen.push_back(e.CurrentName());
  EXPECT_EQ(3u, seen.size());

  // A key deleted under a running enumeration ends it rather than giving
  // the same error at every index for ever.
  SettingValueEnumerator e("Search", true);
  ASSERT_TRUE(e.IsValid());
  history.Close();
  RegKey product = OpenProductKey();
  ASSERT_EQ(kErrorSuccess, registry_.DeleteTree(product.get(), "HistorySearch"));
  e.Next();
  EXPECT_FALSE(e.IsValid());
}

TEST_F(SettingsTest, EnumeratorReadsNamesLongerThanItsBufferWhole) {
  RegKey history = OpenProductSubkey("HistoryLong", true);
  std::string fits(199, 'f');     // 199 characters and the zero fill 200
  std::string tooLong(200, 'l');  // one more does not fit
  std::string huge(5000, 'h');
  WriteKeyDword(history, fits, 1);
  WriteKeyDword(history, tooLong, 1);
  WriteKeyDword(history, huge, 1);
  SettingValueEnumerator e("Long", true);
  ASSERT_TRUE(e.IsValid());
  EXPECT_EQ(fits, e.CurrentName());
  EXPECT_TRUE(e.CurrentNameComplete());
  e.Next();
  ASSERT_TRUE(e.IsValid());
  EXPECT_EQ(tooLong, e.CurrentName());
  EXPECT_FALSE(e.CurrentNameComplete());
  e.Next();
  ASSERT_TRUE(e.IsValid());
  EXPECT_EQ(huge, e.CurrentName());
  EXPECT_FALSE(e.CurrentNameComplete());
  e.Next();
  EXPECT_FALSE(e.IsValid());
  e.Next();
  EXPECT_FALSE(e.IsValid());
}

class FixedModule : public System {
 public:
  std::string path;
  std::string GetModulePath() override { return path; }
};

TEST(InstallFilePath, IsTheModuleDirectoryOutsideConflictFolders) {
  FixedModule module;
  ScopedService<System> scoped(&PlatformServices::system, &module);
  struct Case {
    const char* module;
    const char* expected;
  } cases[] = {
      {"C:\\Program Files\\Quorvane\\quorvane.dll", "C:\\Program Files\\Quorvane\\quorvane.tbd"},
      {"C:\\Program Files\\Quorvane\\CONFLICT.2\\quorvane.dll",
       "C:\\Program Files\\Quorvane\\quorvane.tbd"},
      {"C:\\Q\\CONFLICT.1\\deeper\\quorvane.dll", "C:\\Q\\quorvane.tbd"},
      // Only the upper-case folder name at the start of a level counts.
      {"C:\\Q\\conflict.1\\quorvane.dll", "C:\\Q\\conflict.1\\quorvane.tbd"},
      {"C:\\Q\\NOCONFLICT\\quorvane.dll", "C:\\Q\\NOCONFLICT\\quorvane.tbd"},
      {"/opt/quorvane/bin/quorvane", "/opt/quorvane/bin/quorvane.tbd"},
      {"/opt/quorvane/CONFLICT.3/quorvane", "/opt/quorvane/quorvane.tbd"},
      {"quorvane.dll", "quorvane.tbd"},
  };
  for (const Case& c : cases) {
    module.path = c.module;
    EXPECT_EQ(c.module, GetModulePath());
    EXPECT_EQ(c.expected, GetInstallFilePath("quorvane.tbd")) << c.module;
  }
}

}  // namespace
}  // namespace qv
