// The pixels under a window's overlay, kept by both hosts: before each drawing operation of
// the overlay the pixels it may touch are saved; putting them back in the reverse order leaves
// the frame exactly as the window's Paint left it, at the cost of the overlay's own area.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/raster_device.h"
#include "platform/window/window.h"

class RecordingDevice;

class OverlayPixels {
 public:
  // The frame was painted anew: it holds no overlay.
  void forget() { used_ = 0; }
  // Puts the pixels under the last overlay back, then draws the window's overlay onto `frame`
  // (and into `recording`, when given, after clearing it).
  void repaint(TWindow& window, RasterDevice& frame, RecordingDevice* recording);
  // The device pixels the last repaint changed: what it put back and what it drew (clipped).
  const std::vector<TRect>& touched() const { return touched_; }

 private:
  struct Saved {
    TRect rect;
    std::vector<std::uint32_t> pixels;
  };
  std::vector<Saved> saved_;
  std::size_t used_ = 0;  // entries of saved_ in use (their buffers are kept for the next)
  std::vector<TRect> touched_;
};
