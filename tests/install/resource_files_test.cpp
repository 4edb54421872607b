#include "install/resource_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#ifdef QV_HAVE_ZLIB
#include <zlib.h>
#endif

#include "install/download.h"
#include "install/vendor_site.h"
#include "platform/services.h"
#include "settings/settings.h"
#include "simulators/message_recorder.h"
#include "support/memory_registry.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::ScriptedHttpServer;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FileCrc32, IsTheStandardCrc) {
  EXPECT_EQ(Crc32(0, "abc", 3), 891568578u);
  TempDir dir;
  std::mt19937 random(7);
  // Sizes around the 1024-byte blocks the file is read in.
  for (size_t size : {0u, 1u, 1023u, 1024u, 1025u, 5000u}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    WriteFile(dir.File("f"), bytes);
#ifdef QV_HAVE_ZLIB
    const uLong expected = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()),
                                 static_cast<uInt>(bytes.size()));
    EXPECT_EQ(FileCrc32(dir.File("f")), static_cast<uint32_t>(expected)) << size;
#endif
    EXPECT_EQ(FileCrc32(dir.File("f")), Crc32(0, bytes.data(), bytes.size())) << size;
  }
  EXPECT_EQ(FileCrc32(dir.File("missing")), 0u);
  EXPECT_EQ(FileCrc32(dir.path()), 0u);
}

TEST(FileCrc32, StoredAsASignedNumber) {
  EXPECT_EQ(SignedCrcText(891568578u), "891568578");
  EXPECT_EQ(SignedCrcText(0x80000000u), "-2147483648");
  EXPECT_EQ(SignedCrcText(0xFFFFFFFFu), "-1");
  EXPECT_EQ(SignedCrcText(0), "0");
}

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

TEST(ResolveInstallFileName, KeepsNamesInsideTheDirectory) {
  const struct {
    const char* name;
    std::string local;  // after "dir" + separator
    const char* url;
  } accepted[] = {
      {"tbil.bmp", "tbil.bmp", "tbil.bmp"},
      {"img/hot.bmp", std::string("img") + kSep + "hot.bmp", "img/hot.bmp"},
      {"img\\hot.bmp", std::string("img") + kSep + "hot.bmp", "img/hot.bmp"},
      {"my icon.ico", "my icon.ico", "my%20icon.ico"},
      {".hidden", ".hidden", ".hidden"},
      {"a..b.bmp", "a..b.bmp", "a..b.bmp"},
  };
  for (const auto& c : accepted) {
    std::string local, url, error;
    ASSERT_TRUE(ResolveInstallFileName("dir", c.name, &local, &url, &error)) << c.name << error;
    EXPECT_EQ(local, std::string("dir") + kSep + c.local) << c.name;
    EXPECT_EQ(url, c.url) << c.name;
  }
  for (const char* name : {"",
                           "..",
                           "../x.bmp",
                           "..\\..\\x.bmp",
                           "img/../../x.bmp",
                           "/etc/passwd",
                           "\\x.bmp",
                           "\\\\server\\share\\x.bmp",
                           "C:\\x.bmp",
                           "C:x.bmp",
                           "http://evil/x.bmp",
                           "x.bmp:stream",
                           "img//x.bmp",
                           "img/",
                           "...",
                           ".. ",
                           "x.bmp.",
                           "x.bmp ",
                           "./x.bmp",
                           "NUL",
                           "con.bmp",
                           "img/COM1.txt",
                           "a\nb",
                           "a*b",
                           "x?.bmp",
                           "x|y"}) {
    std::string local = "unchanged", error;
    EXPECT_FALSE(ResolveInstallFileName("dir", name, &local, nullptr, &error)) << name;
    EXPECT_EQ(local, "unchanged") << name;
    EXPECT_FALSE(error.empty()) << name;
  }
  std::string local;
  EXPECT_FALSE(ResolveInstallFileName("dir", std::string(241, 'a'), &local));
}

class EnsureResourceFileTest : public ::testing::Test {
 protected:
  EnsureResourceFileTest() : lookup(dir.path()) {
    SetVendorBaseUrl(server.BaseUrl());
    saved = DownloadLimits();
    SetDownloadLimits({2000, 1000, 64 * 1024});
  }
  ~EnsureResourceFileTest() override {
    SetVendorBaseUrl("");
    SetDownloadLimits(saved);
  }
  std::string Setting(const std::string& name) { return GetSettingString(name, "(none)"); }
  bool InHistory(const std::string& path) {
    RegKey history = OpenProductSubkey("HistoryResourceFiles", false);
    uint32_t value = 0;
    return history && TryReadKeyDword(history, path, &value) && value == 1;
  }

  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  MessageRecorder messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  ScriptedHttpServer server;
  TempDir dir;
  FetchingResourceLookup lookup;
  FetchLimits saved;
};

