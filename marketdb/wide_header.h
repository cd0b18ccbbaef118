// The header that opens the price file of a wide database: 4,096 bytes, little-endian.
//
//   offset 0   8 bytes  magic "PLNWDAT" and a zero byte
//          8   uint32   version: 1 or 2 (how the records lie after the header, see layout.h)
//         12   uint32   header bytes (4,096)
//         16   uint32   record bytes (32)
//         20   uint32   ring days (640)
//         24   uint32   capacity: record slots per row, 1..100,000
//         28   uint32   records assigned: record slots given to stocks so far, 0..capacity
//         32   uint64   checksum of bytes 0..31
//         40            reserved, zeros; a reader of this version ignores them
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "marketdb/wide_format.h"

namespace marketdb {

// The price file's version that init writes: 2, eight days of a stock side by side in a tile.
// Version 1 kept one day of each stock per ring row; its files are read and written as they are.
constexpr std::uint32_t WidePriceVersion = 2;

struct WideHeader {
  std::uint32_t version = WidePriceVersion;
  std::uint32_t headerBytes = 4096;
  std::uint32_t recordBytes = 32;
  std::uint32_t ringDays = 640;
  std::uint32_t capacity = 10000;
  std::uint32_t recordsAssigned = 0;
};

// The days of a stock that lie together in a price file of `version` (1 or 2).
int wideTileDaysOf(std::uint32_t version);

// The 4,096 bytes of the header, its checksum included.
std::string encodeWideHeader(const WideHeader& header);

// Reads and checks the header at the start of `bytes` (`size` of them, the whole file or its
// first 4,096 bytes); `fileName` is named in a refusal.
WideCheck decodeWideHeader(const unsigned char* bytes, std::size_t size, const char* fileName,
                           WideHeader& out);

// The same for the file itself.
WideCheck readWideHeader(const char* fileName, WideHeader& out);

}  // namespace marketdb
