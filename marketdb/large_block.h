// Memory for the large tables and buffers of a run: zeroed, and from 256 KiB on taken from the
// system in 2 MiB pages on their bounds, where the kernel offers them. Fresh memory costs a
// page fault per 4 KiB page on its first touch, which on a virtual machine can cost more than
// the work done in it: a wide index of 10,000 stocks and its table were some 200 faults of the
// viewer's start, in large pages they are one or two. Smaller blocks come from the heap, whose
// memory a later block takes again.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>
#include <type_traits>

namespace marketdb {

class LargeBlock {
 public:
  LargeBlock() = default;
  // `bytes` zeroed bytes; throws std::bad_alloc when there is no memory.
  explicit LargeBlock(std::size_t bytes);
  LargeBlock(LargeBlock&& other) noexcept;
  LargeBlock& operator=(LargeBlock&& other) noexcept;
  LargeBlock(const LargeBlock&) = delete;
  LargeBlock& operator=(const LargeBlock&) = delete;
  ~LargeBlock() { release(); }

  unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

  static constexpr std::size_t LargeFrom = std::size_t{256} << 10;

 private:
  void release();
  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mapped_ = 0;  // bytes mapped in large pages; 0 for a block of the heap
};

// `n` objects of T made in `block` from byte `at` on, each value-initialised (all zero): a
// column of a table that lies in a block of its own.
template <typename T>
std::span<T> valuesIn(const LargeBlock& block, std::size_t at, std::size_t n) {
  static_assert(std::is_trivially_destructible_v<T>);
  T* first = reinterpret_cast<T*>(block.data() + at);
  std::uninitialized_value_construct_n(first, n);
  return {first, n};
}

// Text built by appending, in a large block that grows twice as large when it is full: the
// contents of a large file made in memory, written whole afterwards.
class LargeText {
 public:
  // Room for `bytes` bytes in all without growing.
  void reserve(std::size_t bytes);
  void append(const char* text, std::size_t bytes);
  // The free room at the end, at least `bytes` of it (grown as append grows), for a reader to
  // fill; added() then counts what it put there.
  std::span<char> room(std::size_t bytes);
  void added(std::size_t bytes) { size_ += bytes; }
  void clear() { size_ = 0; }
  std::size_t size() const { return size_; }
  std::string_view view() const {
    return {reinterpret_cast<const char*>(block_.data()), size_};
  }

 private:
  LargeBlock block_;
  std::size_t size_ = 0;
};

}  // namespace marketdb
