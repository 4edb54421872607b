#include "support/memory_document.h"

#include <algorithm>
#include <cctype>

namespace qv::testing {
namespace {

bool IsVoid(const std::string& tag) {
  return tag == "BR" || tag == "IMG" || tag == "HR" || tag == "INPUT" || tag == "META";
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsWordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return std::isalnum(u) || u >= 0x80;
}

std::string Decode(const std::string& text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&amp;", "&"},   {"&lt;", "<"},  {"&gt;", ">"},
      {"&quot;", "\""}, {"&#39;", "'"}, {"&nbsp;", "\xA0"}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, value] : kEntities) {
        if (text.compare(i, std::char_traits<char>::length(entity), entity) == 0) {
          out += value;
          i += std::char_traits<char>::length(entity);
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\xA0':
        out += "&nbsp;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void AppendChild(HtmlNode& parent, std::shared_ptr<HtmlNode> child) {
  child->parent = &parent;
  parent.children.push_back(std::move(child));
}

void CollectText(HtmlNode& node, std::vector<HtmlNode*>& out) {
  if (node.isText) {
    out.push_back(&node);
    return;
  }
  for (auto& child : node.children) CollectText(*child, out);
}

void CollectElements(const std::shared_ptr<HtmlNode>& node,
                     std::vector<std::shared_ptr<HtmlNode>>& out) {
  if (node->isText) return;
  out.push_back(node);
  for (auto& child : node->children) CollectElements(child, out);
}

std::string TextOf(HtmlNode& node) {
  std::vector<HtmlNode*> texts;
  CollectText(node, texts);
  std::string out;
  for (HtmlNode* t : texts) out += t->text;
  return out;
}

bool Contains(const HtmlNode& ancestor, const HtmlNode* node) {
  for (; node != nullptr; node = node->parent)
    if (node == &ancestor) return true;
  return false;
}

// The range's text written as HTML, with the tags of the elements inside
// the common container of its text.
std::string Fragment(const HtmlNode& node, size_t& pos, size_t start, size_t end) {
  if (node.isText) {
    size_t ns = pos, ne = pos + node.text.size();
    pos = ne;
    size_t from = std::max(ns, start), to = std::min(ne, end);
    return from < to ? Escape(node.text.substr(from - ns, to - from)) : std::string();
  }
  std::string content;
  for (const auto& child : node.children) content += Fragment(*child, pos, start, end);
  if (content.empty()) return content;
  std::string open = "<" + node.tag;
  for (const auto& [name, value] : node.attributes) open += " " + name + "=\"" + value + "\"";
  return open + ">" + content + "</" + node.tag + ">";
}

class MemoryTextRange : public TextRange {
 public:
  explicit MemoryTextRange(MemoryDocument& doc) : doc_(doc) { end_ = Text().size(); }

  bool FindText(const std::string& word, long, long flags, bool* found) override {
    *found = false;
    if (!doc_.body_) return false;
    std::string text = Text();
    end_ = std::min(end_, text.size());
    start_ = std::min(start_, end_);
    if (word.empty() || word.size() > end_ - start_) return true;
    const bool matchCase = (flags & kFindTextMatchCase) != 0;
    const bool wholeWord = (flags & kFindTextWholeWord) != 0;
    for (size_t i = start_; i + word.size() <= end_; ++i) {
      bool match = true;
      for (size_t k = 0; k < word.size() && match; ++k)
        match = matchCase ? text[i + k] == word[k] : Lower(text[i + k]) == Lower(word[k]);
      if (!match) continue;
      size_t after = i + word.size();
      if (wholeWord &&
          ((i > 0 && IsWordChar(text[i - 1])) || (after < text.size() && IsWordChar(text[after]))))
        continue;
      start_ = i;
      end_ = after;
      *found = true;
      return true;
    }
    return true;
  }

  bool GetHtmlText(std::string* html) override {
    if (!doc_.body_) return false;
    std::vector<HtmlNode*> texts;
    CollectText(*doc_.body_, texts);
    // The container: the lowest element holding all the range's text.
    HtmlNode* first = nullptr;
    HtmlNode* last = nullptr;
    size_t pos = 0;
    for (HtmlNode* t : texts) {
      size_t ns = pos, ne = pos + t->text.size();
      pos = ne;
      if (std::max(ns, start_) < std::min(ne, end_)) {
        if (!first) first = t;
        last = t;
      }
    }
    html->clear();
    if (!first) return true;
    HtmlNode* container = first->parent;
    while (container && !Contains(*container, last)) container = container->parent;
    if (!container) container = doc_.body_.get();
    // Offset of the container's first text.
    std::vector<HtmlNode*> before;
    pos = 0;
    for (HtmlNode* t : texts) {
      if (Contains(*container, t)) break;
      pos += t->text.size();
    }
    for (const auto& child : container->children) *html += Fragment(*child, pos, start_, end_);
    return true;
  }

  bool PasteHtml(const std::string& html) override {
    if (!doc_.body_) return false;
    std::vector<HtmlNode*> texts;
    CollectText(*doc_.body_, texts);
    // The insertion point: the text node holding the range's first
    // character (or its start when the range is empty).
    HtmlNode* at = nullptr;
    size_t offset = 0;
    size_t pos = 0;
    for (HtmlNode* t : texts) {
      size_t ns = pos, ne = pos + t->text.size();
      pos = ne;
      if (!at && ns <= start_ && (start_ < ne || (start_ == ne && start_ == end_))) {
        at = t;
        offset = start_ - ns;
      }
      size_t from = std::max(ns, start_), to = std::min(ne, end_);
      if (from < to) t->text.erase(from - ns, to - from);
    }
    auto nodes = ParseHtml(html);
    size_t pasted = 0;
    for (auto& n : nodes) pasted += TextOf(*n).size();
    if (at == nullptr) {
      for (auto& n : nodes) AppendChild(*doc_.body_, n);
    } else {
      HtmlNode* parent = at->parent;
      auto& siblings = parent->children;
      auto it = std::find_if(siblings.begin(), siblings.end(),
                             [at](const auto& p) { return p.get() == at; });
      auto tail = std::make_shared<HtmlNode>();
      tail->isText = true;
      tail->text = at->text.substr(offset);
      tail->parent = parent;
      at->text.erase(offset);
      size_t index = static_cast<size_t>(it - siblings.begin()) + 1;
      for (auto& n : nodes) {
        n->parent = parent;
        siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(index++), n);
      }
      if (!tail->text.empty())
        siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(index), tail);
    }
    start_ += pasted;
    end_ = start_;
    return true;
  }

