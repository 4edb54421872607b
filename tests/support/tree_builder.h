// Builds parse trees by hand, without the scanner: the part keyword, the
// (property, value) pairs and the children. The builder owns the value
// texts that the nodes view, so it must outlive the trees it builds.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tbdl/node.h"

namespace qv::test {

using Props = std::vector<std::pair<tbdl::Keyword, std::string>>;

class TreeBuilder {
 public:
  template <typename... Children>
  std::unique_ptr<tbdl::TBDLNode> Part(tbdl::Keyword keyword, const Props& props,
                                       Children&&... children) {
    auto node = std::make_unique<tbdl::TBDLNode>(keyword);
    for (const auto& [name, value] : props) {
      node->names.push_back(name);
      node->values.push_back(texts_.emplace_back(value));
    }
    (node->children.push_back(std::forward<Children>(children)), ...);
    return node;
  }

  // The root of a definition ("TBWToolBar") holding the header properties.
  template <typename... Children>
  std::unique_ptr<tbdl::TBDLNode> Root(const Props& props, Children&&... children) {
    return Part(tbdl::Keyword::kRoot, props, std::forward<Children>(children)...);
  }

 private:
  std::deque<std::string> texts_;
};

}  // namespace qv::test
