#include "tools/run_browser.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>

#include "platform/services.h"
#include "simulators/scripted_browser.h"
#include "tools/structured_writer.h"

namespace qv::tools {

struct ToolElement {
  std::string tag;
  std::string path;  // from the page's root, "BODY/OBJECT"
  std::string value;
  ToolElement* parent = nullptr;
  std::string visibility;
  long height = -1;
  long width = -1;
};

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) parts.push_back(Upper(path.substr(start, slash - start)));
    start = slash + 1;
  }
  return parts;
}

class Style : public ElementStyle {
 public:
  explicit Style(ToolElement& e) : e_(e) {}
  bool SetVisibility(const std::string& value) override {
    e_.visibility = value;
    return true;
  }
  bool SetPixelHeight(long pixels) override {
    e_.height = pixels;
    return true;
  }
  bool SetPixelWidth(long pixels) override {
    e_.width = pixels;
    return true;
  }

 private:
  ToolElement& e_;
};

class ElementRef : public Element {
 public:
  explicit ElementRef(ToolElement& e) : e_(e) {}
  bool GetId(std::string*) override { return false; }
  bool GetTagName(std::string* tag) override {
    *tag = e_.tag;
    return true;
  }
  bool GetInnerHtml(std::string*) override { return false; }
  bool SetOuterHtml(const std::string&) override { return false; }
  std::unique_ptr<Element> GetParent() override {
    return e_.parent ? std::make_unique<ElementRef>(*e_.parent) : nullptr;
  }
  bool GetClassId(std::string* id) override {
    if (e_.tag != "OBJECT") return false;
    *id = e_.value;
    return true;
  }
  bool GetSource(std::string* source) override {
    if (e_.tag != "EMBED") return false;
    *source = e_.value;
    return true;
  }
  std::unique_ptr<ElementStyle> GetStyle() override { return std::make_unique<Style>(e_); }

 private:
  ToolElement& e_;
};

class Collection : public ElementCollection {
 public:
  explicit Collection(std::vector<ToolElement*> items) : items_(std::move(items)) {}
  bool GetLength(long* length) override {
    *length = static_cast<long>(items_.size());
    return true;
  }
  std::unique_ptr<Element> Item(long index) override {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
    return std::make_unique<ElementRef>(*items_[index]);
  }

 private:
  std::vector<ToolElement*> items_;
};

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace

ToolPage::ToolPage(std::shared_ptr<CallLog> log, std::string url)
    : url_(url), log_(log), window_(std::move(log), url, HostOfUrl(url)) {}
ToolPage::~ToolPage() = default;

ToolElement& ToolPage::Child(ToolElement* parent, const std::string& tag) {
  const std::string path = parent ? parent->path + "/" + tag : tag;
  for (auto& e : elements_)
    if (e->path == path) return *e;
  elements_.push_back(std::make_unique<ToolElement>());
  ToolElement& e = *elements_.back();
  e.tag = tag;
  e.path = path;
  e.parent = parent;
  return e;
}

ToolElement& ToolPage::ElementAt(const std::string& path) {
  ToolElement* element = nullptr;
  for (const std::string& tag : Segments(path)) element = &Child(element, tag);
  if (element == nullptr) element = &Child(nullptr, "BODY");
  return *element;
}

void ToolPage::AddPath(const std::string& path, const std::string& value) {
  const std::vector<std::string> parts = Segments(path);
  ToolElement* element = nullptr;
  for (size_t i = 0; i < parts.size(); ++i) {
    element = &Child(element, parts[i]);
    if ((parts[i] == "IFRAME" || parts[i] == "FRAME") && i + 1 < parts.size()) {
      std::shared_ptr<ToolPage> frame;
      for (size_t f = 0; f < frames_.size(); ++f)
        if (framePaths_[f] == element->path) frame = frames_[f];
      if (!frame) {
        frame = std::make_shared<ToolPage>(log_, "");
        frames_.push_back(frame);
        framePaths_.push_back(element->path);
      }
      std::string rest;
      for (size_t j = i + 1; j < parts.size(); ++j) rest += (rest.empty() ? "" : "/") + parts[j];
      frame->AddPath(rest, value);
      return;
    }
  }
  if (element) element->value = value;
}

void ToolPage::HiddenPaths(const std::string& prefix, std::vector<std::string>* paths) const {
  for (const auto& e : elements_)
    if (e->visibility == "hidden" && e->height == 0 && e->width == 0)
      paths->push_back(prefix + e->path);
  for (size_t f = 0; f < frames_.size(); ++f)
    frames_[f]->HiddenPaths(prefix + framePaths_[f] + "/", paths);
}

bool ToolPage::GetUrl(std::string* url) {
  *url = url_;
  return true;
}

bool ToolPage::GetDomain(std::string* domain) {
  *domain = HostOfUrl(url_);
  return true;
}

bool ToolPage::SetDefaultStatus(const std::string& text) {
  statusTexts.push_back(text);
  return window_.SetDefaultStatus(text);
}

std::shared_ptr<Document> ToolPage::GetFrameDocument(long index) {
  if (index < 0 || static_cast<size_t>(index) >= frames_.size()) return nullptr;
  return frames_[index];
}

std::unique_ptr<ElementCollection> ToolPage::GetElementsByTag(const std::string& tag) {
  std::vector<ToolElement*> items;
  for (auto& e : elements_)
    if (e->tag == tag) items.push_back(e.get());
  return std::make_unique<Collection>(std::move(items));
}

