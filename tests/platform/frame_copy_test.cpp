// Copying frames into a window's pixels: whatever the window held before, the result equals a
// plain pixel-by-pixel copy, nothing outside the frame's place is written, and the rectangles
// handed to the window system cover every pixel that changed.
#include "platform/host/frame_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// A window's pixels with rows `pitchWords` words apart; the words beyond each row's width
// stand for padding that must never be written.
struct Target {
  int width, height, pitchWords;
  std::vector<std::uint32_t> words;
  Target(int w, int h, int pitch, std::uint32_t fill)
      : width(w), height(h), pitchWords(pitch), words(static_cast<std::size_t>(pitch) * h, fill) {}
  PixelRows rows() {
    return {words.data(), width, height, static_cast<std::size_t>(pitchWords) * 4};
  }
  std::uint32_t at(int x, int y) const { return words[static_cast<std::size_t>(y) * pitchWords + x]; }
};

// The plain copy: frame pixel (x, y) lands on target (x, y + top) where that lies inside.
std::vector<std::uint32_t> plainCopy(const std::vector<std::uint32_t>& frame, int width,
                                     int height, const Target& before, int top) {
  std::vector<std::uint32_t> out = before.words;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int ty = y + top;
      if (x >= before.width || ty < 0 || ty >= before.height) continue;
      out[static_cast<std::size_t>(ty) * before.pitchWords + x] = frame[static_cast<std::size_t>(y) * width + x];
    }
  }
  return out;
}

struct Case {
  std::string name;
  int frameWidth, frameHeight;
  int targetWidth, targetHeight, pitchWords;
  int top;
  double changed;  // share of the frame's pixels that differ from what the target holds
};

TEST(FrameCopy, EqualsThePlainCopyAndCoversEveryChange) {
  const std::vector<Case> cases = {
      {"nothing changed", 64, 48, 64, 48, 64, 0, 0.0},
      {"a few pixels", 64, 48, 64, 48, 64, 0, 0.002},
      {"scattered changes", 97, 61, 97, 61, 97, 0, 0.05},
      {"everything", 40, 30, 40, 30, 40, 0, 1.0},
      {"below a bar, padded rows", 50, 40, 50, 52, 53, 12, 0.03},
      {"frame wider and taller than the window", 70, 60, 50, 40, 50, 5, 0.1},
      {"frame above the window's top", 30, 30, 30, 30, 32, -7, 0.1},
      {"one row", 200, 1, 200, 1, 200, 0, 0.3},
      {"one column", 1, 90, 1, 90, 1, 0, 0.3},
      {"many separate rows", 16, 2000, 16, 2000, 16, 0, 0.004},
  };
  std::mt19937 random(13);
  for (const Case& c : cases) {
    for (int round = 0; round < 5; ++round) {
      SCOPED_TRACE(c.name + ", round " + std::to_string(round));
      // Few colours, so that unchanged pixels are common and runs of equal words occur.
      std::uniform_int_distribution<std::uint32_t> colour(0, 3);
      Target target(c.targetWidth, c.targetHeight, c.pitchWords, 0);
      for (auto& w : target.words) w = colour(random) * 0x00404040u;
      // The frame: what the target holds where it lands, then a share of pixels changed.
      std::vector<std::uint32_t> frame(static_cast<std::size_t>(c.frameWidth) * c.frameHeight);
      std::bernoulli_distribution change(c.changed);
      for (int y = 0; y < c.frameHeight; ++y) {
        for (int x = 0; x < c.frameWidth; ++x) {
          const int ty = y + c.top;
          const bool inside = x < c.targetWidth && ty >= 0 && ty < c.targetHeight;
          std::uint32_t w = inside ? target.at(x, ty) : colour(random);
          if (change(random)) w ^= 0x00010203u;
          frame[static_cast<std::size_t>(y) * c.frameWidth + x] = w;
        }
      }
      const Target before = target;
      const std::vector<std::uint32_t> expected =
          plainCopy(frame, c.frameWidth, c.frameHeight, before, c.top);

      const std::vector<FrameRect> rects =
          copyChangedPixels(frame.data(), c.frameWidth, c.frameHeight, target.rows(), c.top);
      EXPECT_EQ(target.words, expected) << "changed pixels copied";
      EXPECT_LE(rects.size(), MaxChangedRects);
      for (const FrameRect& r : rects) {
        EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.w > 0 && r.h > 0 && r.x + r.w <= c.targetWidth &&
                    r.y + r.h <= c.targetHeight)
            << r.x << "," << r.y << " " << r.w << "x" << r.h;
      }
      bool anyChange = false;
      for (int y = 0; y < c.targetHeight; ++y) {
        for (int x = 0; x < c.targetWidth; ++x) {
          if (before.at(x, y) == target.at(x, y)) continue;
          anyChange = true;
          bool covered = false;
          for (const FrameRect& r : rects)
            covered = covered || (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h);
          EXPECT_TRUE(covered) << "changed pixel " << x << "," << y << " outside every rectangle";
        }
      }
      EXPECT_EQ(rects.empty(), !anyChange);

      Target whole = before;
      copyAllPixels(frame.data(), c.frameWidth, c.frameHeight, whole.rows(), c.top);
      EXPECT_EQ(whole.words, expected) << "whole copy";
    }
  }
}

TEST(FrameCopy, NothingIsWrittenWithoutPixels) {
  std::vector<std::uint32_t> frame(4, 7);
  Target target(2, 2, 2, 1);
  EXPECT_TRUE(copyChangedPixels(frame.data(), 0, 0, target.rows(), 0).empty());
  EXPECT_TRUE(copyChangedPixels(frame.data(), 2, 2, target.rows(), 2).empty());
  EXPECT_TRUE(copyChangedPixels(frame.data(), 2, 2, PixelRows{}, 0).empty());
  copyAllPixels(frame.data(), 2, 2, target.rows(), -2);
  EXPECT_EQ(target.words, std::vector<std::uint32_t>(4, 1));
}

}  // namespace
