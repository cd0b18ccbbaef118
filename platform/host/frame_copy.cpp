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
  const std::size_t bytes = static_cast<std::size_t>(o.width) * sizeof(std::uint32_t);
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
    if (std::memcmp(from, to, bytes) == 0) continue;
    int left = 0;
    while (from[left] == to[left]) ++left;
    int right = o.width;
    while (from[right - 1] == to[right - 1]) --right;
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
