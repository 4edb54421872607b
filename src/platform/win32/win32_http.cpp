// HTTP(S) downloads over WinINet. WinINet's own time-outs bound a single
// connect or receive but not a server that trickles bytes, so the transfer
// runs on a worker thread and the caller waits for it no longer than the
// limits allow; a transfer that overstays is abandoned and its handle closed,
// which makes WinINet give up the blocking call.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <mutex>
#include <string>

#include "platform/win32/scoped.h"
#include "platform/win32/win32_network.h"

namespace qv {
namespace {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Empty() { return nullptr; }
  static void Free(Handle h) { InternetCloseHandle(h); }
};
using ScopedInternet = win32::Scoped<InternetHandleTraits>;

// What the worker and the waiting caller share. The last of the two to let
// go frees it.
struct FetchJob {
  std::string url;
  FetchLimits limits;
  std::atomic<bool> abandoned{false};
  std::mutex mutex;
  HINTERNET session = nullptr;  // under mutex: closed by whoever comes first
  bool sessionClosed = false;
  std::string body;
  FetchResult result;
  win32::ScopedHandle done;

  void CloseSession() {
    std::lock_guard<std::mutex> lock(mutex);
    if (session && !sessionClosed) InternetCloseHandle(session);
    sessionClosed = true;
  }
};

void SetTimeout(HINTERNET h, DWORD option, DWORD ms) {
  InternetSetOptionA(h, option, &ms, sizeof ms);
}

FetchResult Transfer(FetchJob& job) {
  const FetchLimits& limits = job.limits;
  {
    std::lock_guard<std::mutex> lock(job.mutex);
    if (job.sessionClosed) return {FetchStatus::kTimedOut, 0, "the transfer took too long"};
    job.session = InternetOpenA("quorvane", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!job.session) return {FetchStatus::kFailed, 0, "WinINet could not be opened"};
  }
  SetTimeout(job.session, INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectMs);
  SetTimeout(job.session, INTERNET_OPTION_SEND_TIMEOUT, limits.totalMs);
  SetTimeout(job.session, INTERNET_OPTION_RECEIVE_TIMEOUT, limits.totalMs);
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
  ScopedInternet request(InternetOpenUrlA(job.session, job.url.c_str(), nullptr, 0, flags, 0));
  if (!request) {
    const DWORD error = GetLastError();
    if (error == ERROR_INTERNET_TIMEOUT) return {FetchStatus::kTimedOut, 0, "no answer in time"};
    return {FetchStatus::kConnectFailed, 0,
            "cannot reach the server (WinINet error " + std::to_string(error) + ")"};
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                 nullptr);
  const int httpStatus = static_cast<int>(status);
  if (status < 200 || status >= 300)
    return {FetchStatus::kHttpError, httpStatus, "HTTP status " + std::to_string(status)};
  DWORD announced = 0;
  size = sizeof announced;
  const bool hasLength =
      HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                     &size, nullptr) != FALSE;
  if (hasLength && announced > limits.maxBytes)
    return {FetchStatus::kTooLarge, httpStatus,
            "more than " + std::to_string(limits.maxBytes) + " bytes"};
  char buffer[16384];
  for (;;) {
    if (job.abandoned) return {FetchStatus::kTimedOut, httpStatus, "the transfer took too long"};
    DWORD got = 0;
    if (!InternetReadFile(request.get(), buffer, sizeof buffer, &got)) {
      const DWORD error = GetLastError();
      if (error == ERROR_INTERNET_TIMEOUT || job.abandoned)
        return {FetchStatus::kTimedOut, httpStatus, "the transfer took too long"};
      return {FetchStatus::kIncomplete, httpStatus,
              "the transfer broke off (WinINet error " + std::to_string(error) + ")"};
    }
    if (got == 0) break;
    if (job.body.size() + got > limits.maxBytes)
      return {FetchStatus::kTooLarge, httpStatus,
              "more than " + std::to_string(limits.maxBytes) + " bytes"};
    job.body.append(buffer, got);
  }
  if (hasLength && job.body.size() != announced)
    return {FetchStatus::kIncomplete, httpStatus,
            "received " + std::to_string(job.body.size()) + " of " + std::to_string(announced) +
                " bytes"};
  return {FetchStatus::kOk, httpStatus, ""};
}

// The worker holds a reference on the module that holds this code, so that
// the DLL stays loaded until an abandoned transfer has ended.
DWORD WINAPI FetchThread(void* parameter) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<std::shared_ptr<FetchJob>> owned(
        static_cast<std::shared_ptr<FetchJob>*>(parameter));
    std::shared_ptr<FetchJob> job = *owned;
    owned.reset();
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&FetchThread), &module);
    job->result = Transfer(*job);
    job->CloseSession();
    SetEvent(job->done.get());
  }
  if (module) FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

FetchResult Win32FetchToString(const std::string& url, const FetchLimits& limits,
                               std::string* body) {
  body->clear();
  if (!HasHttpScheme(url)) return {FetchStatus::kBadUrl, 0, "not an http or https URL: " + url};
  auto job = std::make_shared<FetchJob>();
  job->url = url;
  job->limits = limits;
  job->done.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!job->done) return {FetchStatus::kFailed, 0, "no event for the transfer"};
  auto* handed = new std::shared_ptr<FetchJob>(job);
  win32::ScopedHandle thread(CreateThread(nullptr, 0, &FetchThread, handed, 0, nullptr));
  if (!thread) {
    delete handed;
    return {FetchStatus::kFailed, 0, "no thread for the transfer"};
  }
  const DWORD wait = limits.connectMs + limits.totalMs;
  if (WaitForSingleObject(job->done.get(), wait) != WAIT_OBJECT_0) {
    job->abandoned = true;
    job->CloseSession();
    return {FetchStatus::kTimedOut, 0, "the transfer took too long"};
  }
  FetchResult result = job->result;
  if (result.ok()) body->swap(job->body);
  return result;
}

FetchResult Win32FetchToFile(const std::string& url, const FetchLimits& limits,
                             const std::string& path) {
  std::string body;
  FetchResult result = Win32FetchToString(url, limits, &body);
  if (!result.ok()) return result;
  win32::ScopedFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {FetchStatus::kWriteFailed, result.httpStatus, "cannot create " + path};
  size_t at = 0;
  while (at < body.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(body.size() - at, 1u << 20));
    if (!WriteFile(file.get(), body.data() + at, chunk, &written, nullptr) || written == 0)
      return {FetchStatus::kWriteFailed, result.httpStatus, "cannot write " + path};
    at += written;
  }
  return result;
}

}  // namespace qv
