// The pop-up blocker's system-wide state as the blocker uses it: its
// switches, the counter of blocked windows and the user's whitelist, held
// once for every process (SharedData in the host implements it).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// The blocker's switches as the system starts with them. Each is one 32-bit
// word; TempDisableBlockerKey 0xFFFFFFFF means "no release key".
struct BlockerSettings {
  uint32_t enablePopupBlocker = 0;
  uint32_t tempDisableBlockerKey = 17;  // the virtual-key code of Ctrl
  uint32_t showPopupPageStatus = 1;
  uint32_t beepOnPopup = 0;
  uint32_t blockFlashMovies = 0;
  uint32_t blockResize = 1;
};

inline constexpr uint32_t kNoReleaseKey = 0xFFFFFFFFu;

enum class WhitelistResult {
  kOk,
  // The text is longer than the state can hold: nothing was changed.
  kTooLong,
  // The lock stayed busy for the whole wait: nothing was changed.
  kBusy,
};

class BlockerState {
 public:
  virtual ~BlockerState() = default;

  // Each switch is one word, read and written without the lock.
  virtual BlockerSettings GetBlockerSettings() const = 0;
  virtual bool SetBlockerSettings(const BlockerSettings& settings) = 0;
  // True for exactly one caller in the whole system: the one that loads the
  // settings from the registry. It calls FinishSettingsLoad when the
  // switches, the counter and the list are in place; until then the others
  // would decide with the starting values.
  virtual bool ClaimSettingsLoad() = 0;
  virtual void FinishSettingsLoad() = 0;
  virtual bool SettingsLoadFinished() const = 0;

  virtual uint32_t TotalBlockedPopups() const = 0;
  // Adds one, atomically across processes, without waiting for the lock;
  // returns the new total.
  virtual uint32_t CountBlockedPopup() = 0;
  // Without the lock.
  virtual bool SetTotalBlockedPopups(uint32_t total) = 0;
  // Runs work under the lock; false (work not run) when it stays busy.
  virtual bool RunLocked(const std::function<void()>& work) = 0;

  // The user's whitelist; false when the lock is busy.
  virtual bool GetWhitelist(std::string* text) = 0;
  // Reads, changes and writes the text under one hold of the lock; written
  // runs with the new text, still under the lock.
  virtual WhitelistResult UpdateWhitelist(
      const std::function<void(std::string& text)>& change,
      const std::function<void(const std::string& text)>& written = nullptr) = 0;
  // The longest text the state holds.
  virtual size_t MaxWhitelistLength() const = 0;
};

}  // namespace qv
