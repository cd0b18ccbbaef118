// The headless script host: reads one event per line (see the command line help of both
// programs) and runs it through a HeadlessDriver.
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
