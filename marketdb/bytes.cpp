#include "marketdb/bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

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

namespace {

// Opens `name` for readWholeFile: the descriptor, and the size a regular file has (0 if not
// known), or why it cannot be read.
WholeFile openWhole(const char* name, bool regularOnly, int& fd, std::size_t& size) {
  // O_NONBLOCK keeps the open of a FIFO from waiting for its writer; the type is then checked
  // on the descriptor itself, so nothing can be swapped in between.
  fd = ::open(name, O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
  if (fd < 0) return errno == ENOENT ? WholeFile::Missing : WholeFile::CannotOpen;
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (regularOnly && (!known || !S_ISREG(st.st_mode))) {
    ::close(fd);
    fd = -1;
    return WholeFile::NotRegular;
  }
  size = known && S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
  return WholeFile::Read;
}

// Reads from `fd` into `to` (room bytes) after a signal too: the bytes read (0 at the end), or
// -1 when a read failed.
long long readSome(int fd, unsigned char* to, std::size_t room) {
  for (;;) {
    const ssize_t n = ::read(fd, to, room);
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

}  // namespace

WholeFile readWholeFile(const char* name, std::string& out, bool regularOnly) {
  out.clear();
  int fd = -1;
  std::size_t size = 0;
  if (const WholeFile opened = openWhole(name, regularOnly, fd, size); opened != WholeFile::Read)
    return opened;
  out.reserve(size);
  WholeFile result = WholeFile::Read;
  unsigned char buf[65536];
  for (;;) {
    const long long n = readSome(fd, buf, sizeof buf);
    if (n < 0) result = WholeFile::ReadFailed;
    if (n <= 0) break;
    out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return result;
}

WholeFile readWholeFile(const char* name, LargeText& out, bool regularOnly) {
  out.clear();
  int fd = -1;
  std::size_t expected = 0;
  if (const WholeFile opened = openWhole(name, regularOnly, fd, expected);
      opened != WholeFile::Read)
    return opened;
  WholeFile result = WholeFile::Read;
  try {
    // A byte more than the file's size, so that its end is seen without growing.
    out.reserve(expected + 1);
    for (;;) {
      const std::span<char> room = out.room(1);
      const long long n =
          readSome(fd, reinterpret_cast<unsigned char*>(room.data()), room.size());
      if (n < 0) result = WholeFile::ReadFailed;
      if (n <= 0) break;
      out.added(static_cast<std::size_t>(n));
    }
  } catch (...) {
    ::close(fd);
    throw;
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
