#include "platform/gdi/frame_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace pelinor::gdi {
namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;
// Smaller frames come from the heap: rounding them up to a large page would waste more than
// their faults cost.
constexpr std::size_t kLargeFrame = std::size_t{1} << 20;

std::size_t mappedSize(std::size_t bytes) { return (bytes + kLargePage - 1) & ~(kLargePage - 1); }

}  // namespace

void* allocateFrameMemory(std::size_t bytes) {
  if (bytes < kLargeFrame) return std::calloc(bytes == 0 ? 1 : bytes, 1);
  const std::size_t size = mappedSize(bytes);
  if (size < bytes || size + kLargePage < size) return nullptr;
  // Mapped with a large page's room to spare, then trimmed to an aligned start, so that every
  // 2 MiB of the frame can be one page.
  void* raw = ::mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kLargePage - 1) & ~(std::uintptr_t{kLargePage} - 1);
  if (aligned > start) ::munmap(raw, aligned - start);
  const std::uintptr_t end = start + size + kLargePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* p = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(p, size, MADV_HUGEPAGE);  // a hint: without large pages the frame is as before
#endif
  return p;
}

void freeFrameMemory(void* p, std::size_t bytes) {
  if (p == nullptr) return;
  if (bytes < kLargeFrame) {
    std::free(p);
    return;
  }
  ::munmap(p, mappedSize(bytes));
}

}  // namespace pelinor::gdi
