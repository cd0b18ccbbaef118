// A database window run headless, for the settings editor and re-store tests: a UCHART inside
// the program's frame, driven with menu commands and keys as a user would, and helpers to look
// at what the last paint drew.
#pragma once

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "dbprogram/uchart.h"
#include "platform/host/headless_driver.h"
#include "resources/pelinorx_resources.h"

namespace settingstest {

class DbWindow {
 public:
  DbWindow()
      : frame_(pelinorxTitle(), std::make_unique<dbprogram::UCHART>(), pelinorxResources()),
        driver_((frame_.AssignMenu(100), frame_), TSize{640, 480}, out_) {
    driver_.start();
  }

  HeadlessDriver& driver() { return driver_; }
  dbprogram::UCHART& chart() { return *static_cast<dbprogram::UCHART*>(driver_.window()); }
  bool closed() const { return driver_.closed(); }
  const std::vector<std::string>& messageBoxes() const { return driver_.messageBoxes(); }

  void menu(int id) { driver_.menu(id); }
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

  // The recording line of a text drawn at (x, y) in colour RRGGBB.
  static std::string textOp(int x, int y, const char* rrggbb, const std::string& utf8) {
    return "text " + std::to_string(x) + " " + std::to_string(y) + " " + rrggbb + " \"" + utf8 +
           "\"";
  }
  bool drew(const std::string& op) const {
    const auto& ops = driver_.recording().operations();
    return std::find(ops.begin(), ops.end(), op) != ops.end();
  }
  bool drewText(int x, int y, const char* rrggbb, const std::string& utf8) const {
    return drew(textOp(x, y, rrggbb, utf8));
  }
  // Every text drawn at (x, y), whatever its colour and contents.
  int textsAt(int x, int y) const {
    const std::string prefix = "text " + std::to_string(x) + " " + std::to_string(y) + " ";
    int n = 0;
    for (const auto& op : driver_.recording().operations())
      if (op.rfind(prefix, 0) == 0) ++n;
    return n;
  }
  std::string dump() const { return driver_.dump(); }

 private:
  std::ostringstream out_;
  SDIDecFrame frame_;
  HeadlessDriver driver_;
};

}  // namespace settingstest
