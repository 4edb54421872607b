#include "tbdl/scanner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

#include "tbdl/tree.h"

namespace qv::tbdl {

namespace {

enum CharClass : uint8_t { kOther, kSpace, kQuote, kEquals, kOpenBrace, kCloseBrace, kWordStart };

// Inside a quoted string: the bytes that end a run of plain items.
enum StringClass : uint8_t { kPlain, kStringQuote, kStringBackslash };

uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Keywords are compared as three 8-byte words under a mask where at least
// that much input is left.
constexpr size_t kWords = 3;

struct Candidate {
  const char* text;
  uint8_t length;
  Keyword keyword;
  TokenKind token;
  uint64_t word[kWords];
  uint64_t mask[kWords];

  bool MatchesWords(const uint64_t (&in)[kWords]) const {
    return (((in[0] & mask[0]) ^ word[0]) | ((in[1] & mask[1]) ^ word[1]) |
            ((in[2] & mask[2]) ^ word[2])) == 0;
  }
};

// Keywords by first byte, longest first, so that the first candidate that
// matches is the longest keyword at this position.
struct KeywordIndex {
  std::array<Candidate, kKeywordCount> candidates;
  std::array<uint8_t, 256> first{};  // index of the byte's first candidate
  std::array<uint8_t, 256> count{};
  std::array<uint8_t, 256> char_class{};
  std::array<uint8_t, 256> string_class{};

