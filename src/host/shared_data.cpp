#include "host/shared_data.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/services.h"
#include "platform/user_messages.h"
#include "popup/site_key.h"

namespace qv {
namespace {

// The words that several processes read and write outside the mutex are
// accessed atomically; a plain access would race.
static_assert(std::atomic_ref<uint32_t>::is_always_lock_free);

uint32_t Load(const uint32_t& word) {
  return std::atomic_ref<uint32_t>(const_cast<uint32_t&>(word)).load(std::memory_order_relaxed);
}
void Store(uint32_t& word, uint32_t value) {
  std::atomic_ref<uint32_t>(word).store(value, std::memory_order_relaxed);
}

void Initialise(SharedDataLayout& d) {
  d = SharedDataLayout{};  // zeros, and the settings' starting values
  d.version = kSharedDataVersion;
  d.size = sizeof(SharedDataLayout);
  // The vendor's hosts; loading the settings replaces them.
  const std::string initial = InitialUserWhitelist();
  std::memcpy(d.whitelist, initial.data(), initial.size());
  d.whitelistLength = static_cast<uint32_t>(initial.size());
  // Last, so that a process dying half-way leaves a block the next one sets
  // up again.
  Store(d.magic, kSharedDataMagic);
}

}  // namespace

std::unique_ptr<SharedData> SharedData::Open(const std::string& blockName,
                                             const std::string& mutexName, std::string* error) {
  auto fail = [error](const char* why) {
    if (error) *error = why;
    return nullptr;
  };
  std::unique_ptr<SharedMutex> mutex = GetSharedMemory().OpenMutex(mutexName);
  if (!mutex) return fail("the shared-data mutex cannot be created");
  // Under the mutex, so that no process sees a block that is being set up.
  SharedLock lock(*mutex, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return fail("the shared-data mutex stayed busy");
  std::unique_ptr<SharedMemoryBlock> block =
      GetSharedMemory().OpenBlock(blockName, sizeof(SharedDataLayout));
  if (!block) return fail("the shared-data block cannot be opened (or is smaller than expected)");
  auto& d = *static_cast<SharedDataLayout*>(block->data());
  if (Load(d.magic) == 0) {
    Initialise(d);
  } else if (Load(d.magic) != kSharedDataMagic || Load(d.version) != kSharedDataVersion ||
             Load(d.size) != sizeof(SharedDataLayout)) {
    return fail("the shared-data block was made by a module with another layout");
  }
  return std::unique_ptr<SharedData>(new SharedData(std::move(block), std::move(mutex)));
}

SharedData::SharedData(std::unique_ptr<SharedMemoryBlock> block, std::unique_ptr<SharedMutex> mutex)
    : block_(std::move(block)), mutex_(std::move(mutex)) {}

SharedData::~SharedData() = default;

SharedDataLayout& SharedData::layout() const {
  return *static_cast<SharedDataLayout*>(block_->data());
}

// The count as far as it can be trusted: a process that died in the middle
// of a change, or a stray writer, must not make the table read outside its
// entries.
int SharedData::LiveCount() const {
  return std::clamp<int32_t>(layout().windowCount, 0, kMaxBrowserWindows);
}

bool SharedData::RegisterBrowserWindow(uint64_t frameWindow, uint64_t band, uint32_t threadId,
                                       uint32_t processId) {
  {
    SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
    if (!lock.owns()) return false;
    SharedDataLayout& d = layout();
    const int count = LiveCount();
    for (int i = 0; i < count; ++i) {
      const BrowserWindowEntry& e = d.windows[i];
      if (e.frameWindow == frameWindow && e.band == band && e.processId == processId) return true;
    }
    if (count < kMaxBrowserWindows) {
      d.windows[count] = BrowserWindowEntry{frameWindow, band, threadId, processId};
      d.windowCount = count + 1;
      return true;
    }
  }
  // Shown after the mutex is released: the box waits for the user.
  GetUserMessages().ShowMessage("Too many explorer windows", "quorvane", kMbOk);
  return false;
}

bool SharedData::UnregisterBrowserWindow(uint64_t band, uint64_t frameWindow, uint32_t processId) {
  SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return false;
  SharedDataLayout& d = layout();
  const int count = LiveCount();
  for (int i = 0; i < count; ++i) {
    const BrowserWindowEntry& e = d.windows[i];
    if (e.band == band && e.frameWindow == frameWindow && e.processId == processId) {
      std::memmove(&d.windows[i], &d.windows[i + 1], (count - i - 1) * sizeof(BrowserWindowEntry));
      d.windows[count - 1] = BrowserWindowEntry{};
      d.windowCount = count - 1;
      return true;
    }
  }
  return false;
}

uint64_t SharedData::FindBand(bool (*matches)(const BrowserWindowEntry&, uint64_t), uint64_t key) {
  SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return 0;
  const int count = LiveCount();
  for (int i = 0; i < count; ++i)
    if (matches(layout().windows[i], key)) return layout().windows[i].band;
  return 0;
}

uint64_t SharedData::FindBandByWindow(uint64_t window) {
  return FindBand([](const BrowserWindowEntry& e, uint64_t w) { return e.frameWindow == w; },
                  window);
}

uint64_t SharedData::FindBandByThread(uint32_t threadId) {
  return FindBand([](const BrowserWindowEntry& e, uint64_t t) { return e.threadId == t; },
                  threadId);
}

std::vector<BrowserWindowEntry> SharedData::BrowserWindows() {
  SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return {};
  return std::vector<BrowserWindowEntry>(layout().windows, layout().windows + LiveCount());
}

BlockerSettings SharedData::GetBlockerSettings() const {
  const BlockerSettings& s = layout().settings;
  BlockerSettings result;
  result.enablePopupBlocker = Load(s.enablePopupBlocker);
  result.tempDisableBlockerKey = Load(s.tempDisableBlockerKey);
  result.showPopupPageStatus = Load(s.showPopupPageStatus);
  result.beepOnPopup = Load(s.beepOnPopup);
  result.blockFlashMovies = Load(s.blockFlashMovies);
  result.blockResize = Load(s.blockResize);
  return result;
}

// The switches and the counter are single words, stored atomically without
// the mutex: a busy mutex must not make the one settings load of the
// system, or a reset, get lost.
bool SharedData::SetBlockerSettings(const BlockerSettings& settings) {
  BlockerSettings& s = layout().settings;
  Store(s.enablePopupBlocker, settings.enablePopupBlocker);
  Store(s.tempDisableBlockerKey, settings.tempDisableBlockerKey);
  Store(s.showPopupPageStatus, settings.showPopupPageStatus);
  Store(s.beepOnPopup, settings.beepOnPopup);
  Store(s.blockFlashMovies, settings.blockFlashMovies);
  Store(s.blockResize, settings.blockResize);
  return true;
}

bool SharedData::ClaimSettingsLoad() {
  uint32_t expected = 0;
  return std::atomic_ref<uint32_t>(layout().settingsLoaded).compare_exchange_strong(expected, 1);
}

void SharedData::FinishSettingsLoad() {
  // Released after the switches, the counter and the list, which a waiter
  // then sees.
  std::atomic_ref<uint32_t>(layout().settingsLoaded).store(2, std::memory_order_release);
}

bool SharedData::SettingsLoadFinished() const {
  return std::atomic_ref<uint32_t>(layout().settingsLoaded).load(std::memory_order_acquire) == 2;
}

uint32_t SharedData::TotalBlockedPopups() const {
  return Load(layout().totalBlockedPopups);
}

uint32_t SharedData::CountBlockedPopup() {
  return std::atomic_ref<uint32_t>(layout().totalBlockedPopups).fetch_add(1) + 1;
}

bool SharedData::SetTotalBlockedPopups(uint32_t total) {
  Store(layout().totalBlockedPopups, total);
  return true;
}

bool SharedData::RunLocked(const std::function<void()>& work) {
  SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return false;
  work();
  return true;
}

bool SharedData::GetWhitelist(std::string* text) {
  SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return false;
  const SharedDataLayout& d = layout();
  text->assign(d.whitelist, std::min<size_t>(d.whitelistLength, kMaxWhitelistLength));
  return true;
}

WhitelistResult SharedData::SetWhitelist(const std::string& text) {
  return UpdateWhitelist([&text](std::string& current) { current = text; });
}

WhitelistResult SharedData::UpdateWhitelist(
    const std::function<void(std::string& text)>& change,
    const std::function<void(const std::string& text)>& written) {
  SharedLock lock(*mutex_, kSharedDataLockTimeoutMs);
  if (!lock.owns()) return WhitelistResult::kBusy;
  SharedDataLayout& d = layout();
  std::string text(d.whitelist, std::min<size_t>(d.whitelistLength, kMaxWhitelistLength));
  change(text);
  if (text.size() > kMaxWhitelistLength) return WhitelistResult::kTooLong;
  std::memcpy(d.whitelist, text.data(), text.size());
  d.whitelist[text.size()] = '\0';
  d.whitelistLength = static_cast<uint32_t>(text.size());
  if (written) written(text);
  return WhitelistResult::kOk;
}

}  // namespace qv
