// Copying a painted frame into the pixels a window shows, and finding what changed, so that
// the window system is handed only the rectangles that differ from what it shows already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A rectangle of pixels: columns [x, x + w), rows [y, y + h).
struct FrameRect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
};

// Pixels laid out row by row, one 32-bit word each; rows are `pitch` bytes apart.
struct PixelRows {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::size_t pitch = 0;
  std::uint32_t* row(int y) const {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(pixels) +
                                            static_cast<std::size_t>(y) * pitch);
  }
};

// At most this many rectangles come back from copyChangedPixels: further changes are merged
// into the last one.
constexpr std::size_t MaxChangedRects = 32;

// Copies the `width` x `height` words of `frame` (rows next to each other) into `target` with
// its top left corner at row `top`, clipped to the target. copyAllPixels copies every row;
// copyChangedPixels writes only the pixels that differ and returns rectangles of the target
// that together cover every pixel it changed (none when nothing differs). Rows close together
// share one rectangle, so that a change of a few scattered rows costs few rectangles.
void copyAllPixels(const std::uint32_t* frame, int width, int height, const PixelRows& target,
                   int top);
std::vector<FrameRect> copyChangedPixels(const std::uint32_t* frame, int width, int height,
                                         const PixelRows& target, int top);
