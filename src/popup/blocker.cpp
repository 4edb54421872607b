#include "popup/blocker.h"

#include <chrono>
#include <thread>

#include "platform/browser.h"
#include "platform/document.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/user_messages.h"
#include "popup/site_key.h"
#include "settings/settings.h"

namespace qv {

namespace {

void ReportLongWhitelist(size_t length, size_t limit, const std::string& what) {
  GetUserMessages().ShowMessage("The popup blocker's whitelist would be " + std::to_string(length) +
                                    " characters long, more than the " + std::to_string(limit) +
                                    " it can hold: " + what,
                                "quorvane", kMbOk);
}

}  // namespace

void PopupBlockerSystem::LoadBlockerSettings() {
  if (!state_.ClaimSettingsLoad()) {
    // Another band may be loading at this moment: deciding with the
    // starting values would let its windows through, and a window counted
    // now would be overwritten by the stored count. The wait is bounded in
    // case that loader died half-way.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoadWaitMs);
    while (!state_.SettingsLoadFinished() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return;
  }
  BlockerSettings s = state_.GetBlockerSettings();
  // A value that is missing or not a number leaves the shared one as it is.
  // Only a REG_DWORD counts: a text "0" read as bytes would be 48 and turn
  // a switch on.
  RegKey key = OpenProductKey();
  auto read = [&key](const char* name, uint32_t* field) {
    uint32_t type = 0;
    uint8_t bytes[4] = {};
    uint32_t size = sizeof bytes;
    if (key.get() &&
        key.registry()->QueryValue(key.get(), name, &type, bytes, &size) == kErrorSuccess &&
        type == kRegDword && size == sizeof bytes)
      *field = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
               static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  };
  read("EnablePopupBlocker", &s.enablePopupBlocker);
  s.showPopupPageStatus = 0;
  s.beepOnPopup = 0;
  read("ShowPopupPageStatus", &s.showPopupPageStatus);
  read("BeepOnPopup", &s.beepOnPopup);
  uint32_t total = state_.TotalBlockedPopups();
  read("TotalBlockedPopups", &total);
  read("BlockFlashMovies", &s.blockFlashMovies);
  read("BlockResize", &s.blockResize);
  read("TempDisableBlockerKey", &s.tempDisableBlockerKey);
  state_.SetBlockerSettings(s);
  state_.SetTotalBlockedPopups(total);

  const std::string list = NormaliseWhitelist(GetSettingString("WhiteList", ""));
  if (state_.UpdateWhitelist([&list](std::string& text) { text = list; }) ==
      WhitelistResult::kTooLong)
    ReportLongWhitelist(list.size(), state_.MaxWhitelistLength(),
                        "the stored whitelist was not loaded.");
  state_.FinishSettingsLoad();
}

bool PopupBlockerSystem::IsReleaseKeyDown() {
  const uint32_t key = state_.GetBlockerSettings().tempDisableBlockerKey;
  if (key != kNoReleaseKey && environment_.IsKeyDown(key)) return true;
  return environment_.IsKeyDown(kVkShift);
}

bool PopupBlockerSystem::IsBlockingActive() {
  return state_.GetBlockerSettings().enablePopupBlocker != 0 && !IsReleaseKeyDown();
}

bool PopupBlockerSystem::IsSiteAllowed(const std::string& url) {
  const SiteKeyResult site = SiteKey(url);
  if (IsHttpsUrl(site.url)) return true;
  // A busy lock means "not allowed" for every host, built-in ones too.
  std::string list;
  if (!state_.GetWhitelist(&list)) return false;
  return WhitelistHas(BuiltInWhitelist(), site.host) || WhitelistHas(list, site.host);
}

bool PopupBlockerSystem::ToggleSiteInWhiteList(const std::string& url) {
  const SiteKeyResult site = SiteKey(url);
  if (IsHttpsUrl(site.url)) return true;
  // Nothing a list could hold, so never allowed by one: changing the list
  // would corrupt it.
  if (!IsListableHost(site.host)) return false;
  enum class Outcome { kToggled, kBuiltIn, kStoredTooLong } outcome = Outcome::kToggled;
  bool wasListed = false;
  size_t wanted = 0;
  const WhitelistResult result = state_.UpdateWhitelist(
      [&](std::string& text) {
        // Built-in hosts cannot be removed.
        if (WhitelistHas(BuiltInWhitelist(), site.host)) {
          outcome = Outcome::kBuiltIn;
          return;
        }
        // A stored list too long to have been loaded must not be replaced
        // by the shorter one in the shared state: the user's hosts would
        // be lost.
        wanted = NormaliseWhitelist(GetSettingString("WhiteList", "")).size();
        if (wanted > state_.MaxWhitelistLength()) {
          outcome = Outcome::kStoredTooLong;
          return;
        }
        wasListed = ToggleHostInWhitelist(text, site.host);
        wanted = text.size();
      },
      [&outcome](const std::string& text) {
        if (outcome == Outcome::kToggled) SetSettingString("WhiteList", text);
      });
  if (result == WhitelistResult::kBusy) return false;
  if (outcome == Outcome::kBuiltIn) return true;
  if (outcome == Outcome::kStoredTooLong) {
    ReportLongWhitelist(wanted, state_.MaxWhitelistLength(),
                        "it was not loaded, so " + site.host + " cannot be added or removed.");
    return false;
  }
  if (result == WhitelistResult::kTooLong) {
    ReportLongWhitelist(wanted, state_.MaxWhitelistLength(), site.host + " was not added.");
    return false;
  }
  return wasListed;
}

void PopupBlockerSystem::TogglePopupBlocking() {
  BlockerSettings s = state_.GetBlockerSettings();
  s.enablePopupBlocker = s.enablePopupBlocker == 0 ? 1 : 0;
  if (state_.SetBlockerSettings(s)) SetSettingDword("EnablePopupBlocker", s.enablePopupBlocker);
}

void PopupBlockerSystem::CountBlockedPopup() {
  state_.CountBlockedPopup();
  // The value stored is read under the lock: the last writer stores a total
  // that holds every window counted before it.
  state_.RunLocked([this] { SetSettingDword("TotalBlockedPopups", state_.TotalBlockedPopups()); });
}

void PopupBlockerSystem::ResetBlockedCount() {
  SetSettingDword("TotalBlockedPopups", 0);
  state_.SetTotalBlockedPopups(0);
}

// --- PopupBlocker

void PopupBlocker::OnBeforeNavigate2(const std::string& url) {
  std::string scheme = url.substr(0, 11);
  for (char& c : scheme)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  allow_ = scheme == "javascript:";
}

bool PopupBlocker::MouseDownAllows(Element& source) {
  std::unique_ptr<Element> owned;
  Element* element = &source;
  // Bounded: a broken parent chain must not keep the page's thread.
  for (int depth = 0; element != nullptr && depth < 10000; ++depth) {
    std::string tag;
    if (element->GetTagName(&tag)) {
      for (char& c : tag)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (tag == "BODY") return false;
      if (tag == "A" || tag == "AREA" || tag == "INPUT" || tag == "IMG") return true;
    }
    owned = element->GetParent();
    element = owned.get();
  }
  return false;
}

void PopupBlocker::OnMouseDown(Element& source) {
  if (MouseDownAllows(source)) allow_ = true;
}

bool PopupBlocker::OnNewWindow2() {
  std::string url;
  if (browser_ == nullptr || !browser_->GetLocationUrl(&url)) url.clear();
  return OnNewWindow2(url);
}

bool PopupBlocker::OnNewWindow2(const std::string& openerUrl) {
  const bool allowed = openerUrl.empty() || system_.IsSiteAllowed(openerUrl);
  bool cancel = false;
  if (!allow_ && !allowed && system_.IsBlockingActive()) {
    system_.CountBlockedPopup();
    NotifyPopupBlocked();
    cancel = true;
  }
  allow_ = false;
  return cancel;
}

void PopupBlocker::NotifyPopupBlocked() {
  const BlockerSettings s = system_.Settings();
  if (s.beepOnPopup != 0) system_.Environment().Beep(kPopupBeepHz, kPopupBeepMs);
  if (signals_ != nullptr) signals_->PopupBlocked();
  if (s.showPopupPageStatus != 0 && browser_ != nullptr)
    if (std::shared_ptr<Document> page = browser_->GetDocument())
      page->SetDefaultStatus(kPopupStatusText);
}

bool PopupBlocker::IsSiteAllowed() {
  std::string url;
  if (browser_ == nullptr || !browser_->GetLocationUrl(&url) || url.empty()) return true;
  return system_.IsSiteAllowed(url);
}

bool PopupBlocker::ToggleSiteInWhiteList() {
  std::string url;
  if (browser_ == nullptr || !browser_->GetLocationUrl(&url) || url.empty()) return true;
  return system_.ToggleSiteInWhiteList(url);
}

bool PopupBlocker::ActsOnPage() {
  return system_.IsBlockingActive() && !IsSiteAllowed();
}

void PopupBlocker::OnDocumentComplete(bool topLevel) {
  allow_ = false;
  if (topLevel && ActsOnPage()) BlockFlashOnPage();
}

void PopupBlocker::OnReadyStateComplete() {
  if (ActsOnPage()) BlockFlashOnPage();
}

void PopupBlocker::BlockFlashOnPage() {
  if (system_.Settings().blockFlashMovies == 0 || browser_ == nullptr) return;
  if (std::shared_ptr<Document> document = browser_->GetDocument()) HideFlashInDocument(document);
}

bool PopupBlocker::ShouldBlockResize(uint32_t positionFlags) {
  // The cheap conditions first: the page's address is asked for last.
  return resize_.ScriptChange(positionFlags) && system_.Settings().blockResize != 0 &&
         system_.IsBlockingActive() && !IsSiteAllowed();
}

uint32_t PopupBlocker::OnWindowPosChanging(uint32_t positionFlags) {
  return ShouldBlockResize(positionFlags) ? positionFlags | kSwpNoSize | kSwpNoMove : positionFlags;
}

void PopupBlocker::OnBrowserQuit(QuitWait& wait) {
  if (browser_ == nullptr) return;
  if (!browser_->Navigate2({"about:blank", std::nullopt, std::nullopt, std::nullopt})) return;
  const uint64_t start = wait.TickCountMs();
  long state = 0;
  if (!wait.GetReadyState(&state)) return;
  while (state != kReadyStateComplete && wait.TickCountMs() - start <= 10000) {
    wait.SleepAndDispatch(100);
    if (!wait.GetReadyState(&state)) return;
  }
}

}  // namespace qv
