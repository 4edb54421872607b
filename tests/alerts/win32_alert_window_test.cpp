// The alert window under Wine: real windows, real timers, the mutex across
// two processes. Wine's browser control never completes a page, so the
// tests start the showing themselves, as DocumentComplete would.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "alerts/win32/alert_window.h"
#include "host/win32/ax_host.h"

namespace qv::alerts {
namespace {

constexpr char kChildVariable[] = "QV_ALERT_MUTEX_CHILD";
constexpr wchar_t kHeldEvent[] = L"QuorvaneAlertTestHeld";
constexpr wchar_t kReleaseEvent[] = L"QuorvaneAlertTestRelease";

// A copy of this program started as the other process: it holds the
// alerts mutex until told to let go, then ends.
int HoldMutexAsChild() {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kAlertsMutexName);
  HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, kHeldEvent);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, kReleaseEvent);
  if (!mutex || !held || !release || WaitForSingleObject(mutex, 5000) != WAIT_OBJECT_0) return 2;
  SetEvent(held);
  WaitForSingleObject(release, 20000);
  ReleaseMutex(mutex);
  return 0;
}

const bool kIsChild = [] {
  if (!std::getenv(kChildVariable)) return false;
  std::exit(HoldMutexAsChild());
}();

// Runs this thread's messages until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return true;
}

bool MutexIsFree() {
  // From another thread, so that this thread's own ownership does not count.
  bool free = false;
  std::thread probe([&free] {
    HANDLE m = CreateMutexW(nullptr, FALSE, kAlertsMutexName);
    if (m && WaitForSingleObject(m, 0) == WAIT_OBJECT_0) {
      free = true;
      ReleaseMutex(m);
    }
    if (m) CloseHandle(m);
  });
  probe.join();
  return free;
}

class AlertWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    ASSERT_TRUE(RegisterAxHostWindowClass(GetModuleHandleW(nullptr)));
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  }
  void TearDown() override {
    window.Destroy();
    OleUninitialize();
  }
  RECT Rect() {
    RECT r{};
    GetWindowRect(window.Frame(), &r);
    return r;
  }
  AlertWindow window{GetModuleHandleW(nullptr)};
  RECT work{};
};

TEST_F(AlertWindowTest, ComesUpBottomRightAndGrowsWithTheTimers) {
  window.Create(AlertParameters{300, 200, "http://www.example.com/a.html", 500, 0, false, 0});
  ASSERT_TRUE(window.Exists());
  HWND frame = window.Frame();
  wchar_t name[64];
  GetClassNameW(frame, name, 64);
  EXPECT_STREQ(name, kAlertFrameClass);
  EXPECT_EQ(GetWindowLongW(frame, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_SYSMENU),
            static_cast<LONG>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
  EXPECT_TRUE(GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  ASSERT_NE(window.Content(), nullptr);
  GetClassNameW(window.Content(), name, 64);
  EXPECT_STREQ(name, kAlertContentClass);
  EXPECT_FALSE(IsWindowVisible(frame));  // until the page is complete
  EXPECT_FALSE(MutexIsFree());

  window.StartShowing();
  EXPECT_TRUE(IsWindowVisible(frame));
  std::set<long> heights;
  ASSERT_TRUE(PumpUntil(
      [&] {
        const RECT r = Rect();
        heights.insert(r.bottom - r.top);
        return window.Phase() == AlertPhase::kShown;
      },
      5000));
  const RECT r = Rect();
  EXPECT_EQ(r.right, work.right - 1);
  EXPECT_EQ(r.bottom, work.bottom - 1);
  EXPECT_EQ(r.right - r.left, 300);
  EXPECT_EQ(r.bottom - r.top, 200);
  // In steps, not at once: at least a few heights between none and full.
  EXPECT_GE(heights.size(), 3u);
  // The caption's close box ends the cycle and lets go of the mutex.
  SendMessageW(frame, WM_CLOSE, 0, 0);
  EXPECT_FALSE(window.Exists());
  EXPECT_FALSE(IsWindow(frame));
  EXPECT_TRUE(MutexIsFree());
}

TEST_F(AlertWindowTest, HidesByItselfAfterTheWait) {
  window.Create(AlertParameters{200, 100, "http://www.example.com/", 0, 200, true, 200});
  ASSERT_TRUE(window.Exists());
  window.StartShowing();
  bool sawFull = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (window.Exists() && Rect().bottom - Rect().top == 100) sawFull = true;
        return !window.Exists();
      },
      5000));
  EXPECT_TRUE(sawFull);
  EXPECT_TRUE(MutexIsFree());
}

// Another process's alert holds the mutex: no frame stays behind, and the
// next check, once the mutex is free, makes one.
TEST_F(AlertWindowTest, MutexHeldByAnotherProcessLeavesNoFrame) {
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, kHeldEvent);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent);
  ASSERT_TRUE(held && release);
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string line = std::string("\"") + program + "\"";
  SetEnvironmentVariableA(kChildVariable, "1");
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessA(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &child);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  ASSERT_TRUE(started);
  EXPECT_EQ(WaitForSingleObject(held, 20000), WAIT_OBJECT_0);

  window.Create(AlertParameters{300, 200, "http://www.example.com/", 0, 0, false, 0});
  EXPECT_FALSE(window.Exists());
  EXPECT_EQ(FindWindowW(kAlertFrameClass, nullptr), nullptr);

  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(child.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(child.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  CloseHandle(held);
  CloseHandle(release);

  window.Create(AlertParameters{300, 200, "http://www.example.com/", 0, 0, false, 0});
  EXPECT_TRUE(window.Exists());
}

}  // namespace
}  // namespace qv::alerts
#endif  // _WIN32
