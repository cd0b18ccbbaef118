#include "marketdb/bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace marketdb {

std::size_t readAt(int fd, void* data, std::size_t size, std::int64_t offset) {
  unsigned char* p = static_cast<unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool writeAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

WholeFile readWholeFile(const char* name, std::string& out, bool regularOnly) {
  out.clear();
  // O_NONBLOCK keeps the open of a FIFO from waiting for its writer; the type is then checked
  // on the descriptor itself, so nothing can be swapped in between.
  const int fd = ::open(name, O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
  if (fd < 0) return errno == ENOENT ? WholeFile::Missing : WholeFile::CannotOpen;
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (regularOnly && (!known || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return WholeFile::NotRegular;
  }
  if (known && S_ISREG(st.st_mode) && st.st_size > 0)
    out.reserve(static_cast<std::size_t>(st.st_size));
  WholeFile result = WholeFile::Read;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = WholeFile::ReadFailed;
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return result;
}

std::uint64_t checksum(const unsigned char* data, std::size_t size, std::uint64_t h) {
  for (std::size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ULL;
  }
  return h;
}

}  // namespace marketdb