TEST_F(EnsureResourceFileTest, FetchesAMissingFileAndRecordsIt) {
  server.SetFile("/quorvane/tbil.bmp", "abc");
  std::string name = "tbil.bmp";
  ASSERT_TRUE(lookup.EnsureResourceFile(name));
  const std::string local = dir.path() + kSep + "tbil.bmp";
  EXPECT_EQ(name, local);
  EXPECT_EQ(ReadFile(local), "abc");
  EXPECT_EQ(Setting("tbil.bmp"), "891568578");
  EXPECT_TRUE(InHistory(local));
  EXPECT_EQ(messages.count(), 0u);

  // There now and no update pending: asked again, nothing is fetched.
  server.ClearRequests();
  name = "tbil.bmp";
  ASSERT_TRUE(lookup.EnsureResourceFile(name));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(EnsureResourceFileTest, AnUpdateFetchesAgainAndAFailedFetchKeepsTheCopy) {
  const std::string local = dir.path() + kSep + "tbil.bmp";
  WriteFile(local, "old");
  SetSettingFlag("GlobalUpdateFlag", true);
  server.SetFile("/quorvane/tbil.bmp", "new");
  std::string name = "tbil.bmp";
  ASSERT_TRUE(lookup.EnsureResourceFile(name));
  EXPECT_EQ(ReadFile(local), "new");

  // An error page, a body cut short, a stall: the file in place stays.
  using Reply = ScriptedHttpServer::Reply;
  for (Reply reply :
       {Reply{Reply::kWhole, 404, "<html>not found</html>"},
        Reply{Reply::kCutOff, 200, std::string(3000, 'x')}, Reply{Reply::kStall, 200, ""}}) {
    server.Set("/quorvane/tbil.bmp", reply);
    name = "tbil.bmp";
    ASSERT_TRUE(lookup.EnsureResourceFile(name));
    EXPECT_EQ(name, local);
    EXPECT_EQ(ReadFile(local), "new");
  }
  EXPECT_EQ(messages.count(), 0u);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u);
}

TEST_F(EnsureResourceFileTest, AMissingFileThatCannotBeFetchedIsReportedOnce) {
  std::string name = "quorvane.tbd";
  EXPECT_FALSE(lookup.EnsureResourceFile(name));
  EXPECT_EQ(name, "quorvane.tbd");
  ASSERT_EQ(messages.count(), 1u);
  const RecordedMessage shown = messages.messages()[0];
  EXPECT_EQ(shown.text, "Unable to download file quorvane.tbd from " + server.BaseUrl() +
                            "quorvane/quorvane.tbd");
  EXPECT_EQ(shown.caption, "Ostrivel Toolbar Alert");
  EXPECT_EQ(shown.style, kMbOk);
  EXPECT_EQ(Setting("ShowDownloadErrorMessages"), "0");
  EXPECT_TRUE(InHistory(dir.path() + kSep + "quorvane.tbd"));
  EXPECT_FALSE(fs::exists(dir.File("quorvane.tbd")));
}

TEST_F(EnsureResourceFileTest, ASubdirectoryIsFetchedFromTheSameRelativePath) {
  server.SetFile("/quorvane/img/hot%20one.bmp", "hot");
  std::string name = "img\\hot one.bmp";
  ASSERT_TRUE(lookup.EnsureResourceFile(name));
  EXPECT_EQ(ReadFile(dir.File("img/hot one.bmp")), "hot");
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"/quorvane/img/hot%20one.bmp"});
  EXPECT_EQ(Setting("img\\hot one.bmp"), SignedCrcText(Crc32(0, "hot", 3)));
}

TEST_F(EnsureResourceFileTest, NamesThatWouldLeaveTheDirectoryAreNeitherFetchedNorWritten) {
  TempDir outside;
  const std::string escape = fs::relative(outside.File("x.bmp"), dir.path()).generic_string();
  for (std::string name : {escape, std::string("../x.bmp"), outside.File("x.bmp"),
                           std::string("http://127.0.0.1/x.bmp")}) {
    server.SetFile("/quorvane/" + name, "evil");
    std::string asked = name;
    EXPECT_FALSE(lookup.EnsureResourceFile(asked)) << name;
    EXPECT_EQ(asked, name);
  }
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(fs::is_empty(outside.path()));
  EXPECT_EQ(Setting("../x.bmp"), "(none)");
}

TEST_F(EnsureResourceFileTest, TheReportSaysWhatHappenedToEachFile) {
  std::vector<ResourceFileReport> reports;
  lookup.SetReporter([&](const ResourceFileReport& r) { reports.push_back(r); });
  lookup.SetForceFetch(true);
  WriteFile(dir.File("kept.bmp"), "kept");
  server.SetFile("/quorvane/new.bmp", "new");
  for (std::string name : {"new.bmp", "kept.bmp", "gone.bmp", "../x.bmp"}) {
    lookup.EnsureResourceFile(name);
  }
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[0].outcome, ResourceFileReport::kFetched);
  EXPECT_EQ(reports[0].crc, Crc32(0, "new", 3));
  EXPECT_EQ(reports[1].outcome, ResourceFileReport::kKept);
  EXPECT_EQ(reports[2].outcome, ResourceFileReport::kFailed);
  EXPECT_EQ(reports[3].outcome, ResourceFileReport::kRefused);
}

}  // namespace
}  // namespace qv
