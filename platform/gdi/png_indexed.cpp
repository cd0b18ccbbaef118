// Palette PNG of a frame of few colours, its chunks written here (CRC and Adler-32 from zlib).
//
// A chart frame holds a dozen colours in long runs. As an index per pixel (4 bits for up to 16
// colours) it is a sixth of the bytes of RGB, and with the "Up" filter every row equal to the one
// above becomes zeros. The rows are deflated by FixedDeflate, which suits such rows.
//
// Two passes over the frame: the first only collects the colours (the bit depth depends on their
// number); the second indexes, packs and filters one row at a time into a slab that stays in the
// cache and is deflated from there. No buffer of the frame's size is made: in a fresh process
// every page of one costs a fault, which took longer than indexing the frame twice.
//
// A large frame is done in two halves on two threads. Each half collects its colours in a table of
// its own; the second's are then added to the first's in their order, which is the order of first
// appearance in the whole frame, as one pass gives. Each half becomes a raw deflate stream, the
// first ended on a byte boundary, so the two concatenated are one stream; the zlib
// trailer is the Adler-32 of both halves combined.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <barrier>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>

#include "platform/gdi/fixed_deflate.h"
#include "platform/gdi/png_encode.h"

namespace pelinor::gdi {
namespace {

constexpr std::uint32_t RgbMask = 0x00FFFFFFu;
constexpr int MaxColours = 256;
// Frames of at least this many pixels are done on two threads (a 640x480 frame is).
constexpr std::size_t SplitPixels = 200'000;
// Raw (filtered) image data above this is left to the RGB writer: the compressed stream (at most
// 9 bits a byte) then always fits one IDAT chunk, whose length is below 2^31.
constexpr std::uint64_t MaxRawBytes = 1ull << 30;
constexpr std::size_t SlabBytes = 32 * 1024;
constexpr std::uint8_t FilterUp = 2;
constexpr uLong AdlerBase = 65521;

// The colours of part of a frame in order of first appearance, in a small open-addressed table.
class ColourTable {
 public:
  ColourTable() {
    keys_.fill(Empty);
    seen_.fill(Empty);
    colours.reserve(MaxColours);  // adding a colour never allocates (nor throws)
  }

  // Adds the colours of the pixels; false when there are more than 256. A direct-mapped cache of
  // the colours met keeps the common case to one look-up and a branch that is rarely taken (a
  // test against the pixel to the left mispredicts on every dotted line).
  bool add(const std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t c = pixels[i] & RgbMask;
      std::uint32_t& cached = seen_[(c * 0x9E3779B1u) >> (32 - SeenBits)];
      if (cached != c) {
        if (find(c) < 0) return false;
        cached = c;
      }
    }
    return true;
  }

  // Index of a colour, added if new; -1 when it would be the 257th.
  int find(std::uint32_t c) {
    std::uint32_t slot = (c * 0x9E3779B1u) >> (32 - SlotBits);
    while (keys_[slot] != c) {
      if (keys_[slot] == Empty) {
        if (colours.size() == MaxColours) return -1;
        keys_[slot] = c;
        values_[slot] = static_cast<std::uint8_t>(colours.size());
        colours.push_back(c);
        break;
      }
      slot = (slot + 1) & (Slots - 1);
    }
    return values_[slot];
  }

  std::vector<std::uint32_t> colours;

