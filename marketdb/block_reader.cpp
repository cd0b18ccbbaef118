#include "marketdb/block_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "marketdb/bytes.h"

namespace marketdb {
namespace {

// decodeDayRecord for a whole block at once; on a little-endian machine the fields are the
// bytes of the file as they stand.
void decodeDays(const unsigned char* in, int days, StockHistory& history) {
  if constexpr (std::endian::native == std::endian::little) {
    for (int s = 0; s < days; ++s, in += DayRecordBytes) {
      DayRecord& r = history.day[s];
      std::memcpy(&r.date, in + 0, 4);
      std::memcpy(&r.open, in + 4, 2);
      std::memcpy(&r.high, in + 6, 2);
      std::memcpy(&r.low, in + 8, 2);
      std::memcpy(&r.close, in + 10, 2);
      std::memcpy(&r.change, in + 12, 2);
      std::memcpy(&r.volume, in + 14, 4);
    }
  } else {
    for (int s = 0; s < days; ++s, in += DayRecordBytes) history.day[s] = decodeDayRecord(in);
  }
  for (int s = days; s < HistoryDays; ++s) history.day[s] = DayRecord{};
}

}  // namespace

BlockReader::~BlockReader() { close(); }

bool BlockReader::open() {
  close();
  fd_ = ::open(PriceFileName, O_RDONLY | O_CLOEXEC);
  return fd_ >= 0;
}

void BlockReader::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool BlockReader::readHistory(int slot, StockHistory& history) {
  const std::size_t got = readBlocks(slot, 1, buffer_);
  decodeDays(buffer_, static_cast<int>(got / DayRecordBytes), history);
  return got == HistoryBlockBytes;
}

std::size_t BlockReader::readBlocks(int firstSlot, int count, unsigned char* out) const {
  if (fd_ < 0 || firstSlot < 0 || count <= 0) return 0;
  const std::size_t want = static_cast<std::size_t>(count) * HistoryBlockBytes;
  // Short at the end of the file, or at a block it cannot give.
  return readAt(fd_, out, want, static_cast<std::int64_t>(firstSlot) * HistoryBlockBytes);
}

}  // namespace marketdb
