// Byte-level helpers shared by every reader and writer of the database files: little-endian
// fields, positioned reads and writes that finish what a signal or a short transfer left, a
// whole file read into memory, and the checksum the journal (and later headers) carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "marketdb/large_block.h"

namespace marketdb {

// Little-endian fields of `bytes` bytes (1..8), independent of the machine's byte order.
inline void putLittle(unsigned char* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}
inline std::uint64_t getLittle(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint64_t{p[i]} << (8 * i);
  return v;
}
// The same on a byte string: appended at its end, or overwriting the bytes from `at`.
inline void appendLittle(std::string& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void setLittle(std::string& out, std::size_t at, std::uint64_t v, int bytes) {
  putLittle(reinterpret_cast<unsigned char*>(out.data()) + at, v, bytes);
}

// Reads up to `size` bytes at `offset`, retrying after a signal; returns the bytes read, short
// at the end of the file or where the file cannot give more.
std::size_t readAt(int fd, void* data, std::size_t size, std::int64_t offset);
// Writes all `size` bytes at `offset`, retrying after a signal; false when any could not be
// written.
bool writeAt(int fd, const void* data, std::size_t size, std::int64_t offset);

enum class WholeFile {
  Read,        // all of it is in `out`
  Missing,     // there is no such file
  CannotOpen,  // it exists but cannot be opened
  NotRegular,  // a folder, a FIFO or a device, refused when only regular files are asked for
  ReadFailed,  // a read failed part way; `out` holds what came before
};
// Reads the whole of `name` into `out` (cleared first). With `regularOnly` anything but a
// regular file is refused without waiting for a FIFO's writer; without it the file is read as
// a stream would read it (a folder gives ReadFailed and no bytes).
WholeFile readWholeFile(const char* name, std::string& out, bool regularOnly);
// The same into a large text (large pages for a large file), read straight into it. For a
// file of 10,000 lines read whole.
WholeFile readWholeFile(const char* name, LargeText& out, bool regularOnly);
// Whether the file could be opened at all (what was read may still be short).
inline bool opened(WholeFile r) {
  return r == WholeFile::Read || r == WholeFile::ReadFailed;
}

// FNV-1a over 64 bits, continued from `h`; checksumOf starts from the usual seed.
constexpr std::uint64_t ChecksumSeed = 0xcbf29ce484222325ULL;
std::uint64_t checksum(const unsigned char* data, std::size_t size, std::uint64_t h);
inline std::uint64_t checksumOf(std::string_view s) {
  return checksum(reinterpret_cast<const unsigned char*>(s.data()), s.size(), ChecksumSeed);
}

}  // namespace marketdb
