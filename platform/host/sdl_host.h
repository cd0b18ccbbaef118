// The interactive host: a real resizable SDL2 window with the frame's caption, icon and menu
// bar drawn above the client area.
#pragma once

#include "platform/host/menu_bar.h"
#include "platform/window/window.h"

class SdlHost : public Host {
 public:
  explicit SdlHost(TSize clientSize);
  int run(SDIDecFrame& frame) override;

 private:
  TSize size_;
};

class RasterDevice;

// Shows the frame in a window of its size `count` times, each time as the window shows a newly
// painted frame (upload and present); returns the mean milliseconds of one showing, or -1 when
// no window can be opened. For the benchmarks.
double timeFrameShowing(const RasterDevice& frame, int count);
