// A list of trivially copyable values that keeps its first N elements inside
// the object and moves to the heap only beyond them. Parse-tree nodes hold
// a few properties each; keeping them inline saves two allocations per node.
// It offers the part of std::vector's interface that readers and builders
// of trees use. The object must not move while its elements are inline, so it can be
// neither copied nor moved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>

namespace qv::tbdl {

template <typename T, size_t N>
class InlineList {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  using value_type = T;
  using size_type = size_t;
  using iterator = T*;
  using const_iterator = const T*;
  using reference = T&;
  using const_reference = const T&;

  InlineList() = default;
  InlineList(std::initializer_list<T> values) { assign(values.begin(), values.end()); }
  InlineList(const InlineList&) = delete;
  InlineList& operator=(const InlineList&) = delete;
  InlineList& operator=(std::initializer_list<T> values) {
    assign(values.begin(), values.end());
    return *this;
  }
  ~InlineList() {
    if (data_ != Inline()) ::operator delete(data_);
  }

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }

  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T& front() { return data_[0]; }
  const T& front() const { return data_[0]; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }
  T* data() { return data_; }
  const T* data() const { return data_; }

  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

  void push_back(const T& value) {
    if (size_ == capacity_) {
      T copy = value;  // value may live in this list
      Grow(size_t{capacity_} * 2);
      data_[size_++] = copy;
      return;
    }
    data_[size_++] = value;
  }
  template <typename It>
  void assign(It first, It last) {
    clear();
    for (; first != last; ++first) push_back(*first);
  }
  void pop_back() { --size_; }
  void clear() { size_ = 0; }
  void reserve(size_t n) {
    if (n > capacity_) Grow(n);
  }

 private:
  T* Inline() { return reinterpret_cast<T*>(inline_); }

  void Grow(size_t n) {
    if (n <= size_) n = size_t{size_} + N;  // also keeps n above 0
    T* bigger = static_cast<T*>(::operator new(n * sizeof(T)));
    if (size_) std::memcpy(static_cast<void*>(bigger), data_, size_ * sizeof(T));
    if (data_ != Inline()) ::operator delete(data_);
    data_ = bigger;
    capacity_ = static_cast<uint32_t>(n);
  }

  T* data_ = Inline();
  uint32_t size_ = 0;
  uint32_t capacity_ = N;
  alignas(T) unsigned char inline_[N * sizeof(T)];
};

}  // namespace qv::tbdl
