// Deflate with the fixed Huffman codes (one block), for the rows of the palette PNG.
#include "platform/gdi/fixed_deflate.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace pelinor::gdi {
namespace {

constexpr std::size_t MaxMatch = 258;
constexpr std::size_t Window = 32768;

struct Code {
  std::uint16_t bits;  // already reversed: deflate sends Huffman codes from their top bit
  std::uint8_t length;
};

constexpr unsigned reversed(unsigned code, int length) {
  unsigned r = 0;
  for (int i = 0; i < length; ++i, code >>= 1) r = (r << 1) | (code & 1);
  return r;
}

// The fixed literal/length code: 0-143 in 8 bits from 0x30, 144-255 in 9 bits from 0x190,
// 256-279 in 7 bits from 0, 280-287 in 8 bits from 0xC0. Distance codes are 5 bits each.
struct FixedCodes {
  std::array<Code, 288> literal{};
  std::array<Code, 30> distance{};
  constexpr FixedCodes() {
    for (unsigned s = 0; s < 288; ++s) {
      if (s < 144) literal[s] = {static_cast<std::uint16_t>(reversed(0x30 + s, 8)), 8};
      else if (s < 256) literal[s] = {static_cast<std::uint16_t>(reversed(0x190 + s - 144, 9)), 9};
      else if (s < 280) literal[s] = {static_cast<std::uint16_t>(reversed(s - 256, 7)), 7};
      else literal[s] = {static_cast<std::uint16_t>(reversed(0xC0 + s - 280, 8)), 8};
    }
    for (unsigned d = 0; d < 30; ++d) distance[d] = {static_cast<std::uint16_t>(reversed(d, 5)), 5};
  }
};
constexpr FixedCodes Codes;

// Number of equal bytes at a and b, up to limit.
std::size_t sameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
  std::size_t n = 0;
  while (n + 8 <= limit) {
    std::uint64_t x, y;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      const std::uint64_t diff = x ^ y;
      // The first differing byte: the lowest one in memory order.
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                  : std::countl_zero(diff);
      return n + static_cast<std::size_t>(bit >> 3);
    }
    n += 8;
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

}  // namespace

FixedDeflate::FixedDeflate(std::vector<std::uint8_t>& out, bool last) : out_(out), last_(last) {
  put(last ? 1 : 0, 1);  // BFINAL
  put(1, 2);             // BTYPE 01: fixed Huffman codes
}

void FixedDeflate::put(std::uint32_t bits, int count) {
  bits_ |= static_cast<std::uint64_t>(bits) << pending_;
  pending_ += count;
  if (pending_ >= 32) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits_), static_cast<std::uint8_t>(bits_ >> 8),
                                   static_cast<std::uint8_t>(bits_ >> 16),
                                   static_cast<std::uint8_t>(bits_ >> 24)};
    out_.insert(out_.end(), bytes, bytes + 4);
    bits_ >>= 32;
    pending_ -= 32;
  }
}

void FixedDeflate::literal(std::uint8_t byte) {
  put(Codes.literal[byte].bits, Codes.literal[byte].length);
}

void FixedDeflate::match(unsigned length, unsigned distance) {
  // Lengths 3-10 have codes 257-264; then four codes per doubling with 1 to 5 extra bits; 258
  // has code 285 of its own.
  const unsigned l = length - 3;
  unsigned symbol, extraBits = 0, extra = 0;
  if (l < 8) {
    symbol = 257 + l;
  } else if (length == MaxMatch) {
    symbol = 285;
  } else {
    const int top = std::bit_width(l) - 1;
    symbol = 257 + 4 * static_cast<unsigned>(top - 1) + ((l >> (top - 2)) & 3);
    extraBits = static_cast<unsigned>(top - 2);
    extra = l & ((1u << extraBits) - 1);
  }
  put(Codes.literal[symbol].bits, Codes.literal[symbol].length);
  if (extraBits) put(extra, static_cast<int>(extraBits));
  // Distances 1-4 have codes 0-3; then two codes per doubling with 1 to 13 extra bits.
  const unsigned d = distance - 1;
  unsigned code = d, dBits = 0, dExtra = 0;
  if (d >= 4) {
    const int top = std::bit_width(d) - 1;
    code = 2 * static_cast<unsigned>(top) + ((d >> (top - 1)) & 1);
    dBits = static_cast<unsigned>(top - 1);
    dExtra = d & ((1u << dBits) - 1);
  }
  put(Codes.distance[code].bits, 5);
  if (dBits) put(dExtra, static_cast<int>(dBits));
}

void FixedDeflate::compress(const std::uint8_t* data, std::size_t length, std::size_t lineBytes) {
  // Places in `seen_` are counted over all calls, so that older ones (before `base`) are told
  // apart without clearing the table.
  if (length >= std::numeric_limits<std::uint32_t>::max() - consumed_) {
    seen_.fill(0);  // places would overflow: start counting again
    consumed_ = 0;
  }
  const std::uint32_t base = consumed_;
  consumed_ += static_cast<std::uint32_t>(length);
  std::size_t i = 0;
  while (i < length) {
    const std::size_t limit = std::min(MaxMatch, length - i);
    std::size_t bestLength = 0, bestDistance = 0;
    const auto consider = [&](std::size_t d) {
      if (d == 0 || d > i || d > Window || data[i - d] != data[i]) return;
      const std::size_t n = sameBytes(data + i, data + i - d, limit);
      if (n > bestLength) {
        bestLength = n;
        bestDistance = d;
      }
    };
    consider(1);
    if (bestLength < limit) consider(lineBytes);
    if (bestLength < limit) consider(2 * lineBytes);
    if (i + 4 <= length) {
      std::uint32_t v;
      std::memcpy(&v, data + i, 4);
      std::uint32_t& place = seen_[(v * 0x9E3779B1u) >> (32 - HashBits)];
      if (bestLength < limit && place > base) consider(base + i - (place - 1));
      place = static_cast<std::uint32_t>(base + i + 1);
    }
    // A match of 3 costs 7 + 5 + up to 7 bits when near, less than three literals of 8 or 9.
    if (bestLength >= 4 || (bestLength == 3 && bestDistance <= 256)) {
      match(static_cast<unsigned>(bestLength), static_cast<unsigned>(bestDistance));
      i += bestLength;
    } else {
      literal(data[i]);
      ++i;
    }
  }
}

void FixedDeflate::finish() {
  put(Codes.literal[256].bits, Codes.literal[256].length);  // end of block
  if (!last_) put(0, 3);  // an empty stored block: BFINAL 0, BTYPE 00, then the byte boundary
  while (pending_ > 0) {
    out_.push_back(static_cast<std::uint8_t>(bits_));
    bits_ >>= 8;
    pending_ = std::max(pending_ - 8, 0);
  }
  bits_ = 0;
  if (!last_) out_.insert(out_.end(), {0x00, 0x00, 0xFF, 0xFF});  // LEN 0, NLEN ~0
}

}  // namespace pelinor::gdi