 private:
  static constexpr int SlotBits = 10;
  static constexpr std::uint32_t Slots = 1u << SlotBits;
  static constexpr int SeenBits = 12;
  static constexpr std::uint32_t Empty = 0xFFFFFFFFu;  // never a masked colour
  std::array<std::uint32_t, Slots> keys_;
  std::array<std::uint8_t, Slots> values_{};
  std::array<std::uint32_t, 1u << SeenBits> seen_;
};

// Each pixel's index through one table look-up and no branch: a multiplicative hash under which
// every colour of the frame has a slot of its own, searched among a few multipliers.
class PixelIndex {
 public:
  // False when no multiplier tried separates the colours (the frame then goes the RGB way).
  bool build(const std::vector<std::uint32_t>& colours) {
    bits_ = colours.size() <= 64 ? 12 : 16;
    slots_.assign(std::size_t{1} << bits_, 0);
    std::vector<std::uint8_t> taken(slots_.size(), 0);
    std::uint32_t seed = 0x9E3779B9u;
    for (std::uint8_t attempt = 1; attempt <= Attempts; ++attempt) {
      multiplier_ = seed | 1u;
      seed = seed * 0x2C9277B5u + 0xAC564B05u;
      bool clash = false;
      for (std::size_t i = 0; i < colours.size() && !clash; ++i) {
        const std::uint32_t s = slot(colours[i]);
        clash = taken[s] == attempt;
        taken[s] = attempt;
        slots_[s] = static_cast<std::uint8_t>(i);
      }
      if (!clash) return true;
    }
    return false;
  }

  void index(const std::uint32_t* pixels, int count, std::uint8_t* indices) const {
    for (int i = 0; i < count; ++i) indices[i] = slots_[slot(pixels[i] & RgbMask)];
  }

