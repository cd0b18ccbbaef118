// Many small reads of one file at places far apart: in a wide price file of the first version
// a stock's 640 days lie one in each ring row, 320,000 bytes from the next. Each is a system call of its own when read one by
// one, and on a virtual machine the call costs more than the copy. The batched form hands the
// parts to the kernel through an io_uring instead, a few dozen at a time, with one call per
// batch; a part gets exactly the bytes readAt gives it either way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace marketdb {

struct ScatteredPart {
  std::int64_t offset = 0;
  unsigned char* data = nullptr;
  std::size_t size = 0;
  std::size_t got = 0;  // set by the read: the bytes readAt(fd, data, size, offset) gives
};

// Reads every part of a regular file as readAt would, batched through an io_uring. Where the
// kernel gives none (too old, turned off, refused in a sandbox), for a file that is not a
// regular one, and for a part the ring cannot take or fell short in it, the part is read by
// readAt. Parts may overlap in the file but not in memory. Returns how many parts the ring read.
std::size_t readScattered(int fd, std::span<ScatteredPart> parts);
// The plain form, one readAt per part: what the batched form is held to.
void readScatteredPlainly(int fd, std::span<ScatteredPart> parts);

}  // namespace marketdb
