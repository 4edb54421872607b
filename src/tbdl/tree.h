// Process-wide state of one load: the parse tree being built token by token
// and the record of the last two token texts. One load runs at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tbdl/node.h"

namespace qv::tbdl {

struct TreeBuildingState {
  std::unique_ptr<TBDLNode> root;
  TBDLNode* current = nullptr;
  std::vector<TBDLNode*> stack;
};

TreeBuildingState& TreeState();

// Destroys any leftover tree and starts a fresh root named "TBWToolBar",
// made current, with an empty stack.
void BeginTree();
// Destroys the tree and clears root, current node and stack.
void EndTree();

// The previous and current token texts, kept for the parse-failure message.
// Never reset between loads.
struct TokenRecord {
  std::string previous;
  std::string current;
};

TokenRecord& GetTokenRecord();

}  // namespace qv::tbdl
