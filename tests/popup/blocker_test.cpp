#include <gtest/gtest.h>

#include <memory>
#include <future>
#include <string>
#include <thread>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "popup/site_key.h"
#include "settings/settings.h"
#include "blocker_test_support.h"

namespace qv::testing {
namespace {

// Holds the shared mutex from another thread (a Windows mutex lets its own
// thread in again) until released.
class MutexHolder {
 public:
  explicit MutexHolder(const std::string& name) {
    thread_ = std::thread([this, name] {
      auto mutex = GetSharedMemory().OpenMutex(name);
      const bool held = mutex && mutex->Lock(1000) == LockResult::kAcquired;
      held_.set_value(held);
      release_.get_future().wait();
      if (held) mutex->Unlock();
    });
    held = held_.get_future().get();
  }
  ~MutexHolder() { Release(); }
  void Release() {
    if (!thread_.joinable()) return;
    release_.set_value();
    thread_.join();
  }
  bool held = false;

 private:
  std::promise<bool> held_;
  std::promise<void> release_;
  std::thread thread_;
};

class BlockerTest : public ::testing::Test, public BlockerFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(shared);
    system_ = std::make_unique<PopupBlockerSystem>(*shared, environment);
    blocker_ = std::make_unique<PopupBlocker>(*system_, &browser_, &signals_);
  }
  void Load() { system_->LoadBlockerSettings(); }
  std::string List() {
    std::string text;
    EXPECT_TRUE(shared->GetWhitelist(&text));
    return text;
  }

  struct Signals : PopupSignals {
    void PopupBlocked() override { ++blocked; }
    int blocked = 0;
  } signals_;
  TestBrowser browser_;
  std::unique_ptr<PopupBlockerSystem> system_;
  std::unique_ptr<PopupBlocker> blocker_;
};

TEST_F(BlockerTest, SettingsLoadOnceWithTheirDefaultsAndMendedTypes) {
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingString("BlockResize", "0");  // the wrong type: the shared 1 stays
  SetSettingDword("TotalBlockedPopups", 41);
  SetSettingDword("TempDisableBlockerKey", kNoReleaseKey);
  SetSettingString("WhiteList", "");
  Load();
  BlockerSettings s = shared->GetBlockerSettings();
  EXPECT_EQ(1u, s.enablePopupBlocker);
  EXPECT_EQ(0u, s.showPopupPageStatus);  // 1 in the block, 0 when missing
  EXPECT_EQ(1u, s.blockResize);
  EXPECT_EQ(kNoReleaseKey, s.tempDisableBlockerKey);
  EXPECT_EQ(41u, shared->TotalBlockedPopups());
  EXPECT_EQ("!", List());
  // Once per system: a second band reads nothing.
  SetSettingDword("EnablePopupBlocker", 0);
  PopupBlockerSystem other(*shared, environment);
  other.LoadBlockerSettings();
  EXPECT_EQ(1u, shared->GetBlockerSettings().enablePopupBlocker);
}

TEST_F(BlockerTest, OverLongStoredWhitelistIsRefusedWithAMessage) {
  std::string huge = "!";
  while (huge.size() <= kMaxWhitelistLength) huge += "host.test!";
  SetSettingString("WhiteList", huge);
  Load();
  EXPECT_EQ(InitialUserWhitelist(), List());
  ASSERT_EQ(1u, messages.messages().size());
  EXPECT_NE(std::string::npos, messages.messages()[0].text.find("was not loaded"));
  EXPECT_EQ(huge, GetSettingString("WhiteList", ""));  // the stored value is left alone
  // Nor does a toggle put the shorter shared list in its place.
  EXPECT_FALSE(system_->ToggleSiteInWhiteList("http://new.test/"));
  EXPECT_EQ(huge, GetSettingString("WhiteList", ""));
  EXPECT_EQ(InitialUserWhitelist(), List());
  ASSERT_EQ(2u, messages.messages().size());
  EXPECT_NE(std::string::npos, messages.messages()[1].text.find("new.test cannot be added"));
}