  bool QueryCommandEnabled(const std::string& command, bool* enabled) override {
    *enabled = false;
    if (!doc_.body_) return false;
    if (command != "Bold") return true;
    *enabled = doc_.formatting_ && !InsideTextArea();
    return true;
  }

  bool MoveStart(const std::string& unit, long count) override {
    size_t length = Text().size();
    if (unit == "Textedit") {
      start_ = count < 0 ? 0 : length;
    } else if (unit == "Character") {
      long moved = static_cast<long>(start_) + count;
      start_ = static_cast<size_t>(std::clamp(moved, 0L, static_cast<long>(length)));
    } else {
      return false;
    }
    if (end_ < start_) end_ = start_;
    return true;
  }

  bool MoveEnd(const std::string& unit, long count) override {
    size_t length = Text().size();
    if (unit == "Textedit") {
      end_ = count < 0 ? 0 : length;
    } else if (unit == "Character") {
      long moved = static_cast<long>(end_) + count;
      end_ = static_cast<size_t>(std::clamp(moved, 0L, static_cast<long>(length)));
    } else {
      return false;
    }
    if (start_ > end_) start_ = end_;
    return true;
  }

 private:
  std::string Text() const { return doc_.body_ ? TextOf(*doc_.body_) : std::string(); }

  bool InsideTextArea() const {
    std::vector<HtmlNode*> texts;
    CollectText(*doc_.body_, texts);
    size_t pos = 0;
    for (HtmlNode* t : texts) {
      size_t ne = pos + t->text.size();
      if (start_ >= pos && start_ < ne) {
        for (HtmlNode* p = t->parent; p; p = p->parent)
          if (p->tag == "TEXTAREA") return true;
        return false;
      }
      pos = ne;
    }
    return false;
  }