// --- BrowserEvents

void BlockerBlockNames(const std::string& settingsFile, std::string* block, std::string* mutex) {
  // Runs on one settings file share one blocker, as the browser windows of
  // one user do; a run without one has a blocker of its own.
  std::string suffix;
  if (!settingsFile.empty()) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(settingsFile, ec);
    suffix = "tool-" + std::to_string(Fnv1a(ec ? settingsFile : full.lexically_normal().string()));
  } else {
    suffix = "tool-" + std::to_string(getpid()) + "-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  }
  *block = std::string(kSharedDataBlockName) + "-" + suffix;
  *mutex = std::string(kSharedDataMutexName) + "-" + suffix;
}

std::unique_ptr<BrowserEvents> BrowserEvents::Open(ScriptedBrowser& browser,
                                                   const std::string& settingsFile,
                                                   std::string* error) {
  std::string block, mutex;
  BlockerBlockNames(settingsFile, &block, &mutex);
  std::unique_ptr<SharedData> shared = SharedData::Open(block, mutex, error);
  if (!shared) return nullptr;
  std::unique_ptr<BrowserEvents> events(new BrowserEvents(browser, std::move(shared)));
  if (settingsFile.empty()) {
    events->privateBlock_ = block;
    events->privateMutex_ = mutex;
  }
  return events;
}

BrowserEvents::~BrowserEvents() {
  shared_.reset();
  if (!privateBlock_.empty()) GetSharedMemory().RemoveNames(privateBlock_, privateMutex_);
}

BrowserEvents::BrowserEvents(ScriptedBrowser& browser, std::unique_ptr<SharedData> shared)
    : browser_(browser),
      shared_(std::move(shared)),
      system_(*shared_, keys_),
      blocker_(system_, &browser_) {
  system_.LoadBlockerSettings();
  // The browser window has been placed on the screen before any page runs.
  blocker_.OnFrameMessage(kWmWindowPosChanged, 0);
  std::string url;
  browser_.GetLocationUrl(&url);
  page_ = std::make_shared<ToolPage>(browser_.SharedLog(), url);
  browser_.SetDocument(page_);
}

bool BrowserEvents::Navigate(const std::string& url) {
  blocker_.OnBeforeNavigate2(url);
  // A javascript: address runs in the page; the page stays.
  if (blocker_.AllowFlag()) return true;
  blocker_.OnNavigateComplete2();
  browser_.ShowPage(url);
  page_ = std::make_shared<ToolPage>(browser_.SharedLog(), url);
  browser_.SetDocument(page_);
  blocker_.OnDocumentComplete(true);
  return true;
}

bool BrowserEvents::MouseDown(const std::string& path) {
  ElementRef element(page_->ElementAt(path));
  blocker_.OnMouseDown(element);
  return true;
}

bool BrowserEvents::Hold(const std::string& key, bool down, std::string* error) {
  const std::string name = Upper(key);
  uint32_t code = 0;
  if (name == "SHIFT") {
    code = 16;
  } else if (name == "CTRL") {
    code = 17;
  } else if (!key.empty() && key.size() <= 3 &&
             key.find_first_not_of("0123456789") == std::string::npos && std::stoul(key) <= 255) {
    code = static_cast<uint32_t>(std::stoul(key));
  } else {
    *error = "not a key: " + key + " (SHIFT, CTRL or a virtual-key code 0 to 255)";
    return false;
  }
  if (down)
    keys_.held.insert(code);
  else
    keys_.held.erase(code);
  return true;
}

void BrowserEvents::NewWindow() {
  NewWindowResult result;
  browser_.GetLocationUrl(&result.opener);
  const int beeps = keys_.beeps;
  const size_t texts = page_->statusTexts.size();
  result.cancelled = blocker_.OnNewWindow2();
  result.beeps = keys_.beeps - beeps;
  result.statusTexts.assign(page_->statusTexts.begin() + static_cast<long>(texts),
                            page_->statusTexts.end());
  windows_.push_back(std::move(result));
}

void BrowserEvents::Element(const std::string& pathAndValue) {
  const size_t at = pathAndValue.find('@');
  page_->AddPath(pathAndValue.substr(0, at),
                 at == std::string::npos ? std::string() : pathAndValue.substr(at + 1));
}

void BrowserEvents::Resize() {
  resizes_.push_back(blocker_.ShouldBlockResize(0));
}

void BrowserEvents::Write(StructuredWriter& w) const {
  w.Key("windows").BeginArray();
  for (const NewWindowResult& r : windows_) {
    w.BeginObject()
        .StringField("opener", r.opener)
        .BoolField("cancelled", r.cancelled)
        .IntField("beeps", r.beeps)
        .Key("statusTexts")
        .BeginArray();
    for (const std::string& text : r.statusTexts) w.String(text);
    w.EndArray().EndObject();
  }
  w.EndArray().Key("resizes").BeginArray();
  for (bool blocked : resizes_) w.BeginObject().BoolField("blocked", blocked).EndObject();
  w.EndArray().Key("hidden").BeginArray();
  std::vector<std::string> hidden;
  page_->HiddenPaths("", &hidden);
  for (const std::string& path : hidden) w.String(path);
  w.EndArray();
}

}  // namespace qv::tools
