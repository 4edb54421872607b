// The browser events of `quorvane-tbdl run`: navigations, mouse-downs, keys
// held, new windows, a page's Flash elements and a script's resize request,
// fed to the pop-up blocker of the run's browser window as a band feeds
// its own, and what the blocker did with them for the report.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/shared_data.h"
#include "platform/document.h"
#include "popup/blocker.h"
#include "simulators/scripted_browser.h"

namespace qv::tools {

struct ToolElement;
class StructuredWriter;

// Keys the run holds, and the beeps it heard.
class ToolKeys : public BlockerEnvironment {
 public:
  bool IsKeyDown(uint32_t key) override { return held.count(key) != 0; }
  void Beep(uint32_t, uint32_t) override { ++beeps; }
  std::set<uint32_t> held;
  int beeps = 0;
};

// A page of the run: its address, the elements added to it (by tag path,
// frames as pages of their own) and the status texts set on it.
class ToolPage : public Document {
 public:
  // The page's window calls are recorded in log as on the scripted
  // browser's own pages.
  ToolPage(std::shared_ptr<CallLog> log, std::string url);
  ~ToolPage() override;
  // Adds the elements of a path such as "BODY/IFRAME/EMBED" (an IFRAME or
  // FRAME segment starts a frame page; the rest go into it) with value as
  // the last element's class id (OBJECT) or source (EMBED).
  void AddPath(const std::string& path, const std::string& value);
  // The last element of a path of this page, created when missing.
  ToolElement& ElementAt(const std::string& path);
  // "PATH" of every element hidden, frames included.
  void HiddenPaths(const std::string& prefix, std::vector<std::string>* paths) const;

  std::vector<std::string> statusTexts;

  bool GetUrl(std::string* url) override;
  bool GetDomain(std::string* domain) override;
  bool FocusWindow() override { return window_.FocusWindow(); }
  bool ShowModalDialog(const std::string& url, const std::string& argument,
                       const std::string& features) override {
    return window_.ShowModalDialog(url, argument, features);
  }
  bool SetDefaultStatus(const std::string& text) override;
  bool HasBody() override { return false; }
  std::unique_ptr<TextRange> CreateBodyTextRange() override { return nullptr; }
  std::unique_ptr<ElementEnumerator> EnumerateAll() override { return nullptr; }
  long GetFrameCount() override { return static_cast<long>(frames_.size()); }
  std::shared_ptr<Document> GetFrameDocument(long index) override;
  std::unique_ptr<ElementCollection> GetElementsByTag(const std::string& tag) override;

 private:
  ToolElement& Child(ToolElement* parent, const std::string& tag);
  std::string url_;
  std::shared_ptr<CallLog> log_;
  PageDocument window_;
  std::vector<std::unique_ptr<ToolElement>> elements_;
  std::vector<std::shared_ptr<ToolPage>> frames_;
  std::vector<std::string> framePaths_;
};

// What one NewWindow2 led to.
struct NewWindowResult {
  std::string opener;
  bool cancelled = false;
  int beeps = 0;
  std::vector<std::string> statusTexts;
};

// The names of the shared block and mutex of runs on settingsFile (empty: a
// run without one, whose names are its own).
void BlockerBlockNames(const std::string& settingsFile, std::string* block, std::string* mutex);

class BrowserEvents {
 public:
  // The shared block of the run: with a settings file, one per file, shared
  // by every run on it; without, one of this process alone. Null, with a
  // reason in *error, when it cannot be opened.
  static std::unique_ptr<BrowserEvents> Open(ScriptedBrowser& browser,
                                             const std::string& settingsFile, std::string* error);

  ~BrowserEvents();
  PopupBlocker& Blocker() { return blocker_; }
  // The actions; false with a reason for an argument that is not one.
  bool Navigate(const std::string& url);
  bool MouseDown(const std::string& path);
  bool Hold(const std::string& key, bool down, std::string* error);
  void NewWindow();
  void Element(const std::string& pathAndValue);
  void ReadyStateComplete() { blocker_.OnReadyStateComplete(); }
  void Resize();

  // "windows", "resizes" and "hidden" of the report.
  void Write(StructuredWriter& w) const;

 private:
  BrowserEvents(ScriptedBrowser& browser, std::unique_ptr<SharedData> shared);
  ScriptedBrowser& browser_;
  // A run of its own removes its names when it ends.
  std::string privateBlock_, privateMutex_;
  std::unique_ptr<SharedData> shared_;
  ToolKeys keys_;
  PopupBlockerSystem system_;
  PopupBlocker blocker_;
  std::shared_ptr<ToolPage> page_;
  std::vector<NewWindowResult> windows_;
  std::vector<bool> resizes_;
};

}  // namespace qv::tools
