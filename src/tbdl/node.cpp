#include "tbdl/node.h"

#include <atomic>
#include <utility>

namespace qv::tbdl {

namespace {

// Fixed-size slots carved from large blocks, with a free list. Loads run one
// at a time, but a short spin lock keeps nodes made on different threads
// safe all the same.
class NodePool {
 public:
  void* Allocate() {
    Lock lock(busy_);
    if (!free_) Refill();
    Slot* slot = free_;
    free_ = slot->next;
    ++live_;
    return slot;
  }

  void Release(void* p) {
    Lock lock(busy_);
    Slot* slot = static_cast<Slot*>(p);
    slot->next = free_;
    free_ = slot;
    if (--live_ == 0) ReleaseBlocks();
  }

 private:
  union Slot {
    Slot* next;
    alignas(TBDLNode) unsigned char node[sizeof(TBDLNode)];
  };
  static constexpr size_t kSlotsPerBlock = 512;

  class Lock {
   public:
    explicit Lock(std::atomic<bool>& busy) : busy_(busy) {
      while (busy_.exchange(true, std::memory_order_acquire)) {
      }
    }
    ~Lock() { busy_.store(false, std::memory_order_release); }

   private:
    std::atomic<bool>& busy_;
  };

  void Refill() {
    blocks_.push_back(std::make_unique<Slot[]>(kSlotsPerBlock));
    Thread(blocks_.back().get());
  }

  void Thread(Slot* block) {
    for (size_t i = kSlotsPerBlock; i-- > 0;) {
      block[i].next = free_;
      free_ = &block[i];
    }
  }

  // Keeps the first block for the next small load.
  void ReleaseBlocks() {
    if (blocks_.size() <= 1) return;
    blocks_.resize(1);
    blocks_.shrink_to_fit();
    free_ = nullptr;
    Thread(blocks_.front().get());
  }

  std::atomic<bool> busy_{false};
  Slot* free_ = nullptr;
  size_t live_ = 0;
  std::vector<std::unique_ptr<Slot[]>> blocks_;
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
