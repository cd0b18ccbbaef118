// The interactive host: a real resizable SDL2 window with the frame's caption, icon and menu
// bar drawn above the client area. Frames are copied into the window's own pixels when those
// have the frame's layout (only what changed is handed to the window system); otherwise, or
// when the environment variable PELINOR_WINDOW_RENDERER is set to anything but 0, they go
// through an SDL renderer.
#pragma once

#include <string>

#include "platform/host/menu_bar.h"
#include "platform/window/window.h"

class SdlHost : public Host {
 public:
  // `program` names the file that remembers the window's place and size between runs ("" keeps
  // nothing); a size given on the command line (`sizeGiven`) wins over the remembered one.
  explicit SdlHost(TSize clientSize, std::string program = "", bool sizeGiven = true);
  int run(SDIDecFrame& frame) override;

 private:
  TSize size_;
  std::string program_;
  bool sizeGiven_ = true;
};

class RasterDevice;

// Shows the frame in a window of its size `count` times, each time as the window shows a newly
// painted frame that differs everywhere (the whole frame handed to the window system); returns
// the mean milliseconds of one showing, or -1 when no window can be opened. `path`, when given,
// is set to the way the frames went ("window surface" or "renderer"). For the benchmarks.
double timeFrameShowing(const RasterDevice& frame, int count, const char** path = nullptr);
// The same for frames that change from one to the next as the window shows them: `first` and
// `second` (of one size) are shown in turn, each handed over only where it differs from the
// other.
double timeChangeShowing(const RasterDevice& first, const RasterDevice& second, int count,
                         const char** path = nullptr);
