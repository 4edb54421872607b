#include "tbdl/tree.h"

#include <utility>

namespace qv::tbdl {

TreeBuildingState& TreeState() {
  thread_local TreeBuildingState state;
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

namespace {

TokenRecord& Record() {
  thread_local TokenRecord record;
  return record;
}

void FlushPendingRecord() {
  PendingTokenRecord* p = detail::attached_token_record;
  if (!p || p->updates == 0) return;
  TokenRecord& record = Record();
  if (p->updates == 1) {
    record.previous = std::move(record.current);
  } else {
    record.previous.assign(p->previous);
  }
  record.current.assign(p->current);
  p->updates = 0;
}

}  // namespace

TokenRecord& GetTokenRecord() {
  FlushPendingRecord();
  return Record();
}

void detail::AttachPendingTokenRecordSlow(PendingTokenRecord* pending) {
  FlushPendingRecord();
  detail::attached_token_record = pending;
}

void DetachPendingTokenRecord(PendingTokenRecord* pending) {
  if (detail::attached_token_record != pending) return;
  FlushPendingRecord();
  detail::attached_token_record = nullptr;
}

}  // namespace qv::tbdl
