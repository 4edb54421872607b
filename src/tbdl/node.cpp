#include "tbdl/node.h"

#include <utility>

namespace qv::tbdl {

TBDLNode::~TBDLNode() {
  // Detach every descendant into one work list before it dies, so that each
  // node destroyed here has no children left and its own destructor returns
  // at once: depth costs heap, not stack.
  if (children.empty()) return;
  std::vector<std::unique_ptr<TBDLNode>> pending = std::move(children);
  while (!pending.empty()) {
    std::unique_ptr<TBDLNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

}  // namespace qv::tbdl
