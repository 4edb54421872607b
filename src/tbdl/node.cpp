#include "tbdl/node.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <utility>

namespace qv::tbdl {

namespace {

// Node-sized slots carved from blocks of a few hundred. A block goes back to
// the heap as soon as its last node is gone (the model frees the tree part
// by part while it loads, and that memory must be usable at once), except
// the block being filled. The toolbars of several windows load on their own
// threads at once, and a tree may be torn down on another thread than the
// one that built it, so one pool serves them all under a short spin lock.
class NodePool {
 public:
  void* Allocate() {
    Lock lock(busy_);
    Block* block = current_;
    if (!block || (!block->free && block->used == kSlotsPerBlock)) block = current_ = NextBlock();
    Slot* slot;
    if (block->free) {
      slot = block->free;
      block->free = slot->next;
    } else {
      slot = &block->slots[block->used++];
      slot->block = block;
    }
    ++block->live;
    return slot->node;
  }

  void Release(void* p) {
    Lock lock(busy_);
    Slot* slot = reinterpret_cast<Slot*>(static_cast<unsigned char*>(p) - offsetof(Slot, node));
    Block* block = slot->block;
    slot->next = block->free;
    block->free = slot;
    --block->live;
    if (block == current_) return;
    if (block->live == 0) {
      if (block->listed) Unlink(block);
      delete block;
    } else if (!block->listed) {
      Link(block);
    }
  }

 private:
  static constexpr uint32_t kSlotsPerBlock = 256;
  struct Block;
  struct Slot {
    Block* block;
    union {
      Slot* next;
      alignas(TBDLNode) unsigned char node[sizeof(TBDLNode)];
    };
  };
  struct Block {
    Block* prev = nullptr;  // in the list of blocks with room, when listed
    Block* next = nullptr;
    Slot* free = nullptr;
    uint32_t live = 0;
    uint32_t used = 0;  // slots handed out at least once
    bool listed = false;
    Slot slots[kSlotsPerBlock];
  };

  class Lock {
   public:
    explicit Lock(std::atomic<bool>& busy) : busy_(busy) {
      // Held for a few instructions: spin, but let a holder that lost its
      // time slice run first.
      while (busy_.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
    }
    ~Lock() { busy_.store(false, std::memory_order_release); }

   private:
    std::atomic<bool>& busy_;
  };

  Block* NextBlock() {
    if (Block* block = with_room_) {
      Unlink(block);
      return block;
    }
    return new Block;
  }

  void Link(Block* block) {
    block->prev = nullptr;
    block->next = with_room_;
    if (with_room_) with_room_->prev = block;
    with_room_ = block;
    block->listed = true;
  }

  void Unlink(Block* block) {
    (block->prev ? block->prev->next : with_room_) = block->next;
    if (block->next) block->next->prev = block->prev;
    block->prev = block->next = nullptr;
    block->listed = false;
  }

  std::atomic<bool> busy_{false};
  Block* current_ = nullptr;    // the block being filled
  Block* with_room_ = nullptr;  // other blocks with free slots
};

// Never destroyed: a tree left at exit is torn down after every static.
NodePool& Pool() {
  static NodePool* pool = new NodePool;
  return *pool;
}

}  // namespace

void* TBDLNode::operator new(size_t size) {
  if (size != sizeof(TBDLNode)) return ::operator new(size);
  return Pool().Allocate();
}

void TBDLNode::operator delete(void* p, size_t size) noexcept {
  if (!p) return;
  if (size != sizeof(TBDLNode)) return ::operator delete(p);
  Pool().Release(p);
}

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
