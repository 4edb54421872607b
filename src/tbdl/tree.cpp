#include "tbdl/tree.h"

#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace qv::tbdl {

namespace {

struct ThreadLoadState {
  TreeBuildingState tree;
  TokenRecord record;
};

// The calling thread's state, made on its first load. Not a thread_local
// object: the emulated thread storage of the Windows runtime may be freed
// before the destructors of such objects run, which would crash a browser
// thread as it ends. The states live as long as the process; one takes a
// few dozen bytes once its load is over.
ThreadLoadState& ThisThreadsState() {
  static std::mutex lock;
  static std::map<std::thread::id, std::unique_ptr<ThreadLoadState>> states;
  std::lock_guard<std::mutex> hold(lock);
  std::unique_ptr<ThreadLoadState>& state = states[std::this_thread::get_id()];
  if (!state) state = std::make_unique<ThreadLoadState>();
  return *state;
}

}  // namespace

TreeBuildingState& TreeState() {
  return ThisThreadsState().tree;
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
  return ThisThreadsState().record;
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
