// The browser seam: the part of the hosting browser window that commands
// drive (navigation, new windows, status text, the band's visibility, quit).
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace qv {

class Document;

// One Navigate2 call. An absent member is a missing argument (an empty
// VARIANT); a present one is passed even when empty. The post body is bytes
// without a terminating zero.
struct NavigateRequest {
  std::string url;
  std::optional<std::string> target;
  std::optional<std::string> postData;
  std::optional<std::string> headers;
};

class Browser {
 public:
  virtual ~Browser() = default;

  // The browser's own answer is not examined by the callers; false only
  // tells that the call could not be made.
  virtual bool Navigate2(const NavigateRequest& request) = 0;
  // A new top-level browser window, not yet visible; null when none could
  // be created.
  virtual std::unique_ptr<Browser> CreateNewWindow() = 0;
  virtual bool SetVisible(bool visible) = 0;
  virtual bool GetLocationUrl(std::string* url) = 0;
  // The top-level HTML document; null when there is none (no page yet, or
  // a view that is not HTML).
  virtual std::shared_ptr<Document> GetDocument() = 0;
  virtual bool SetStatusText(const std::string& text) = 0;
  // ShowBrowserBar with the band's class identifier as text, show as a
  // boolean and a missing size.
  virtual bool ShowBrowserBar(const std::string& clsid, bool show) = 0;
  virtual bool Quit() = 0;
};

}  // namespace qv
