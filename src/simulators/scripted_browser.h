// A browser that performs nothing and records every call it receives, with
// a page document that knows only its address and domain. The definition
// tool runs commands against it; tests give it a richer document.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/browser.h"
#include "platform/document.h"

namespace qv {

struct RecordedCall {
  std::string call;
  // Arguments in the order they were passed; a missing argument is absent.
  std::vector<std::pair<std::string, std::string>> args;

  std::optional<std::string> Arg(const std::string& name) const;
};

// Shared by a browser, the windows it opens and their documents.
struct CallLog {
  std::vector<RecordedCall> calls;
  int windowsOpened = 0;

  void Add(RecordedCall call) { calls.push_back(std::move(call)); }
  // The calls named call, in order.
  std::vector<RecordedCall> Named(const std::string& call) const;
};

class ScriptedBrowser : public Browser {
 public:
  // The first browser of a log is window 0; new windows count up from 1.
  explicit ScriptedBrowser(std::shared_ptr<CallLog> log = nullptr, int window = 0);

  bool Navigate2(const NavigateRequest& request) override;
  std::unique_ptr<Browser> CreateNewWindow() override;
  bool SetVisible(bool visible) override;
  bool GetLocationUrl(std::string* url) override;
  std::shared_ptr<Document> GetDocument() override { return document_; }
  bool SetStatusText(const std::string& text) override;
  bool ShowBrowserBar(const std::string& clsid, bool show) override;
  bool Quit() override;

  // What the browser shows. A null document stands for no page.
  void SetDocument(std::shared_ptr<Document> document) { document_ = std::move(document); }
  // Shows a page document for url whose domain is the url's host.
  void ShowPage(const std::string& url);
  void SetCanOpenWindows(bool can) { canOpenWindows_ = can; }

  CallLog& Log() { return *log_; }
  const std::shared_ptr<CallLog>& SharedLog() const { return log_; }

 private:
  RecordedCall Call(const std::string& name) const;

  std::shared_ptr<CallLog> log_;
  int window_;
  std::string location_;
  std::shared_ptr<Document> document_;
  bool canOpenWindows_ = true;
};

// A document without body or frames: address, domain, and a window whose
// calls are recorded in the log.
class PageDocument : public Document {
 public:
  PageDocument(std::shared_ptr<CallLog> log, std::string url, std::string domain);

  bool GetUrl(std::string* url) override;
  bool GetDomain(std::string* domain) override;
  bool FocusWindow() override;
  bool ShowModalDialog(const std::string& url, const std::string& argument,
                       const std::string& features) override;
  bool SetDefaultStatus(const std::string& text) override;
  bool HasBody() override { return false; }
  std::unique_ptr<TextRange> CreateBodyTextRange() override { return nullptr; }
  std::unique_ptr<ElementEnumerator> EnumerateAll() override { return nullptr; }
  long GetFrameCount() override { return 0; }
  std::shared_ptr<Document> GetFrameDocument(long) override { return nullptr; }

 private:
  std::shared_ptr<CallLog> log_;
  std::string url_;
  std::string domain_;
};

// The host part of a URL ("http://a.b:80/x" gives "a.b"); empty when the
// text has no scheme.
std::string HostOfUrl(const std::string& url);

}  // namespace qv
