// pelinoru.dat mapped read-only as a whole, for a reader that visits every stock once (the
// analysis): one mapping of the file instead of an allocation and a read per block.
#pragma once

#include <cstddef>

#include "marketdb/files.h"

namespace marketdb {

class PriceMap {
 public:
  PriceMap() = default;
  ~PriceMap();
  PriceMap(const PriceMap&) = delete;
  PriceMap& operator=(const PriceMap&) = delete;

  bool open();  // false when pelinoru.dat is missing
  void close();

  // The same days and result as PriceFile::readHistory: days the file does not hold read as
  // empty days, and the result is false unless the whole block is in the file.
  bool readHistory(int slot, StockHistory& history) const;

 private:
  int fd_ = -1;
  const unsigned char* data_ = nullptr;  // the mapping, or nullptr (empty file, no mapping)
  std::size_t size_ = 0;
  bool mapped_ = false;
  PriceFile fallback_;
  static constexpr std::size_t ReleaseBytes = 4u << 20;
  mutable std::size_t bytesSinceRelease_ = 0;
};

}  // namespace marketdb
