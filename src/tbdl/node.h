// One node of the parse tree: the part keyword that created it, the
// property names and values written inside it (two parallel lists, in file
// order), and its children in file order.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "tbdl/inline_list.h"
#include "tbdl/keywords.h"

namespace qv::tbdl {

// Most parts hold at most this many properties; more go to the heap.
inline constexpr size_t kInlineProperties = 4;

class TBDLNode {
 public:
  explicit TBDLNode(Keyword name) : keyword(name) {}
  // Tears deep trees down without recursion: a definition can nest parts
  // far deeper than a browser thread's stack allows.
  ~TBDLNode();
  TBDLNode(const TBDLNode&) = delete;
  TBDLNode& operator=(const TBDLNode&) = delete;

  // Nodes come from a pool of blocks that goes back to the heap when the
  // last node is gone: a load makes and drops many thousands at once.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size) noexcept;

  std::string_view Name() const { return KeywordText(keyword); }
  std::string_view PropertyName(size_t i) const { return KeywordText(names[i]); }

  Keyword keyword;
  InlineList<Keyword, kInlineProperties> names;
  // Token texts (quotes removed, backslash sequences kept). They view the
  // text buffer of the load, which outlives the tree.
  InlineList<std::string_view, kInlineProperties> values;
  std::vector<std::unique_ptr<TBDLNode>> children;
};

}  // namespace qv::tbdl
