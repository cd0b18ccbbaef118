#include "platform/host/frame_copy.h"

#include <algorithm>
#include <cstring>

namespace {

// A run of changed rows separated by at most this many unchanged ones stays one rectangle:
// each rectangle is one request to the window system, so a little more area is cheaper than
// many small ones.
constexpr int RowGap = 16;

// The part of the frame that lands on the target: columns [0, width), rows [first, last) of
// the frame.
struct Overlap {
  int width = 0;
  int first = 0;
  int last = 0;
};

Overlap overlap(int width, int height, const PixelRows& target, int top) {
  Overlap o;
  if (!target.pixels || width <= 0 || height <= 0) return o;
  o.width = std::min(width, target.width);
  o.first = std::max(0, -top);
  o.last = std::min(height, target.height - top);
  if (o.width <= 0 || o.first >= o.last) o = {};
  return o;
}

// Equal words are skipped a block at a time (memcmp compares many words per step); within a
// block that differs, word by word.
constexpr int Block = 128;

// The first index in [0, width) where the rows differ, or width when they are equal.
int firstDifference(const std::uint32_t* a, const std::uint32_t* b, int width) {
  int x = 0;
  while (x + Block <= width && std::memcmp(a + x, b + x, Block * sizeof(std::uint32_t)) == 0)
    x += Block;
  while (x < width && a[x] == b[x]) ++x;
  return x;
}

// One past the last index in [from, width) where the rows differ; they differ at `from`.
int endOfDifference(const std::uint32_t* a, const std::uint32_t* b, int from, int width) {
  int x = width;
  while (x - Block > from &&
         std::memcmp(a + x - Block, b + x - Block, Block * sizeof(std::uint32_t)) == 0)
    x -= Block;
  while (a[x - 1] == b[x - 1]) --x;
  return x;
}

}  // namespace

void copyAllPixels(const std::uint32_t* frame, int width, int height, const PixelRows& target,
                   int top) {
  const Overlap o = overlap(width, height, target, top);
  const std::size_t bytes = static_cast<std::size_t>(o.width) * sizeof(std::uint32_t);
  for (int y = o.first; y < o.last; ++y)
    std::memcpy(target.row(y + top), frame + static_cast<std::size_t>(y) * width, bytes);
}

std::vector<FrameRect> copyChangedPixels(const std::uint32_t* frame, int width, int height,
                                         const PixelRows& target, int top) {
  std::vector<FrameRect> rects;
  const Overlap o = overlap(width, height, target, top);
  // The open band: target rows [bandTop, bandBottom) and columns [bandLeft, bandRight).
  bool open = false;
  int bandTop = 0, bandBottom = 0, bandLeft = 0, bandRight = 0;
  auto close = [&] {
    if (!open) return;
    const FrameRect r{bandLeft, bandTop, bandRight - bandLeft, bandBottom - bandTop};
    if (rects.size() < MaxChangedRects) {
      rects.push_back(r);
    } else {  // one more request would cost more than the area it saves
      FrameRect& last = rects.back();
      const int right = std::max(last.x + last.w, r.x + r.w);
      last.x = std::min(last.x, r.x);
      last.w = right - last.x;
      last.h = r.y + r.h - last.y;
    }
    open = false;
  };
  for (int y = o.first; y < o.last; ++y) {
    const std::uint32_t* from = frame + static_cast<std::size_t>(y) * width;
    std::uint32_t* to = target.row(y + top);
    const int left = firstDifference(from, to, o.width);
    if (left == o.width) continue;
    const int right = endOfDifference(from, to, left, o.width);
    std::memcpy(to + left, from + left, static_cast<std::size_t>(right - left) * sizeof(std::uint32_t));
    const int row = y + top;
    if (open && row - bandBottom > RowGap) close();
    if (!open) {
      open = true;
      bandTop = row;
      bandLeft = left;
      bandRight = right;
    } else {
      bandLeft = std::min(bandLeft, left);
      bandRight = std::max(bandRight, right);
    }
    bandBottom = row + 1;
  }
  close();
  return rects;
}
