// The database window run headless in its frame, for the shell and store-prompt tests.
#pragma once

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "dbprogram/uchart.h"
#include "platform/host/headless_driver.h"
#include "resources/pelinorx_resources.h"

namespace shelltest {

class ShellWindow {
 public:
  ShellWindow()
      : frame_(pelinorxTitle(), std::make_unique<dbprogram::UCHART>(), pelinorxResources()),
        driver_((frame_.AssignMenu(100), frame_), TSize{640, 480}, out_) {
    driver_.start();
  }

  HeadlessDriver& driver() { return driver_; }
  dbprogram::UCHART& chart() { return *static_cast<dbprogram::UCHART*>(driver_.window()); }

  // Keys as typed: digits and letters by their virtual keys, E as Return and C as Home.
  void type(std::string_view keys) {
    for (char ch : keys) {
      if (ch == 'E')
        driver_.key(VK_RETURN);
      else if (ch == 'C')
        driver_.key(VK_HOME);
      else
        driver_.key(static_cast<unsigned char>(ch));
    }
  }

  const std::vector<std::string>& ops() const { return driver_.recording().operations(); }
  bool drew(const std::string& op) const {
    return std::find(ops().begin(), ops().end(), op) != ops().end();
  }
  static std::string text(int x, int y, const char* rrggbb, const std::string& utf8) {
    return "text " + std::to_string(x) + " " + std::to_string(y) + " " + rrggbb + " \"" + utf8 +
           "\"";
  }
  bool drewText(int x, int y, const char* rrggbb, const std::string& utf8) const {
    return drew(text(x, y, rrggbb, utf8));
  }
  // Texts drawn at (x, y) in any colour.
  int textsAt(int x, int y) const {
    const std::string prefix = "text " + std::to_string(x) + " " + std::to_string(y) + " ";
    return static_cast<int>(std::count_if(ops().begin(), ops().end(), [&](const std::string& op) {
      return op.rfind(prefix, 0) == 0;
    }));
  }
  // Index of an operation in the last paint, or -1.
  int indexOf(const std::string& op) const {
    auto it = std::find(ops().begin(), ops().end(), op);
    return it == ops().end() ? -1 : static_cast<int>(it - ops().begin());
  }
  std::string output() const { return out_.str(); }

 private:
  std::ostringstream out_;
  SDIDecFrame frame_;
  HeadlessDriver driver_;
};

}  // namespace shelltest
