// HTTP(S) downloads over libcurl, bounded in connect time, whole-transfer
// time and size.
#include <curl/curl.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/posix/posix_network.h"

namespace qv {
namespace {

using Sink = std::function<bool(const char* data, size_t size)>;

struct Transfer {
  const Sink* sink = nullptr;
  uint64_t received = 0;
  uint64_t maxBytes = 0;
  bool tooLarge = false;
  bool writeFailed = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (transfer->received + n > transfer->maxBytes) {
    transfer->tooLarge = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer->received += n;
  if (!(*transfer->sink)(data, n)) {
    transfer->writeFailed = true;
    return 0;
  }
  return n;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

FetchResult Fetch(const std::string& url, const FetchLimits& limits, const Sink& sink) {
  if (!HasHttpScheme(url)) return {FetchStatus::kBadUrl, 0, "not an http or https URL: " + url};
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return {FetchStatus::kFailed, 0, "the transfer could not be set up"};
  Transfer transfer;
  transfer.sink = &sink;
  transfer.maxBytes = limits.maxBytes;
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
  // No signals: the toolbar's threads are not the process's to interrupt.
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectMs));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.connectMs + limits.totalMs));
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);

  const CURLcode code = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  FetchResult result;
  result.httpStatus = static_cast<int>(status);
  const std::string detail = errorText[0] ? errorText : curl_easy_strerror(code);
  if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    result.status = FetchStatus::kTooLarge;
    result.message = "more than " + std::to_string(limits.maxBytes) + " bytes";
  } else if (transfer.writeFailed) {
    result.status = FetchStatus::kWriteFailed;
    result.message = "the local file could not be written";
  } else if (code == CURLE_OK) {
    if (status >= 200 && status < 300) {
      result.status = FetchStatus::kOk;
    } else {
      result.status = FetchStatus::kHttpError;
      result.message = "HTTP status " + std::to_string(status);
    }
  } else {
    switch (code) {
      case CURLE_URL_MALFORMAT:
      case CURLE_UNSUPPORTED_PROTOCOL:
        result.status = FetchStatus::kBadUrl;
        break;
      case CURLE_COULDNT_RESOLVE_HOST:
      case CURLE_COULDNT_RESOLVE_PROXY:
      case CURLE_COULDNT_CONNECT:
        result.status = FetchStatus::kConnectFailed;
        break;
      case CURLE_OPERATION_TIMEDOUT:
        result.status = FetchStatus::kTimedOut;
        break;
      case CURLE_PARTIAL_FILE:
        result.status = FetchStatus::kIncomplete;
        break;
      default:
        result.status = FetchStatus::kFailed;
        break;
    }
    result.message = detail;
  }
  return result;
}

}  // namespace

FetchResult PosixNetwork::FetchToString(const std::string& url, const FetchLimits& limits,
                                        std::string* body) {
  body->clear();
  const Sink sink = [body](const char* data, size_t size) {
    body->append(data, size);
    return true;
  };
  return Fetch(url, limits, sink);
}

FetchResult PosixNetwork::FetchToFile(const std::string& url, const FetchLimits& limits,
                                      const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return {FetchStatus::kWriteFailed, 0, "cannot create " + path};
  const Sink sink = [file](const char* data, size_t size) {
    return std::fwrite(data, 1, size, file) == size;
  };
  FetchResult result = Fetch(url, limits, sink);
  if (std::fclose(file) != 0 && result.ok()) {
    result.status = FetchStatus::kWriteFailed;
    result.message = "cannot write " + path;
  }
  return result;
}

}  // namespace qv
