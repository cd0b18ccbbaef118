// A deflate encoder for filtered image rows: one block of the fixed Huffman codes, whose matches
// are found among a few likely distances (the byte before, the same byte one and two rows up, the
// last place the next four bytes were seen). On chart frames it compresses about as well as
// zlib's fastest level in a third of the time, since it builds no trees and keeps no hash chains.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelinor::gdi {

class FixedDeflate {
 public:
  // Appends a raw deflate stream (no zlib header or trailer) to `out`. `last`: the stream ends
  // the data (a final block); otherwise it ends on a byte boundary with an empty stored block,
  // as zlib's Z_SYNC_FLUSH does, so that another stream can follow it.
  FixedDeflate(std::vector<std::uint8_t>& out, bool last);

  // Compresses the next bytes. Matches refer only to bytes of the same call; `lineBytes` is the
  // length of a row (filter byte included) within them.
  void compress(const std::uint8_t* data, std::size_t length, std::size_t lineBytes);

  // Ends the stream.
  void finish();

 private:
  void put(std::uint32_t bits, int count);
  void literal(std::uint8_t byte);
  void match(unsigned length, unsigned distance);
  std::vector<std::uint8_t>& out_;
  bool last_;
  std::uint64_t bits_ = 0;  // pending bits, the first in the lowest place
  int pending_ = 0;
  static constexpr int HashBits = 12;
  std::uint32_t consumed_ = 0;  // bytes compressed so far
  // Where a 4-byte value was seen last: its place in all the bytes so far + 1 (0: nowhere).
  std::array<std::uint32_t, std::size_t{1} << HashBits> seen_{};
};

}  // namespace pelinor::gdi
