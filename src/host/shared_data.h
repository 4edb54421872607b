// SharedData: the one block that every process loading the toolbar sees in
// common. It holds the pop-up blocker's settings, its counter of blocked
// windows and the user's whitelist, and the BrowserWindowTable through which
// a frame-window procedure or keyboard hook finds the band object that
// belongs to it.
//
// The block is a plain record of fixed-width fields (no pointers: each
// process maps it at its own address, 32-bit and 64-bit processes alike)
// behind a header of magic, version and size, so a module built with another
// layout refuses the block instead of misreading it. Every change except the
// counter's increment, and every table operation, runs under the named
// mutex; the counter is incremented atomically so that a busy mutex never
// loses a blocked window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/shared_memory.h"
#include "popup/blocker_state.h"

namespace qv {

inline constexpr char kSharedDataMutexName[] = "MutexToProtectPubDataquorvane";
// Kernel objects share one namespace on Windows: the block's name differs
// from the mutex's.
inline constexpr char kSharedDataBlockName[] = "SharedDataBlockquorvane";
// Every wait for the shared-data mutex is bounded by this.
inline constexpr uint32_t kSharedDataLockTimeoutMs = 1000;
inline constexpr int kMaxBrowserWindows = 100;
// The longest whitelist text the block holds (a terminating zero follows).
inline constexpr size_t kMaxWhitelistLength = 8191;
inline constexpr uint32_t kSharedDataMagic = 0x44535651;  // "QVSD"
inline constexpr uint32_t kSharedDataVersion = 2;

// One registered browser window. Handles and the band are stored as 64-bit
// values so that processes of either bitness read the same layout; the band
// is meaningful only inside the process named by the entry.
struct BrowserWindowEntry {
  uint64_t frameWindow;
  uint64_t band;
  uint32_t threadId;
  uint32_t processId;
};

// The block as it lies in memory. Change anything here and bump
// kSharedDataVersion.
struct SharedDataLayout {
  uint32_t magic;  // written last when the block is set up
  uint32_t version;
  uint32_t size;
  uint32_t settingsLoaded;  // 0 not yet, 1 being loaded, 2 loaded
  BlockerSettings settings;
  uint32_t totalBlockedPopups;
  int32_t windowCount;  // live entries, packed at the front
  BrowserWindowEntry windows[kMaxBrowserWindows];
  uint32_t whitelistLength;
  char whitelist[kMaxWhitelistLength + 1];
};
static_assert(std::is_trivially_copyable_v<SharedDataLayout>);
static_assert(std::is_standard_layout_v<SharedDataLayout>);
static_assert(sizeof(BrowserWindowEntry) == 24);
static_assert(offsetof(SharedDataLayout, windows) == 48);
// The same in 32-bit and 64-bit builds.
static_assert(sizeof(SharedDataLayout) == 10648);

class SharedData : public BlockerState {
 public:
  // Opens the block of this name, making and setting it up when this
  // process is the first. Null (with a reason in *error) when the platform
  // gives no block or mutex, when the mutex stays busy, or when the block
  // was made by a module with another layout, which is then left untouched.
  static std::unique_ptr<SharedData> Open(const std::string& blockName = kSharedDataBlockName,
                                          const std::string& mutexName = kSharedDataMutexName,
                                          std::string* error = nullptr);
  ~SharedData() override;

  // --- BrowserWindowTable ---
  // True when the entry is there afterwards (also when it was already).
  // False when the table holds kMaxBrowserWindows entries, after showing
  // "Too many explorer windows" (the caller must not show it again), or
  // when the mutex stayed busy, without a message.
  bool RegisterBrowserWindow(uint64_t frameWindow, uint64_t band, uint32_t threadId,
                             uint32_t processId);
  // Removes the first entry of that band, window and process, moving the
  // later ones down in order. False when there is none or the mutex is busy.
  bool UnregisterBrowserWindow(uint64_t band, uint64_t frameWindow, uint32_t processId);
  // The band of the first entry with that frame window (or thread); 0 when
  // there is none or the mutex is busy. Entries of processes that ended
  // without unregistering stay until the block goes.
  uint64_t FindBandByWindow(uint64_t window);
  uint64_t FindBandByThread(uint32_t threadId);
  // A copy of the live entries, in table order (empty when busy).
  std::vector<BrowserWindowEntry> BrowserWindows();

  // --- Pop-up blocker fields (BlockerState) ---
  // The whitelist starts as InitialUserWhitelist(); loading the settings
  // replaces it. An over-long text is refused whole (kTooLong) rather than
  // cut: a cut list would lose hosts, or end inside one and match a host
  // that was never listed.
  BlockerSettings GetBlockerSettings() const override;
  bool SetBlockerSettings(const BlockerSettings& settings) override;
  bool ClaimSettingsLoad() override;
  void FinishSettingsLoad() override;
  bool SettingsLoadFinished() const override;
  uint32_t TotalBlockedPopups() const override;
  uint32_t CountBlockedPopup() override;
  bool SetTotalBlockedPopups(uint32_t total) override;
  bool RunLocked(const std::function<void()>& work) override;
  bool GetWhitelist(std::string* text) override;
  WhitelistResult SetWhitelist(const std::string& text);
  // Neither function may use this object.
  WhitelistResult UpdateWhitelist(
      const std::function<void(std::string& text)>& change,
      const std::function<void(const std::string& text)>& written = nullptr) override;
  size_t MaxWhitelistLength() const override { return kMaxWhitelistLength; }

  SharedData(const SharedData&) = delete;
  SharedData& operator=(const SharedData&) = delete;

 private:
  SharedData(std::unique_ptr<SharedMemoryBlock> block, std::unique_ptr<SharedMutex> mutex);
  SharedDataLayout& layout() const;
  int LiveCount() const;
  // The band of the first live entry that matches key, under the mutex; 0
  // for none or when the mutex stays busy.
  uint64_t FindBand(bool (*matches)(const BrowserWindowEntry&, uint64_t), uint64_t key);

  std::unique_ptr<SharedMemoryBlock> block_;
  std::unique_ptr<SharedMutex> mutex_;
};

}  // namespace qv
