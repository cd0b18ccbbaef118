#include "marketdb/large_block.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <new>
#include <utility>

namespace marketdb {

namespace {
constexpr std::size_t LargePage = std::size_t{2} << 20;
}  // namespace

LargeBlock::LargeBlock(std::size_t bytes) : size_(bytes) {
  if (bytes < LargeFrom) {
    data_ = static_cast<unsigned char*>(std::calloc(bytes == 0 ? 1 : bytes, 1));
    if (data_ == nullptr) throw std::bad_alloc();
    return;
  }
  const std::size_t whole = (bytes + LargePage - 1) / LargePage * LargePage;
  if (whole < bytes || whole + LargePage < whole) throw std::bad_alloc();
  // Mapped with a large page's room to spare, then trimmed to a start on a large page's
  // bound, so that every 2 MiB of the block can be one page.
  void* raw = ::mmap(nullptr, whole + LargePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto* at = static_cast<unsigned char*>(raw);
  const std::size_t lead = (LargePage - reinterpret_cast<std::uintptr_t>(at) % LargePage) % LargePage;
  if (lead != 0) ::munmap(at, lead);
  if (LargePage - lead != 0) ::munmap(at + lead + whole, LargePage - lead);
#ifdef MADV_HUGEPAGE
  ::madvise(at + lead, whole, MADV_HUGEPAGE);  // a hint: without large pages it works the same
#endif
  data_ = at + lead;
  mapped_ = whole;
}

LargeBlock::LargeBlock(LargeBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LargeBlock& LargeBlock::operator=(LargeBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, 0);
  }
  return *this;
}

void LargeBlock::release() {
  if (data_ == nullptr) return;
  if (mapped_ != 0)
    ::munmap(data_, mapped_);
  else
    std::free(data_);
  data_ = nullptr;
  size_ = mapped_ = 0;
}

void LargeText::reserve(std::size_t bytes) {
  if (bytes <= block_.size()) return;
  LargeBlock larger(bytes);
  if (size_ != 0) std::memcpy(larger.data(), block_.data(), size_);
  block_ = std::move(larger);
}

std::span<char> LargeText::room(std::size_t bytes) {
  if (block_.size() - size_ < bytes) reserve(std::max(size_ + bytes, block_.size() * 2));
  return {reinterpret_cast<char*>(block_.data()) + size_, block_.size() - size_};
}

void LargeText::append(const char* text, std::size_t bytes) {
  if (bytes == 0) return;
  std::memcpy(room(bytes).data(), text, bytes);
  added(bytes);
}

}  // namespace marketdb
