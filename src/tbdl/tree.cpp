#include "tbdl/tree.h"

namespace qv::tbdl {

TreeBuildingState& TreeState() {
  static TreeBuildingState state;
  return state;
}

void BeginTree() {
  TreeBuildingState& state = TreeState();
  state.stack.clear();
  state.root = std::make_unique<TBDLNode>(Keyword::kRoot);
  state.current = state.root.get();
}

void EndTree() {
  TreeBuildingState& state = TreeState();
  state.stack.clear();
  state.stack.shrink_to_fit();
  state.current = nullptr;
  state.root.reset();
}

TokenRecord& GetTokenRecord() {
  static TokenRecord record;
  return record;
}

}  // namespace qv::tbdl
