// The pop-up blocker's site keys and whitelist toggling on any addresses:
// never a crash, the list always starts and ends with '!', an https page
// never changes it, toggling a host twice gives the list back byte for
// byte after it was added, and a list that would grow past what the shared state holds is
// refused whole.
//
// Input: addresses separated by '\n'. The first byte of each chooses one
// toggle or two in a row.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/registry_tree.h"
#include "platform/services.h"
#include "popup/blocker.h"
#include "popup/site_key.h"
#include "simulators/message_recorder.h"

namespace {

// The shared state in memory, with a small limit so that refusals happen.
class State : public qv::BlockerState {
 public:
  qv::BlockerSettings GetBlockerSettings() const override { return settings; }
  bool SetBlockerSettings(const qv::BlockerSettings& s) override {
    settings = s;
    return true;
  }
  bool ClaimSettingsLoad() override { return false; }
  void FinishSettingsLoad() override {}
  bool SettingsLoadFinished() const override { return true; }
  uint32_t TotalBlockedPopups() const override { return total; }
  uint32_t CountBlockedPopup() override { return ++total; }
  bool SetTotalBlockedPopups(uint32_t t) override {
    total = t;
    return true;
  }
  bool RunLocked(const std::function<void()>& work) override {
    work();
    return true;
  }
  bool GetWhitelist(std::string* text) override {
    *text = list;
    return true;
  }
  qv::WhitelistResult UpdateWhitelist(
      const std::function<void(std::string&)>& change,
      const std::function<void(const std::string&)>& written) override {
    std::string text = list;
    change(text);
    if (text.size() > MaxWhitelistLength()) return qv::WhitelistResult::kTooLong;
    list = text;
    if (written) written(list);
    return qv::WhitelistResult::kOk;
  }
  size_t MaxWhitelistLength() const override { return 512; }

  qv::BlockerSettings settings;
  uint32_t total = 0;
  std::string list = "!";
};

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckShape(const std::string& list) {
  Check(!list.empty() && list.front() == '!' && list.back() == '!');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qv::TreeRegistry registry;
  static qv::MessageRecorder messages;
  static qv::ScopedService<qv::Registry> useRegistry(&qv::PlatformServices::registry, &registry);
  static qv::ScopedService<qv::UserMessages> useMessages(&qv::PlatformServices::messages,
                                                         &messages);
  State state;
  qv::QuietEnvironment environment;
  qv::PopupBlockerSystem blocker(state, environment);

  std::string_view input(reinterpret_cast<const char*>(data), size);
  while (!input.empty()) {
    const size_t end = std::min(input.find('\n'), input.size());
    std::string_view record = input.substr(0, end);
    input.remove_prefix(std::min(end + 1, input.size()));
    if (record.empty()) continue;
    const bool twice = (static_cast<uint8_t>(record[0]) & 1) != 0;
    const std::string url(record.substr(1));

    const qv::SiteKeyResult site = qv::SiteKey(url);
    const bool https = qv::IsHttpsUrl(site.url);
    const std::string before = state.list;
    const bool allowedBefore = blocker.IsSiteAllowed(url);
    const bool result = blocker.ToggleSiteInWhiteList(url);
    CheckShape(state.list);
    if (https) {
      Check(result && allowedBefore && state.list == before);
      continue;
    }
    if (state.list == before) continue;  // refused, built in or unlistable
    Check(result == allowedBefore);
    Check(blocker.IsSiteAllowed(url) != allowedBefore);
    // A host added and toggled again leaves the list as it was.
    if (twice && !result) {
      blocker.ToggleSiteInWhiteList(url);
      Check(state.list == before);
    }
  }
  return 0;
}
