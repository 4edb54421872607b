// The state of one load: the parse tree being built token by token and the
// record of the last two token texts. Each thread has its own, so that the
// toolbars of several browser windows, each on its thread, may load at once.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tbdl/node.h"

namespace qv::tbdl {

struct TreeBuildingState {
  std::unique_ptr<TBDLNode> root;
  TBDLNode* current = nullptr;
  std::vector<TBDLNode*> stack;
};

// The calling thread's tree-building state.
TreeBuildingState& TreeState();

// Destroys any leftover tree and starts a fresh root named "TBWToolBar",
// made current, with an empty stack.
void BeginTree();
// Destroys the tree and clears root, current node and stack.
void EndTree();

// The previous and current token texts, kept for the parse-failure message.
// Never reset between loads; one record per thread.
struct TokenRecord {
  std::string previous;
  std::string current;
};

// The record, up to date with every token delivered so far. Read it through
// this call after the tokens of interest: a reference kept from earlier
// does not see tokens delivered since.
TokenRecord& GetTokenRecord();

// A scanner keeps its latest token texts as views of its input and copies
// them into the record only when the record is read, when another scanner
// takes over or when it is destroyed: copying texts for every token would
// cost more than scanning them.
struct PendingTokenRecord {
  std::string_view previous;
  std::string_view current;
  int updates = 0;  // 0, 1 or 2 (two or more)

  void Update(std::string_view text) {
    previous = current;
    current = text;
    if (updates < 2) ++updates;
  }
};
namespace detail {
inline thread_local PendingTokenRecord* attached_token_record = nullptr;
void AttachPendingTokenRecordSlow(PendingTokenRecord* pending);
}  // namespace detail

// Makes pending the record's source of news, after copying the one before.
inline void AttachPendingTokenRecord(PendingTokenRecord* pending) {
  if (detail::attached_token_record != pending) detail::AttachPendingTokenRecordSlow(pending);
}
// Copies pending into the record and forgets it.
void DetachPendingTokenRecord(PendingTokenRecord* pending);

}  // namespace qv::tbdl