// A band made while another is loading the settings decides with what that
// one loads, not with the starting values; a loader that died half-way
// holds it up for a bounded time only.
TEST_F(BlockerTest, ABandThatFindsTheLoadUnderWayWaitsForIt) {
  ASSERT_TRUE(shared->ClaimSettingsLoad());  // the other band's claim
  auto waiter = std::async(std::launch::async, [this] {
    system_->LoadBlockerSettings();
    return system_->IsBlockingActive();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  BlockerSettings s = shared->GetBlockerSettings();
  s.enablePopupBlocker = 1;
  shared->SetBlockerSettings(s);
  shared->FinishSettingsLoad();
  EXPECT_TRUE(waiter.get());

  BlockerFixture dead;
  ASSERT_TRUE(dead.shared && dead.shared->ClaimSettingsLoad());
  PopupBlockerSystem late(*dead.shared, environment);
  const auto start = std::chrono::steady_clock::now();
  late.LoadBlockerSettings();
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(PopupBlockerSystem::kLoadWaitMs - 50));
  EXPECT_LT(waited, std::chrono::seconds(5));
}

// Which combinations block: the allow flag, a release key, https, and the
// two lists.
TEST_F(BlockerTest, DecisionTable) {
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingString("WhiteList", "!listed.test!");
  Load();
  struct Case {
    bool enabled;
    bool allowFlag;
    uint32_t releaseKey;  // setting
    uint32_t held;        // 0: nothing held
    const char* opener;
    bool cancel;
  } cases[] = {
      {true, false, 17, 0, "http://ads.test/", true},
      {false, false, 17, 0, "http://ads.test/", false},
      {true, true, 17, 0, "http://ads.test/", false},
      {true, false, 17, 17, "http://ads.test/", false},  // Ctrl configured
      {true, false, 17, 16, "http://ads.test/", false},  // Shift always
      {true, false, kNoReleaseKey, 16, "http://ads.test/", false},
      {true, false, kNoReleaseKey, 17, "http://ads.test/", true},  // Ctrl is not a key now
      {true, false, 17, 0, "https://ads.test/", false},
      {true, false, 17, 0, "http://listed.test/x", false},
      {true, false, 17, 0, "http://sub.listed.test/x", true},
      {true, false, 17, 0, "http://www.ostrivel.com/a", false},  // built in
      {true, false, 17, 0, "", false},                           // opener unknown
  };
  for (const Case& c : cases) {
    BlockerSettings s = shared->GetBlockerSettings();
    s.enablePopupBlocker = c.enabled;
    s.tempDisableBlockerKey = c.releaseKey;
    ASSERT_TRUE(shared->SetBlockerSettings(s));
    environment.down.clear();
    if (c.held) environment.down.insert(c.held);
    blocker_->SetAllowFlag(c.allowFlag);
    const uint32_t before = shared->TotalBlockedPopups();
    EXPECT_EQ(c.cancel, blocker_->OnNewWindow2(c.opener)) << c.opener << " row " << (&c - cases);
    EXPECT_EQ(before + (c.cancel ? 1 : 0), shared->TotalBlockedPopups());
    EXPECT_FALSE(blocker_->AllowFlag());
  }
}

TEST_F(BlockerTest, ABlockedWindowIsCountedStoredAndSignalled) {
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingDword("BeepOnPopup", 1);
  SetSettingDword("ShowPopupPageStatus", 1);
  Load();
  browser_.location = "http://ads.test/";
  EXPECT_TRUE(blocker_->OnNewWindow2());
  EXPECT_EQ(1u, GetSettingDword("TotalBlockedPopups", 0));
  ASSERT_EQ(1u, environment.beeps.size());
  EXPECT_EQ(std::make_pair(250u, 100u), environment.beeps[0]);
  EXPECT_EQ(1, signals_.blocked);
  EXPECT_EQ(std::vector<std::string>{"This page contains popup windows!"},
            browser_.page->statusTexts);
  // A browser that cannot tell its address lets the window through.
  browser_.locationReadable = false;
  EXPECT_FALSE(blocker_->OnNewWindow2());
}

TEST_F(BlockerTest, OffBlockerNeitherCountsNorSignals) {
  SetSettingDword("BeepOnPopup", 1);
  Load();
  browser_.location = "http://ads.test/";
  EXPECT_FALSE(blocker_->OnNewWindow2());
  EXPECT_EQ(0u, shared->TotalBlockedPopups());
  EXPECT_TRUE(environment.beeps.empty());
  EXPECT_EQ(0, signals_.blocked);
}

TEST_F(BlockerTest, BusyLockCountsInMemoryAndTreatsTheSiteAsNotAllowed) {
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingString("WhiteList", "!listed.test!");
  Load();
  MutexHolder holder(mutexName);
  ASSERT_TRUE(holder.held);
  EXPECT_FALSE(system_->IsSiteAllowed("http://listed.test/"));
  EXPECT_FALSE(system_->IsSiteAllowed("http://www.ostrivel.com/"));  // built in, all the same
  EXPECT_TRUE(system_->IsSiteAllowed("https://secure.test/"));       // needs no list
  EXPECT_FALSE(system_->ToggleSiteInWhiteList("http://new.test/"));
  EXPECT_FALSE(system_->ToggleSiteInWhiteList("http://www.ostrivel.com/"));
  EXPECT_TRUE(blocker_->OnNewWindow2("http://ads.test/"));
  holder.Release();
  EXPECT_EQ(1u, shared->TotalBlockedPopups());
  EXPECT_EQ(0u, GetSettingDword("TotalBlockedPopups", 0));
  EXPECT_EQ("!listed.test!", List());
}

#ifndef _WIN32
TEST_F(BlockerTest, HolderThatDiesAbandonsTheLockAndTheWaiterGoesOn) {
  Load();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto mutex = GetSharedMemory().OpenMutex(mutexName);
    _exit(mutex && mutex->Lock(1000) == LockResult::kAcquired ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(system_->ToggleSiteInWhiteList("http://new.test/"));
  EXPECT_EQ("!new.test!", List());
}
#endif

// The one settings load of the system: its switches and count are not lost
// to a mutex that another process holds at that moment.
TEST_F(BlockerTest, SettingsLoadUnderABusyMutexKeepsTheSwitches) {
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingDword("TotalBlockedPopups", 12);
  MutexHolder holder(mutexName);
  ASSERT_TRUE(holder.held);
  Load();
  holder.Release();
  EXPECT_EQ(1u, shared->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(12u, shared->TotalBlockedPopups());
}

TEST_F(BlockerTest, ToggleResultTellsWhetherTheSiteWasAllowed) {
  Load();
  EXPECT_FALSE(system_->ToggleSiteInWhiteList("http://a.test/x"));
  EXPECT_EQ("!a.test!", GetSettingString("WhiteList", ""));
  EXPECT_TRUE(system_->IsSiteAllowed("HTTP://A.TEST/y"));
  EXPECT_TRUE(system_->ToggleSiteInWhiteList("http://a.test/z"));
  EXPECT_EQ("!", List());
  // https and built-in hosts: allowed, nothing changes, nothing is stored.
  SetSettingString("WhiteList", "!marker.test!");
  EXPECT_TRUE(system_->ToggleSiteInWhiteList("https://s.test/"));
  EXPECT_TRUE(system_->ToggleSiteInWhiteList("http://www.ostrivel.com/"));
  EXPECT_EQ("!", List());
  EXPECT_EQ("!marker.test!", GetSettingString("WhiteList", ""));
  // Addresses of any length and bytes: nothing breaks the list's shape,
  // and a host too long for it is refused whole.
  struct Bad {
    std::string url;
    bool wasAllowed;
    const char* after;
  } bad[] = {
      {"", false, "!"},  // the host is empty: nothing a list can hold
      {"http://a!b.test/", false, "!"},
      {"https://", true, "!"},
      {"http://\x80\xFF.test/", false, "!\x80\xFF.test!"},
      {"http://" + std::string(100000, 'h') + "/", false, "!\x80\xFF.test!"},
  };
  for (const Bad& b : bad) {
    EXPECT_EQ(b.wasAllowed, system_->ToggleSiteInWhiteList(b.url)) << b.url.substr(0, 20);
    EXPECT_EQ(b.after, List()) << b.url.substr(0, 20);
  }
  ASSERT_EQ(1u, messages.messages().size());
  EXPECT_NE(std::string::npos, messages.messages()[0].text.find("100010 characters"));
  ASSERT_TRUE(system_->ToggleSiteInWhiteList("http://\x80\xFF.test/"));
  messages.Clear();
  // A list at its limit refuses the next host with a message.
  const std::string full = "!" + std::string(kMaxWhitelistLength - 2, 'x') + "!";
  ASSERT_EQ(WhitelistResult::kOk, shared->SetWhitelist(full));
  EXPECT_FALSE(system_->ToggleSiteInWhiteList("http://b.test/"));
  EXPECT_EQ(full, List());
  ASSERT_EQ(1u, messages.messages().size());
  EXPECT_NE(std::string::npos, messages.messages()[0].text.find("b.test was not added"));
}

TEST_F(BlockerTest, SwitchAndCounterReset) {
  Load();
  system_->TogglePopupBlocking();
  EXPECT_EQ(1u, shared->GetBlockerSettings().enablePopupBlocker);
  EXPECT_EQ(1u, GetSettingDword("EnablePopupBlocker", 7));
  system_->TogglePopupBlocking();
  EXPECT_EQ(0u, GetSettingDword("EnablePopupBlocker", 7));
  shared->CountBlockedPopup();
  SetSettingDword("TotalBlockedPopups", 9);
  system_->ResetBlockedCount();
  EXPECT_EQ(0u, shared->TotalBlockedPopups());
  EXPECT_EQ(0u, GetSettingDword("TotalBlockedPopups", 9));
}

TEST_F(BlockerTest, AllowFlagFollowsTheBrowsersEvents) {
  SetSettingDword("EnablePopupBlocker", 1);
  Load();
  browser_.location = "http://ads.test/";
  blocker_->OnBeforeNavigate2("JavaScript:window.open('x')");
  EXPECT_TRUE(blocker_->AllowFlag());
  EXPECT_FALSE(blocker_->OnNewWindow2());
  EXPECT_TRUE(blocker_->OnNewWindow2());  // the flag went with the first
  blocker_->OnBeforeNavigate2("javascript");
  EXPECT_FALSE(blocker_->AllowFlag());

  TestPage& page = *browser_.page;
  PageElement& body = page.Add("BODY");
  PageElement& link = page.Add("A");
  PageElement& img = page.Add("img");
  PageElement& span = page.Add("SPAN");
  PageElement& div = page.Add("DIV");
  PageElement& html = page.Add("HTML");
  PageElement& silent = page.Add("INPUT");
  body.parent = &html;
  link.parent = &body;
  img.parent = &link;
  span.parent = &img;
  div.parent = &body;
  silent.answers = false;
  silent.parent = &link;
  struct Case {
    PageElement* source;
    bool allows;
  } cases[] = {{&span, true},  {&img, true},   {&div, false},
               {&body, false}, {&html, false}, {&silent, true}};
  for (const Case& c : cases) {
    PageElementRef ref(c.source);
    EXPECT_EQ(c.allows, PopupBlocker::MouseDownAllows(ref)) << c.source->tag;
  }
  PageElementRef ref(&span);
  blocker_->OnMouseDown(ref);
  EXPECT_FALSE(blocker_->OnNewWindow2());
  blocker_->OnMouseDown(ref);
  blocker_->OnNavigateComplete2();
  EXPECT_TRUE(blocker_->OnNewWindow2());
}

TEST_F(BlockerTest, FlashIsHiddenInFramesAtAnyDepthOnlyWhereTheBlockerActs) {
  SetSettingDword("EnablePopupBlocker", 1);
  SetSettingDword("BlockFlashMovies", 1);
  SetSettingString("WhiteList", "!listed.test!");
  Load();
  TestPage& top = *browser_.page;
  PageElement& upper = top.Add("OBJECT", "CLSID:D27CDB6E-AE6D-11CF-96B8-444553540000");
  PageElement& lower = top.Add("OBJECT", "clsid:d27cdb6e-ae6d-11cf-96b8-444553540000");
  PageElement& other = top.Add("OBJECT", "clsid:00000000-0000-0000-0000-000000000000");
  PageElement& swf = top.Add("EMBED", "", "http://a.test/movie.SWF");
  PageElement& query = top.Add("EMBED", "", "http://a.test/movie.swf?v=1");
  PageElement& nodot = top.Add("EMBED", "", "swf");
  PageElement& silent = top.Add("EMBED", "", "x.swf");
  silent.answers = false;
  auto frame = std::make_shared<TestPage>();
  auto inner = std::make_shared<TestPage>();
  PageElement& deep = inner->Add("EMBED", "", "deep.swf");
  frame->frames.push_back(inner);
  frame->frames.push_back(frame);  // a broken container: walked once
  // The test's own cycle of pages is broken when the test ends.
  struct BreakCycle {
    std::shared_ptr<TestPage> page;
    ~BreakCycle() { page->frames.clear(); }
  } breakCycle{frame};
  top.frames.push_back(frame);

  browser_.location = "https://secure.test/";
  blocker_->OnDocumentComplete(true);
  browser_.location = "http://listed.test/";
  blocker_->OnDocumentComplete(true);
  EXPECT_FALSE(upper.Hidden());
  EXPECT_FALSE(deep.Hidden());

  browser_.location = "http://ads.test/";
  blocker_->OnDocumentComplete(false);  // a frame's completion: nothing yet
  EXPECT_FALSE(upper.Hidden());
  blocker_->OnReadyStateComplete();
  EXPECT_TRUE(upper.Hidden());
  EXPECT_TRUE(lower.Hidden());
  EXPECT_FALSE(other.Hidden());
  EXPECT_TRUE(swf.Hidden());
  EXPECT_FALSE(query.Hidden());
  EXPECT_FALSE(nodot.Hidden());
  EXPECT_FALSE(silent.Hidden());
  EXPECT_TRUE(deep.Hidden());

  // A document whose collections fail is left as it is.
  auto broken = std::make_shared<TestPage>();
  PageElement& kept = broken->Add("EMBED", "", "a.swf");
  broken->collectionsFail = true;
  EXPECT_EQ(0, HideFlashInDocument(broken));
  EXPECT_FALSE(kept.Hidden());
}

TEST_F(BlockerTest, ResizeRule) {
  SetSettingDword("EnablePopupBlocker", 1);
  Load();
  browser_.location = "http://ads.test/";
  // Not placed yet: the first placement is the browser's own.
  EXPECT_FALSE(blocker_->ShouldBlockResize(0));
  blocker_->OnFrameMessage(kWmWindowPosChanged, 0);
  EXPECT_EQ(kSwpNoSize | kSwpNoMove | 0x4u, blocker_->OnWindowPosChanging(0x4));
  EXPECT_FALSE(blocker_->ShouldBlockResize(kSwpFrameChanged));

  struct Step {
    uint32_t message;
    uintptr_t wParam;
    bool blocked;  // a script's change right after the message
  } steps[] = {
      {kWmEnterSizeMove, 0, false},  // the user drags the border
      {kWmCaptureChanged, 0, false},
      {kWmExitSizeMove, 0, true},
      {kWmSysCommand, kScMaximize, false},
      {kWmWindowPosChanged, 0, true},
      {kWmSysCommand, kScMaximize | 2, false},  // a double click on the caption
      {kWmWindowPosChanged, 0, true},
      {kWmSysCommand, 0xF010, true},  // SC_MOVE is not a system sizing
      {kWmCaptureChanged, 0, false},
      {kWmWindowPosChanged, 0, true},
  };
  for (const Step& s : steps) {
    blocker_->OnFrameMessage(s.message, s.wParam);
    EXPECT_EQ(s.blocked, blocker_->ShouldBlockResize(0)) << std::hex << s.message;
  }
  // A release key, BlockResize 0, an allowed page: scripts may resize.
  environment.down.insert(16);
  EXPECT_FALSE(blocker_->ShouldBlockResize(0));
  environment.down.clear();
  BlockerSettings s = shared->GetBlockerSettings();
  s.blockResize = 0;
  shared->SetBlockerSettings(s);
  EXPECT_FALSE(blocker_->ShouldBlockResize(0));
  s.blockResize = 1;
  shared->SetBlockerSettings(s);
  browser_.location = "https://ads.test/";
  EXPECT_FALSE(blocker_->ShouldBlockResize(0));
}

TEST_F(BlockerTest, QuitUnloadsThePageAndWaitsAtMostTenSeconds) {
  struct Wait : QuitWait {
    bool GetReadyState(long* state) override {
      ++reads;
      *state = reads >= readyAfter ? kReadyStateComplete : 1;
      return reads != failAt;
    }
    uint64_t TickCountMs() override { return now; }
    void SleepAndDispatch(uint32_t ms) override { now += ms; }
    int reads = 0, readyAfter = 1000000, failAt = -1;
    uint64_t now = 5000;
  };
  Wait slow;
  blocker_->OnBrowserQuit(slow);
  ASSERT_EQ(1u, browser_.Log().Named("Navigate2").size());
  EXPECT_EQ("about:blank", browser_.Log().Named("Navigate2")[0].Arg("url"));
  EXPECT_GT(slow.now - 5000, 10000u);
  EXPECT_LT(slow.now - 5000, 10300u);
  Wait ready;
  ready.readyAfter = 3;
  blocker_->OnBrowserQuit(ready);
  EXPECT_EQ(3, ready.reads);
  Wait failing;
  failing.failAt = 2;
  blocker_->OnBrowserQuit(failing);
  EXPECT_EQ(2, failing.reads);
}

}  // namespace
}  // namespace qv::testing