  MemoryDocument& doc_;
  size_t start_ = 0;
  size_t end_ = 0;
};

class MemoryElement : public Element {
 public:
  explicit MemoryElement(std::shared_ptr<HtmlNode> node) : node_(std::move(node)) {}
  bool GetId(std::string* id) override {
    id->clear();
    for (const auto& [name, value] : node_->attributes)
      if (name == "id") *id = value;
    return true;
  }
  bool GetTagName(std::string* tag) override {
    *tag = node_->tag;
    return true;
  }
  bool GetInnerHtml(std::string* html) override {
    *html = InnerHtml(*node_);
    return true;
  }
  bool SetOuterHtml(const std::string& html) override {
    HtmlNode* parent = node_->parent;
    if (parent == nullptr) return false;
    auto& siblings = parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), node_);
    if (it == siblings.end()) return false;
    size_t index = static_cast<size_t>(it - siblings.begin());
    siblings.erase(it);
    for (auto& n : ParseHtml(html)) {
      n->parent = parent;
      siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(index++), n);
    }
    node_->parent = nullptr;
    return true;
  }

 private:
  std::shared_ptr<HtmlNode> node_;
};

class LiveEnumerator : public ElementEnumerator {
 public:
  explicit LiveEnumerator(MemoryDocument& doc) : doc_(doc) {}
  std::unique_ptr<Element> Next() override {
    if (!doc_.body_) return nullptr;
    std::vector<std::shared_ptr<HtmlNode>> all;
    CollectElements(doc_.body_, all);
    if (index_ >= all.size()) return nullptr;
    return std::make_unique<MemoryElement>(all[index_++]);
  }

 private:
  MemoryDocument& doc_;
  size_t index_ = 0;
};

}  // namespace

std::vector<std::shared_ptr<HtmlNode>> ParseHtml(const std::string& html) {
  HtmlNode root;
  std::vector<HtmlNode*> stack{&root};
  size_t i = 0;
  auto addText = [&](const std::string& raw) {
    if (raw.empty()) return;
    HtmlNode& top = *stack.back();
    std::string text = Decode(raw);
    if (!top.children.empty() && top.children.back()->isText) {
      top.children.back()->text += text;
      return;
    }
    auto node = std::make_shared<HtmlNode>();
    node->isText = true;
    node->text = text;
    AppendChild(top, node);
  };
  while (i < html.size()) {
    if (html[i] != '<') {
      size_t next = html.find('<', i);
      if (next == std::string::npos) next = html.size();
      addText(html.substr(i, next - i));
      i = next;
      continue;
    }
    if (html.compare(i, 4, "<!--") == 0) {
      size_t close = html.find("-->", i);
      i = close == std::string::npos ? html.size() : close + 3;
      continue;
    }
    if (html.compare(i, 2, "</") == 0) {
      size_t close = html.find('>', i);
      if (close == std::string::npos) close = html.size();
      std::string name = Upper(html.substr(i + 2, close - i - 2));
      for (size_t k = stack.size(); k-- > 1;) {
        if (stack[k]->tag == name) {
          stack.resize(k);
          break;
        }
      }
      i = close + 1;
      continue;
    }
    size_t p = i + 1;
    while (p < html.size() && std::isalnum(static_cast<unsigned char>(html[p]))) ++p;
    if (p == i + 1) {
      addText("<");
      ++i;
      continue;
    }
    auto element = std::make_shared<HtmlNode>();
    element->tag = Upper(html.substr(i + 1, p - i - 1));
    bool selfClosed = false;
    while (p < html.size()) {
      while (p < html.size() && std::isspace(static_cast<unsigned char>(html[p]))) ++p;
      if (p >= html.size()) break;
      if (html[p] == '>') {
        ++p;
        break;
      }
      if (html[p] == '/') {
        selfClosed = true;
        ++p;
        continue;
      }
      size_t nameStart = p;
      while (p < html.size() && !std::isspace(static_cast<unsigned char>(html[p])) &&
             html[p] != '=' && html[p] != '>' && html[p] != '/')
        ++p;
      std::string name = html.substr(nameStart, p - nameStart);
      for (char& c : name) c = Lower(c);
      std::string value;
      if (p < html.size() && html[p] == '=') {
        ++p;
        if (p < html.size() && (html[p] == '\'' || html[p] == '"')) {
          char quote = html[p++];
          size_t close = html.find(quote, p);
          if (close == std::string::npos) close = html.size();
          value = Decode(html.substr(p, close - p));
          p = close + 1;
        } else {
          size_t valueStart = p;
          while (p < html.size() && !std::isspace(static_cast<unsigned char>(html[p])) &&
                 html[p] != '>')
            ++p;
          value = Decode(html.substr(valueStart, p - valueStart));
        }
      }
      if (!name.empty()) element->attributes.emplace_back(name, value);
    }
    i = p;
    HtmlNode* raw = element.get();
    AppendChild(*stack.back(), element);
    if (!selfClosed && !IsVoid(raw->tag)) stack.push_back(raw);
  }
  for (auto& child : root.children) child->parent = nullptr;
  return std::move(root.children);
}

