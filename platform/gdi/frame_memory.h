// Memory for frames: zeroed, and for a large frame taken from the system in 2 MiB pages where
// the kernel offers them. A new 1920 x 1440 frame in 4 KiB pages costs some 2,700 page faults on
// its first paint, which on a virtual machine took longer than the paint itself; in large pages
// it is a handful.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace pelinor::gdi {

// Zeroed memory of `bytes` bytes (null when there is none); give it back with the same size.
void* allocateFrameMemory(std::size_t bytes);
void freeFrameMemory(void* p, std::size_t bytes);

// An allocator over it. Elements made without a value are left as the memory came (zero), so a
// vector of it is only ever grown from empty.
template <class T>
struct FrameAllocator {
  using value_type = T;
  FrameAllocator() = default;
  template <class U>
  FrameAllocator(const FrameAllocator<U>&) {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* p = allocateFrameMemory(n * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t n) { freeFrameMemory(p, n * sizeof(T)); }
  template <class U>
  void construct(U*) noexcept {}
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
  bool operator==(const FrameAllocator&) const = default;
};

}  // namespace pelinor::gdi