  KeywordIndex() {
    int n = 0;
    for (int k = static_cast<int>(Keyword::TBW_Toolbar); k < kKeywordCount; ++k) {
      std::string_view text = KeywordText(static_cast<Keyword>(k));
      Candidate& c = candidates[n++];
      c = {text.data(),
           static_cast<uint8_t>(text.size()),
           static_cast<Keyword>(k),
           KeywordToken(static_cast<Keyword>(k)),
           {},
           {}};
      char bytes[8 * kWords] = {};
      char ones[8 * kWords] = {};
      std::memcpy(bytes, text.data(), text.size());
      std::memset(ones, 0xff, text.size());
      for (size_t w = 0; w < kWords; ++w) {
        c.word[w] = Load64(bytes + 8 * w);
        c.mask[w] = Load64(ones + 8 * w);
      }
    }
    std::sort(candidates.begin(), candidates.begin() + n,
              [](const Candidate& a, const Candidate& b) {
                unsigned char fa = a.text[0], fb = b.text[0];
                return fa != fb ? fa < fb : a.length > b.length;
              });
    for (int i = n - 1; i >= 0; --i) {
      unsigned char f = candidates[i].text[0];
      first[f] = static_cast<uint8_t>(i);
      ++count[f];
      char_class[f] = kWordStart;
    }
    for (unsigned char c : {' ', '\t', '\r', '\n'}) char_class[c] = kSpace;
    char_class['"'] = kQuote;
    char_class['='] = kEquals;
    char_class['{'] = kOpenBrace;
    char_class['}'] = kCloseBrace;
    string_class['"'] = kStringQuote;
    string_class['\\'] = kStringBackslash;
  }
};

const KeywordIndex& Index() {
  static const KeywordIndex index;
  return index;
}

ScanDiagnostics* scan_diagnostics = nullptr;

}  // namespace

ScanDiagnostics* SetScanDiagnostics(ScanDiagnostics* diagnostics) {
  return std::exchange(scan_diagnostics, diagnostics);
}

TBDLScanner::TBDLScanner(std::string_view input, std::ostream* echo)
    : input_(input), echo_(echo ? echo : &std::cout), tree_(&TreeState()) {}

TBDLScanner::~TBDLScanner() {
  FlushEcho();
  DetachPendingTokenRecord(&record_);
}

void TBDLScanner::FlushEcho() {
  if (echo_begin_ != echo_end_) EchoSkipped();
  echo_begin_ = echo_end_ = nullptr;
}

// Out of line: every token delivery flushes, and skipped runs are rare.
void TBDLScanner::EchoSkipped() {
  echo_->write(echo_begin_, echo_end_ - echo_begin_);
  if (scan_diagnostics) {
    scan_diagnostics->Skipped(input_, echo_begin_ - input_.data(), echo_end_ - echo_begin_);
  }
}

void TBDLScanner::ReportStop(std::string_view reason) const {
  if (!scan_diagnostics) return;
  if (text_.data() == nullptr) {
    scan_diagnostics->Stopped(input_, input_.size(), 0, reason);
    return;
  }
  // A string's text lies between its quotes: scanning goes on after the
  // closing one.
  const size_t quotes = input_.data() + pos_ == text_.data() + text_.size() + 1 ? 1 : 0;
  scan_diagnostics->Stopped(input_, text_.data() - input_.data() - quotes,
                            text_.size() + 2 * quotes, reason);
}

void TBDLScanner::Skip(const char* c) {
  if (c == echo_end_ && echo_end_ != nullptr) {
    ++echo_end_;
    return;
  }
  FlushEcho();
  echo_begin_ = c;
  echo_end_ = c + 1;
}

void TBDLScanner::SetFatal(std::string_view message, const char* at) {
  FlushEcho();
  if (scan_diagnostics) {
    scan_diagnostics->Stopped(input_, at - input_.data(), kTokenLimit,
                              "too long for the scanner's 16384-byte buffer");
  }
  DetachPendingTokenRecord(&record_);
  fatal_.assign(message);
  std::cerr << message << '\n';
  std::cerr.flush();
  pos_ = input_.size();
  text_ = {};
  keyword_ = Keyword::kRoot;
}

int TBDLScanner::Deliver(int kind, const char* begin, const char* end) {
  FlushEcho();
  text_ = std::string_view(begin, end - begin);
  pos_ = end - input_.data();
  TreeBuildingState& tree = *tree_;
  TBDLNode* current = tree.current;
  switch (kind) {
    case kTokEquals:
      return kind;  // neither the tree nor the record sees it
    case kTokOpen:
      if (current && current != tree.root.get()) tree.stack.push_back(current);
      break;
    case kTokClose:
      if (current && current != tree.root.get()) {
        // An empty stack, or one emptied by this pop, happens only at the
        // toolbar's closing brace after a bodiless NAMEDSEPARATOR or in input
        // the parser rejects at this brace: the root then becomes current.
        if (!tree.stack.empty()) tree.stack.pop_back();
        tree.current = tree.stack.empty() ? tree.root.get() : tree.stack.back();
      }
      record_.Update(text_);
      break;
    case kTokString:
      if (current) {
        current->values.push_back(text_);
      }
      // The record shows the string as written, with its quotes.
      record_.Update(std::string_view(begin - 1, end - begin + 2));
      pos_ += 1;
      return kind;
    default:
      if (current) {
        if (IsPropertyKeyword(keyword_)) {
          current->names.push_back(keyword_);
        } else if (keyword_ == Keyword::TBW_Toolbar) {
          tree.stack.push_back(current);
        } else {
          auto node = std::make_unique<TBDLNode>(keyword_);
          TBDLNode* raw = node.get();
          current->children.push_back(std::move(node));
          // Separators without a name never hold anything of their own.
          if (keyword_ != Keyword::SEPARATOR && keyword_ != Keyword::MENUSEPARATOR) {
            tree.current = raw;
          }
        }
      }
      break;
  }
  record_.Update(text_);
  return kind;
}

int TBDLScanner::Next() {
  if (!fatal_.empty()) return kTokEnd;
  AttachPendingTokenRecord(&record_);
  const KeywordIndex& index = Index();
  const char* const end = input_.data() + input_.size();
  const char* p = input_.data() + pos_;
  keyword_ = Keyword::kRoot;
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    switch (index.char_class[c]) {
      case kSpace: {
        const char* limit = end - p > static_cast<ptrdiff_t>(kTokenLimit) ? p + kTokenLimit : end;
        const char* q = p + 1;
        while (q < limit && index.char_class[static_cast<unsigned char>(*q)] == kSpace) ++q;
        // The run fills the token limit and the next byte must be read to
        // see whether it goes on.
        if (q == p + kTokenLimit) {
          SetFatal(kBufferOverflowMessage, p);
          return kTokEnd;
        }
        p = q;
        continue;
      }
      case kQuote: {
        // Bytes at offsets up to kTokenLimit - 1 from the opening quote may
        // be read; needing the byte at kTokenLimit is fatal.
        const char* const limit =
            end - p > static_cast<ptrdiff_t>(kTokenLimit) ? p + kTokenLimit : end;
        const char* q = p + 1;
        for (;;) {
          while (q < limit && index.string_class[static_cast<unsigned char>(*q)] == kPlain) ++q;
          if (q == limit) break;
          if (*q == '"') return Deliver(kTokString, p + 1, q);
          // A backslash item: the backslash and any byte but LF.
          ++q;
          if (q == limit || *q == '\n') break;
          ++q;
        }
        if (q == p + kTokenLimit) {
          SetFatal(kBufferOverflowMessage, p);
          return kTokEnd;
        }
        // No string here: the quote is a skipped character and scanning
        // resumes right after it.
        Skip(p);
        ++p;
        continue;
      }
      case kEquals:
        return Deliver(kTokEquals, p, p + 1);
      case kOpenBrace:
        return Deliver(kTokOpen, p, p + 1);
      case kCloseBrace:
        return Deliver(kTokClose, p, p + 1);
      case kWordStart: {
        const size_t left = end - p;
        const Candidate* cand = &index.candidates[index.first[c]];
        const Candidate* const last = cand + index.count[c];
        if (left >= 8 * kWords) {
          const uint64_t in[kWords] = {Load64(p), Load64(p + 8), Load64(p + 16)};
          for (; cand != last && !cand->MatchesWords(in); ++cand) {
          }
        } else {
          for (; cand != last; ++cand) {
            if (cand->length <= left && std::memcmp(p, cand->text, cand->length) == 0) break;
          }
        }
        if (cand != last) {
          keyword_ = cand->keyword;
          return Deliver(cand->token, p, p + cand->length);
        }
        Skip(p);
        ++p;
        continue;
      }
      default:
        Skip(p);
        ++p;
        continue;
    }
  }
  FlushEcho();
  // Copy the record now: once scanning is over the input may go first.
  DetachPendingTokenRecord(&record_);
  pos_ = input_.size();
  text_ = {};
  return kTokEnd;
}

}  // namespace qv::tbdl
