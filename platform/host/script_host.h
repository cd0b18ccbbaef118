// The headless script host: reads one event per line (see the command line help of both
// programs) and runs it through a HeadlessDriver. Besides menu, key, keys, click, dblclick,
// size, paint, snapshot and dump, the pointer lines make every mouse action testable:
//   move X Y               the pointer moved to client pixel (X, Y), no button held
//   wheel N                N whole wheel notches at the pointer (-1000..1000), positive when
//                          turned away from the user
//   drag X1 Y1 X2 Y2       a move to the first point, the left button down there, a move to the
//                          second point with the button held, the button up there
//   leave                  the pointer left the client area
// A key name may carry held modifiers in front, SHIFT+ and CTRL+ (key SHIFT+LEFT, key CTRL+Q);
// END and HELP (also written ?) name the End and '?' keys. Ctrl+Q asks the window to close.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "platform/window/window.h"

class ScriptHost : public Host {
 public:
  // `name` is how error messages refer to the script ("-" for standard input).
  ScriptHost(std::istream& script, std::string name, TSize clientSize, std::ostream& out,
             std::ostream& err);
  // 0 at the end of the script or after a close request; 1 when a file could not be written
  // (a snapshot or dump, which ends the run, or one of the window's own files); 2 for a bad
  // line (message on err).
  int run(SDIDecFrame& frame) override;

 private:
  std::istream& script_;
  std::string name_;
  TSize size_;
  std::ostream& out_;
  std::ostream& err_;
};