 private:
  static constexpr std::uint8_t Attempts = 64;
  std::uint32_t slot(std::uint32_t c) const { return (c * multiplier_) >> (32 - bits_); }
  int bits_ = 12;
  std::uint32_t multiplier_ = 1;
  std::vector<std::uint8_t> slots_;
};

int bitDepth(std::size_t colours) {
  return colours <= 2 ? 1 : colours <= 4 ? 2 : colours <= 16 ? 4 : 8;
}

// One row of indices packed at the bit depth, first pixel in the high bits, the unused low bits
// of the last byte zero.
template <int Depth>
void packRow(const std::uint8_t* indices, int width, std::uint8_t* out) {
  constexpr int PerByte = 8 / Depth;
  const int whole = width / PerByte;
  for (int j = 0; j < whole; ++j) {
    unsigned v = 0;
    const std::uint8_t* p = indices + j * PerByte;
    for (int k = 0; k < PerByte; ++k) v = (v << Depth) | p[k];
    out[j] = static_cast<std::uint8_t>(v);
  }
  if (const int rest = width - whole * PerByte; rest > 0) {
    unsigned v = 0;
    const std::uint8_t* p = indices + whole * PerByte;
    for (int k = 0; k < PerByte; ++k) v = (v << Depth) | (k < rest ? p[k] : 0u);
    out[whole] = static_cast<std::uint8_t>(v);
  }
}

// Adler-32 after `count` more zero bytes: the first sum stays, the second grows by count times it.
uLong adlerOfZeros(uLong adler, std::uint64_t count) {
  const uLong a = adler & 0xFFFF;
  const uLong b = static_cast<uLong>(((adler >> 16) + (count % AdlerBase) * a) % AdlerBase);
  return (b << 16) | a;
}

struct Frame {
  const std::uint32_t* pixels;
  int width;
  int height;
  const std::uint32_t* row(int y) const {
    return pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
  }
};

// Rows [first, end) of the frame indexed, packed, filtered "Up" and deflated into one raw
// deflate stream, final when it is the last part, else ended on a byte boundary; with
// the Adler-32 of the filtered bytes.
struct Part {
  int first = 0;
  int end = 0;
  bool last = true;
  std::vector<std::uint8_t> out;  // raw deflate stream
  uLong adler = 1;
  std::uint64_t rawLength = 0;
  bool ok = false;
};

void compressPart(const Frame& frame, const PixelIndex& colours, int depth, Part& part) {
  const int width = frame.width;
  const std::size_t rowBytes =
      (static_cast<std::size_t>(width) * static_cast<std::size_t>(depth) + 7) / 8;
  const std::size_t lineBytes = rowBytes + 1;
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  std::vector<std::uint8_t> rows(2 * rowBytes, 0);
  std::uint8_t* previous = rows.data();  // zeros above the first row: "Up" keeps it as it is
  std::uint8_t* current = rows.data() + rowBytes;
  const auto packed = [&](int y, std::uint8_t* out) {
    colours.index(frame.row(y), width, depth == 8 ? out : indices.data());
    switch (depth) {
      case 1: packRow<1>(indices.data(), width, out); break;
      case 2: packRow<2>(indices.data(), width, out); break;
      case 4: packRow<4>(indices.data(), width, out); break;
      default: break;
    }
  };
  if (part.first > 0) packed(part.first - 1, previous);

  const std::size_t slabRows = std::max<std::size_t>(1, SlabBytes / lineBytes);
  std::vector<std::uint8_t> slab(slabRows * lineBytes);
  // A chart's rows shrink about sixteenfold: room for that, more only when needed.
  part.out.reserve(static_cast<std::size_t>(part.end - part.first) * lineBytes / 16 + 4096);
  FixedDeflate deflater(part.out, part.last);
  std::size_t filled = 0;
  uLong adler = 1;
  for (int y = part.first; y < part.end; ++y) {
    packed(y, current);
    std::uint8_t* line = slab.data() + filled * lineBytes;
    line[0] = FilterUp;
    std::uint8_t any = 0;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const std::uint8_t d = static_cast<std::uint8_t>(current[i] - previous[i]);
      line[1 + i] = d;
      any |= d;
    }
    adler = adler32(adler, line, 1);
    adler = any ? adler32(adler, line + 1, static_cast<uInt>(rowBytes))
                : adlerOfZeros(adler, rowBytes);
    std::swap(previous, current);
    const bool lastRow = y + 1 == part.end;
    if (++filled == slabRows || lastRow) {
      deflater.compress(slab.data(), filled * lineBytes, lineBytes);
      filled = 0;
    }
  }
  deflater.finish();
  part.adler = adler;
  part.rawLength = static_cast<std::uint64_t>(part.end - part.first) * lineBytes;
  part.ok = true;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

struct Piece {
  const std::uint8_t* data;
  std::size_t size;
};

// A chunk whose data is given in pieces: length, type, the pieces, the CRC of type and data.
void putChunk(std::vector<std::uint8_t>& out, const char* type, std::initializer_list<Piece> pieces) {
  std::size_t length = 0;
  for (const Piece& p : pieces) length += p.size;
  putU32(out, static_cast<std::uint32_t>(length));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  for (const Piece& p : pieces) out.insert(out.end(), p.data, p.data + p.size);
  putU32(out, static_cast<std::uint32_t>(
                  crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// The file in pieces: everything up to the compressed rows, each part's stream as it is (no
// copy of the bulk of the file), then the rest from the zlib trailer on.
PngPieces assemble(int width, int height, int depth, const std::vector<std::uint32_t>& colours,
                   Part* parts, int partCount) {
  std::vector<std::uint8_t> head;
  static constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  head.insert(head.end(), Signature, Signature + 8);

  std::vector<std::uint8_t> header;
  putU32(header, static_cast<std::uint32_t>(width));
  putU32(header, static_cast<std::uint32_t>(height));
  // depth, colour type 3 (palette), deflate, adaptive filters, no interlace
  header.insert(header.end(), {static_cast<std::uint8_t>(depth), 3, 0, 0, 0});
  putChunk(head, "IHDR", {{header.data(), header.size()}});

  std::vector<std::uint8_t> palette;
  for (std::uint32_t c : colours)
    palette.insert(palette.end(), {static_cast<std::uint8_t>(c >> 16),
                                   static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
  putChunk(head, "PLTE", {{palette.data(), palette.size()}});

  // IDAT: the zlib header (deflate, 32 KiB window, fastest: 0x7801 is a multiple of 31), the
  // parts' streams, the Adler-32 of all the filtered rows.
  std::vector<std::uint8_t> trailer;
  uLong adler = parts[0].adler;
  for (int i = 1; i < partCount; ++i)
    adler = adler32_combine(adler, parts[i].adler, static_cast<z_off_t>(parts[i].rawLength));
  putU32(trailer, static_cast<std::uint32_t>(adler));
  std::size_t length = 2 + trailer.size();
  for (int i = 0; i < partCount; ++i) length += parts[i].out.size();
  putU32(head, static_cast<std::uint32_t>(length));
  const std::size_t typeAt = head.size();
  head.insert(head.end(), {'I', 'D', 'A', 'T', 0x78, 0x01});
  uLong crc = crc32(0, head.data() + typeAt, static_cast<uInt>(head.size() - typeAt));
  for (int i = 0; i < partCount; ++i)
    crc = crc32(crc, parts[i].out.data(), static_cast<uInt>(parts[i].out.size()));
  crc = crc32(crc, trailer.data(), static_cast<uInt>(trailer.size()));
  putU32(trailer, static_cast<std::uint32_t>(crc));
  putChunk(trailer, "IEND", {});

  PngPieces png;
  png.pieces.push_back(std::move(head));
  for (int i = 0; i < partCount; ++i) png.pieces.push_back(std::move(parts[i].out));
  png.pieces.push_back(std::move(trailer));
  return png;
}

// The work of the second half, on a thread of its own: it collects the half's colours, waits
// while the first half's thread merges the tables and chooses the bit depth, then compresses.
struct SecondHalf {
  Frame frame;
  ColourTable colours;
  bool colourOk = false;
  bool go = false;  // set before the second meeting: compress
  Part part;
};

}  // namespace

std::optional<PngPieces> encodeIndexedPng(const std::uint32_t* pixels, int width,
                                                          int height) {
  if (pixels == nullptr || width <= 0 || height <= 0) return std::nullopt;
  if ((static_cast<std::uint64_t>(width) + 1) * static_cast<std::uint64_t>(height) > MaxRawBytes)
    return std::nullopt;
  const Frame frame{pixels, width, height};
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  try {
    const bool split = count >= SplitPixels && height >= 2;
    const int middle = split ? height / 2 : height;
    const std::size_t firstCount = static_cast<std::size_t>(middle) * static_cast<std::size_t>(width);
    ColourTable colours;
    PixelIndex indexer;
    int depth = 8;
    Part first;
    first.end = middle;
    first.last = !split;

    auto second = std::make_unique<SecondHalf>();
    second->frame = frame;
    second->part.first = middle;
    second->part.end = height;
    std::barrier meeting(2);
    const auto secondWork = [&half = *second, &indexer, &depth, &meeting, firstCount, count] {
      half.colourOk = half.colours.add(half.frame.pixels + firstCount, count - firstCount);
      meeting.arrive_and_wait();  // the first half's colours are in; the tables get merged
      meeting.arrive_and_wait();  // merged: the depth is known
      if (!half.go) return;
      try {
        compressPart(half.frame, indexer, depth, half.part);
      } catch (const std::exception&) {
        half.part.ok = false;
      }
    };
    std::thread helper;
    if (split) {
      try {
        helper = std::thread(secondWork);
      } catch (const std::exception&) {
        return std::nullopt;  // no thread: the RGB writer does the frame
      }
    }
    struct Joiner {
      std::thread& thread;
      ~Joiner() {
        if (thread.joinable()) thread.join();
      }
    } joiner{helper};

    const bool firstOk = colours.add(pixels, firstCount);
    if (split) meeting.arrive_and_wait();
    bool merged = firstOk && (!split || second->colourOk);
    if (merged && split) {
      // The second half's colours after the first's, in their order of first appearance.
      for (std::uint32_t c : second->colours.colours)
        if (colours.find(c) < 0) {
          merged = false;
          break;
        }
    }
    depth = bitDepth(colours.colours.size());
    try {  // nothing may leave between the two meetings: the helper would wait for ever
      merged = merged && indexer.build(colours.colours);
    } catch (const std::exception&) {
      merged = false;
    }
    if (split) {
      second->go = merged;
      meeting.arrive_and_wait();
    }
    if (!merged) return std::nullopt;
    compressPart(frame, indexer, depth, first);
    if (split) helper.join();
    if (!first.ok || (split && !second->part.ok)) return std::nullopt;
    Part parts[2] = {std::move(first), std::move(second->part)};
    return assemble(width, height, depth, colours.colours, parts, split ? 2 : 1);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::vector<std::uint8_t> PngPieces::bytes() const {
  std::vector<std::uint8_t> all;
  for (const auto& piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
  return all;
}

}  // namespace pelinor::gdi
