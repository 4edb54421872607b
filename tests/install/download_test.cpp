#include "install/download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "install/vendor_site.h"
#include "support/scripted_http_server.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using test::ScriptedHttpServer;
using Reply = ScriptedHttpServer::Reply;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Short bounds, so that the faults end quickly.
class ShortLimits {
 public:
  ShortLimits() : saved_(DownloadLimits()) { SetDownloadLimits({2000, 700, 64 * 1024}); }
  ~ShortLimits() { SetDownloadLimits(saved_); }

 private:
  FetchLimits saved_;
};

std::string Binary() {
  std::string body;
  for (int i = 0; i < 5000; ++i) body += static_cast<char>(i * 7);
  return body;
}

TEST(DownloadUrlText, ReadsTheWholeBody) {
  ScriptedHttpServer server;
  server.SetFile("/quorvane/alert.txt", Binary());
  std::string text, error;
  ASSERT_TRUE(DownloadUrlText(server.BaseUrl() + "quorvane/alert.txt", &text, &error)) << error;
  EXPECT_EQ(text, Binary());
}

// Every way a transfer can go wrong is a failure with an empty text, and
// none of them holds the caller for long.
TEST(DownloadUrlText, FailuresAreReportedAndBounded) {
  ShortLimits limits;
  ScriptedHttpServer server;
  server.Set("/cut", Reply{Reply::kCutOff, 200, std::string(4000, 'c')});
  server.Set("/stall", Reply{Reply::kStall, 200, ""});
  server.Set("/trickle", Reply{Reply::kTrickle, 200, std::string(200, 't'), 20});
  server.Set("/endless", Reply{Reply::kEndless, 200, ""});
  server.Set("/large", Reply{Reply::kWhole, 200, std::string(100 * 1024, 'l')});
  server.Set("/error", Reply{Reply::kWhole, 500, "<html>server error</html>"});
  // A port nobody listens on: the server's, once it is gone.
  std::string refused;
  {
    ScriptedHttpServer gone;
    refused = gone.BaseUrl() + "x";
  }
  const struct {
    std::string url;
  } cases[] = {
      {server.BaseUrl() + "missing"},
      {server.BaseUrl() + "error"},
      {server.BaseUrl() + "cut"},
      {server.BaseUrl() + "stall"},
      {server.BaseUrl() + "trickle"},
      {server.BaseUrl() + "endless"},
      {server.BaseUrl() + "large"},
      {refused},
      {"file:///etc/passwd"},
      {"ftp://127.0.0.1/x"},
      {""},
  };
  for (const auto& c : cases) {
    std::string text = "old", error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DownloadUrlText(c.url, &text, &error)) << c.url;
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    EXPECT_TRUE(text.empty()) << c.url;
    EXPECT_FALSE(error.empty()) << c.url;
    // The bounds are 2 s to connect and 0.7 s for the rest; far more than
    // that would mean the transfer was not bounded at all.
    EXPECT_LT(seconds.count(), 10.0) << c.url;
  }
}

TEST(DownloadUrlToFile, ReplacesTheFileOnlyWhenTheTransferCompleted) {
  ShortLimits limits;
  ScriptedHttpServer server;
  server.SetFile("/good", "new contents");
  server.Set("/cut", Reply{Reply::kCutOff, 200, std::string(4000, 'c')});
  server.Set("/stall", Reply{Reply::kStall, 200, ""});
  server.Set("/large", Reply{Reply::kWhole, 200, std::string(100 * 1024, 'l')});
  TempDir dir;
  const std::string target = dir.File("tbil.bmp");

  for (const char* bad : {"missing", "cut", "stall", "large"}) {
    std::ofstream(target, std::ios::binary) << "good copy";
    std::string error;
    EXPECT_FALSE(DownloadUrlToFile(server.BaseUrl() + bad, target, &error)) << bad;
    EXPECT_EQ(ReadFile(target), "good copy") << bad;
    // Neither the error page nor a part of the body is left behind.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      (void)entry;
      ++files;
    }
    EXPECT_EQ(files, 1u) << bad;
  }
  std::string error;
  ASSERT_TRUE(DownloadUrlToFile(server.BaseUrl() + "good", target, &error)) << error;
  EXPECT_EQ(ReadFile(target), "new contents");
  EXPECT_EQ(server.Requests().back(), "/good");
}

TEST(VendorSite, OnlyHttpAddressesEndingInASlashReplaceTheBuiltInOne) {
  EXPECT_TRUE(IsValidBaseUrl(kBuiltInVendorBaseUrl));
  // The built-in one, or the test run's from the environment.
  const std::string inForce = VendorBaseUrl();
  for (const char* bad : {"", "www.example.com/", "ftp://example.com/", "https://example.com",
                          "https:///", "https://exa mple.com/", "file:///c:/", "http://a/?q/"}) {
    EXPECT_FALSE(SetVendorBaseUrl(bad) && *bad) << bad;
    EXPECT_EQ(VendorBaseUrl(), inForce) << bad;
  }
  ASSERT_TRUE(SetVendorBaseUrl("http://127.0.0.1:8080/files/"));
  EXPECT_EQ(VendorUrl("tbil.bmp"), "http://127.0.0.1:8080/files/quorvane/tbil.bmp");
  ASSERT_TRUE(SetVendorBaseUrl(""));
  EXPECT_EQ(VendorBaseUrl(), inForce);
}

}  // namespace
}  // namespace qv
