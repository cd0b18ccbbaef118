#include "marketdb/price_map.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

PriceMap::~PriceMap() { close(); }

bool PriceMap::open() {
  close();
  fd_ = ::open(PriceFileName, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_SHARED, fd_, 0);
    if (p != MAP_FAILED) {
      data_ = static_cast<const unsigned char*>(p);
      size_ = static_cast<std::size_t>(st.st_size);
      mapped_ = true;
    }
  } else if (S_ISREG(st.st_mode) && st.st_size == 0) {
    mapped_ = true;  // an empty file: every block reads as empty days
  }
  // A file that cannot be mapped is read block by block.
  if (!mapped_) return fallback_.openForReading();
  return true;
}

void PriceMap::close() {
  if (data_) ::munmap(const_cast<unsigned char*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
  fallback_.close();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PriceMap::readHistory(int slot, StockHistory& history) const {
  if (!mapped_) return fallback_.readHistory(slot, history);
  std::size_t got = 0;
  const std::size_t offset = static_cast<std::size_t>(slot) * HistoryBlockBytes;
  if (slot >= 0 && offset < size_) got = std::min<std::size_t>(HistoryBlockBytes, size_ - offset);
  decodeDays(got ? data_ + offset : nullptr, static_cast<int>(got / DayRecordBytes), history);
  // The pages read so far are given back now and then, so a reader of every block never holds
  // the whole file in memory; they stay in the page cache for whoever reads them again.
  bytesSinceRelease_ += got;
  if (bytesSinceRelease_ >= ReleaseBytes) {
    (void)::madvise(const_cast<unsigned char*>(data_), size_, MADV_DONTNEED);
    bytesSinceRelease_ = 0;
  }
  return got == HistoryBlockBytes;
}

}  // namespace marketdb
