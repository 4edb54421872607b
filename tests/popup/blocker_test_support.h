// What the blocker's tests share: a blocker over a real shared block of
// its own, settings in memory, keys and beeps under the test's control, and
// a page whose elements, styles and frames the test builds.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/shared_data.h"
#include "platform/document.h"
#include "platform/services.h"
#include "popup/blocker.h"
#include "simulators/message_recorder.h"
#include "simulators/scripted_browser.h"
#include "support/memory_registry.h"

namespace qv::testing {

class TestEnvironment : public BlockerEnvironment {
 public:
  bool IsKeyDown(uint32_t key) override { return down.count(key) != 0; }
  void Beep(uint32_t hz, uint32_t ms) override { beeps.push_back({hz, ms}); }
  std::set<uint32_t> down;
  std::vector<std::pair<uint32_t, uint32_t>> beeps;
};

struct PageElement {
  std::string tag;
  std::string classId;  // OBJECT
  std::string source;   // EMBED
  bool answers = true;  // false: every property read fails
  PageElement* parent = nullptr;
  std::string visibility;
  long height = -1, width = -1;
  bool Hidden() const { return visibility == "hidden" && height == 0 && width == 0; }
};

class PageElementRef : public Element {
 public:
  explicit PageElementRef(PageElement* e) : e_(e) {}
  bool GetId(std::string*) override { return false; }
  bool GetTagName(std::string* tag) override {
    if (!e_->answers) return false;
    *tag = e_->tag;
    return true;
  }
  bool GetInnerHtml(std::string*) override { return false; }
  bool SetOuterHtml(const std::string&) override { return false; }
  std::unique_ptr<Element> GetParent() override {
    return e_->parent ? std::make_unique<PageElementRef>(e_->parent) : nullptr;
  }
  bool GetClassId(std::string* id) override {
    if (!e_->answers || e_->tag != "OBJECT") return false;
    *id = e_->classId;
    return true;
  }
  bool GetSource(std::string* src) override {
    if (!e_->answers || e_->tag != "EMBED") return false;
    *src = e_->source;
    return true;
  }
  std::unique_ptr<ElementStyle> GetStyle() override;

 private:
  PageElement* e_;
};

class PageStyle : public ElementStyle {
 public:
  explicit PageStyle(PageElement* e) : e_(e) {}
  bool SetVisibility(const std::string& v) override {
    e_->visibility = v;
    return true;
  }
  bool SetPixelHeight(long p) override {
    e_->height = p;
    return true;
  }
  bool SetPixelWidth(long p) override {
    e_->width = p;
    return true;
  }

 private:
  PageElement* e_;
};

inline std::unique_ptr<ElementStyle> PageElementRef::GetStyle() {
  return e_->answers ? std::make_unique<PageStyle>(e_) : nullptr;
}

class TestPage : public Document {
 public:
  PageElement& Add(const std::string& tag, const std::string& classId = "",
                   const std::string& source = "") {
    auto element = std::make_unique<PageElement>();
    element->tag = tag;
    element->classId = classId;
    element->source = source;
    elements.push_back(std::move(element));
    return *elements.back();
  }
  bool GetUrl(std::string*) override { return false; }
  bool GetDomain(std::string*) override { return false; }
  bool FocusWindow() override { return true; }
  bool ShowModalDialog(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  bool SetDefaultStatus(const std::string& text) override {
    statusTexts.push_back(text);
    return true;
  }
  bool HasBody() override { return true; }
  std::unique_ptr<TextRange> CreateBodyTextRange() override { return nullptr; }
  std::unique_ptr<ElementEnumerator> EnumerateAll() override { return nullptr; }
  long GetFrameCount() override { return static_cast<long>(frames.size()); }
  std::shared_ptr<Document> GetFrameDocument(long i) override { return frames.at(i); }
  std::unique_ptr<ElementCollection> GetElementsByTag(const std::string& tag) override;

  std::vector<std::unique_ptr<PageElement>> elements;
  std::vector<std::shared_ptr<Document>> frames;
  std::vector<std::string> statusTexts;
  bool collectionsFail = false;
};

class TestCollection : public ElementCollection {
 public:
  explicit TestCollection(std::vector<PageElement*> items) : items_(std::move(items)) {}
  bool GetLength(long* n) override {
    *n = static_cast<long>(items_.size());
    return true;
  }
  std::unique_ptr<Element> Item(long i) override {
    // An element that does not answer is not handed out at all.
    if (!items_[i]->answers && items_[i]->tag == "EMBED") return nullptr;
    return std::make_unique<PageElementRef>(items_[i]);
  }

 private:
  std::vector<PageElement*> items_;
};

inline std::unique_ptr<ElementCollection> TestPage::GetElementsByTag(const std::string& tag) {
  if (collectionsFail) return nullptr;
  std::vector<PageElement*> items;
  for (auto& e : elements)
    if (e->tag == tag) items.push_back(e.get());
  return std::make_unique<TestCollection>(std::move(items));
}

// A browser whose page is a TestPage at a given address.
class TestBrowser : public ScriptedBrowser {
 public:
  bool GetLocationUrl(std::string* url) override {
    if (!locationReadable) return false;
    *url = location;
    return true;
  }
  std::shared_ptr<Document> GetDocument() override { return page; }
  std::string location;
  bool locationReadable = true;
  std::shared_ptr<TestPage> page = std::make_shared<TestPage>();
};

// A fresh shared block, settings in memory and message boxes recorded.
class BlockerFixture {
 public:
  BlockerFixture() {
    const std::string unique =
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
        std::to_string(reinterpret_cast<uintptr_t>(this));
    blockName = "qvtest-popup-" + unique;
    mutexName = "qvtest-popuplock-" + unique;
    shared = SharedData::Open(blockName, mutexName);
  }
  ~BlockerFixture() {
    shared.reset();
    GetSharedMemory().RemoveNames(blockName, mutexName);
  }

  std::string blockName, mutexName;
  MemoryRegistry registry;
  ScopedService<Registry> useRegistry{&PlatformServices::registry, &registry};
  MessageRecorder messages;
  ScopedService<UserMessages> useMessages{&PlatformServices::messages, &messages};
  std::unique_ptr<SharedData> shared;
  TestEnvironment environment;
};

}  // namespace qv::testing
