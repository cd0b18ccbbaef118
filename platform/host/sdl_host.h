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
