#include "marketdb/wide_header.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/layout.h"

namespace marketdb {

namespace {

constexpr unsigned char Magic[8] = {'P', 'L', 'N', 'W', 'D', 'A', 'T', 0};
constexpr std::size_t ChecksumAt = 32;  // the checksum covers the bytes before it

}  // namespace

int wideTileDaysOf(std::uint32_t version) { return version == 1 ? 1 : WideTileDays; }

std::string encodeWideHeader(const WideHeader& h) {
  std::string out(reinterpret_cast<const char*>(Magic), sizeof Magic);
  appendLittle(out, h.version, 4);
  appendLittle(out, h.headerBytes, 4);
  appendLittle(out, h.recordBytes, 4);
  appendLittle(out, h.ringDays, 4);
  appendLittle(out, h.capacity, 4);
  appendLittle(out, h.recordsAssigned, 4);
  appendLittle(out, checksumOf(out), 8);
  out.resize(WideHeaderBytes, '\0');
  return out;
}

WideCheck decodeWideHeader(const unsigned char* b, std::size_t size, const char* fileName,
                           WideHeader& out) {
  const std::string where = fileName;
  if (size < sizeof Magic || std::memcmp(b, Magic, sizeof Magic) != 0)
    return unknownFormat(where, 0);
  // The version comes before everything else: a later version may lay out the rest otherwise.
  if (size < 12) return damagedHeader(where);
  const auto version = static_cast<std::uint32_t>(getLittle(b + 8, 4));
  if (version > WidePriceVersion) return laterVersion(where, 0, version);
  if (size < static_cast<std::size_t>(WideHeaderBytes)) return damagedHeader(where);
  if (getLittle(b + ChecksumAt, 8) != checksum(b, ChecksumAt, ChecksumSeed))
    return damagedHeader(where);

  WideHeader h;
  h.version = version;
  h.headerBytes = static_cast<std::uint32_t>(getLittle(b + 12, 4));
  h.recordBytes = static_cast<std::uint32_t>(getLittle(b + 16, 4));
  h.ringDays = static_cast<std::uint32_t>(getLittle(b + 20, 4));
  h.capacity = static_cast<std::uint32_t>(getLittle(b + 24, 4));
  h.recordsAssigned = static_cast<std::uint32_t>(getLittle(b + 28, 4));
  if (h.version < 1 ||
      h.headerBytes != static_cast<std::uint32_t>(WideHeaderBytes) ||
      h.recordBytes != static_cast<std::uint32_t>(WideRecordBytes) ||
      h.ringDays != static_cast<std::uint32_t>(HistoryDays) || h.capacity < 1 ||
      h.capacity > static_cast<std::uint32_t>(WideMaxCapacity) ||
      h.recordsAssigned > h.capacity)
    return damagedHeader(where);
  out = h;
  return {};
}

WideCheck readWideHeader(const char* fileName, WideHeader& out) {
  const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {false, 0, missingFileMessage(fileName)};
  unsigned char bytes[WideHeaderBytes];
  const std::size_t got = readAt(fd, bytes, sizeof bytes, 0);
  ::close(fd);
  return decodeWideHeader(bytes, got, fileName, out);
}

}  // namespace marketdb