std::string InnerHtml(const HtmlNode& node) {
  std::string out;
  for (const auto& child : node.children) out += WriteHtml(*child);
  return out;
}

std::string WriteHtml(const HtmlNode& node) {
  if (node.isText) return Escape(node.text);
  std::string out = "<" + node.tag;
  for (const auto& [name, value] : node.attributes) {
    std::string quoted;
    for (char c : value) quoted += c == '"' ? std::string("&quot;") : std::string(1, c);
    out += " " + name + "=\"" + quoted + "\"";
  }
  out += ">";
  if (IsVoid(node.tag)) return out;
  return out + InnerHtml(node) + "</" + node.tag + ">";
}

MemoryDocument::MemoryDocument(std::string url, std::string domain)
    : url_(std::move(url)), domain_(std::move(domain)) {}

void MemoryDocument::SetBodyHtml(const std::string& html) {
  body_ = std::make_shared<HtmlNode>();
  body_->tag = "BODY";
  for (auto& node : ParseHtml(html)) AppendChild(*body_, node);
}

void MemoryDocument::SetFrameset() {
  body_ = std::make_shared<HtmlNode>();
  body_->tag = "FRAMESET";
}

void MemoryDocument::RemoveBody() {
  body_.reset();
}

std::string MemoryDocument::BodyHtml() const {
  return body_ ? InnerHtml(*body_) : "";
}
std::string MemoryDocument::BodyText() const {
  return body_ ? TextOf(*body_) : "";
}

int MemoryDocument::CountSpans(const std::string& id) const {
  if (!body_) return 0;
  std::vector<std::shared_ptr<HtmlNode>> all;
  CollectElements(body_, all);
  int count = 0;
  for (const auto& node : all) {
    if (node->tag != "SPAN") continue;
    for (const auto& [name, value] : node->attributes)
      if (name == "id" && value == id) ++count;
  }
  return count;
}

bool MemoryDocument::GetUrl(std::string* url) {
  if (!urlReadable_) return false;
  *url = url_;
  return true;
}

bool MemoryDocument::GetDomain(std::string* domain) {
  *domain = domain_;
  return true;
}

bool MemoryDocument::FocusWindow() {
  ++focusCount;
  return true;
}

bool MemoryDocument::ShowModalDialog(const std::string& url, const std::string& argument,
                                     const std::string& features) {
  dialogs.push_back({url, argument, features});
  return true;
}

bool MemoryDocument::SetDefaultStatus(const std::string& text) {
  defaultStatus = text;
  return true;
}

std::unique_ptr<TextRange> MemoryDocument::CreateBodyTextRange() {
  if (!body_ || body_->tag != "BODY") return nullptr;
  return std::make_unique<MemoryTextRange>(*this);
}

std::unique_ptr<ElementEnumerator> MemoryDocument::EnumerateAll() {
  return std::make_unique<LiveEnumerator>(*this);
}

std::shared_ptr<Document> MemoryDocument::GetFrameDocument(long index) {
  if (index < 0 || index >= static_cast<long>(frames_.size())) return nullptr;
  return frames_[static_cast<size_t>(index)];
}

}  // namespace qv::testing
