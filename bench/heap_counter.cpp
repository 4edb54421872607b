#include "heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};

size_t ChunkSize(size_t n) {
  return n < 24 ? 32 : (n + 8 + 15) & ~size_t{15};
}

void* Allocate(size_t n) {
  // The size is kept in front of the block, so that delete can count it.
  void* block = std::malloc(n + 16);
  if (!block) throw std::bad_alloc();
  *static_cast<size_t*>(block) = n;
  size_t now = liveBytes += ChunkSize(n);
  size_t peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(block) + 16;
}

void Release(void* p) {
  if (!p) return;
  void* block = static_cast<char*>(p) - 16;
  liveBytes -= ChunkSize(*static_cast<size_t*>(block));
  std::free(block);
}

}  // namespace

namespace heap_counter {

size_t LiveBytes() {
  return liveBytes.load();
}
size_t PeakBytes() {
  return peakBytes.load();
}
void ResetPeak() {
  peakBytes = liveBytes.load();
}

}  // namespace heap_counter

void* operator new(size_t n) {
  return Allocate(n);
}
void* operator new[](size_t n) {
  return Allocate(n);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  Release(p);
}
