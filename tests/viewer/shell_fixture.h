// A small database in a temporary working directory and a chart window driven headless, for the
// tests of the viewer's shell, loading and stock selection.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/settings.h"
#include "platform/host/headless_driver.h"
#include "platform/text/cp932.h"
#include "resources/pelinorw_resources.h"
#include "tests/support/test_support.h"
#include "viewer/tchart.h"

namespace viewertest {

struct Stock {
  float code;
  int ksijo;
  std::string name;  // UTF-8
  int kchumoku = 0;
};

class ViewerFixture : public ::testing::Test {
 protected:
  ViewerFixture() {
    marketdb::applyDefaults(sys, win);
    sys.lastStoreDate = 20100110;
    sys.storePosition = 9;
  }

  // The default database: part-one and part-two stocks on several code pages.
  void useDefaultStocks() {
    stocks = {
        {1301, 1, "極洋", 9},      {1332, 3, "日水", 4},    {1377, 1, "サカタ", -8},
        {1379, 2, "ホクト", -4},   {1380, 1, "秋川牧園", 3}, {2001, 1, "日粉", -3},
        {4004, 1, "昭電工", 0},    {9984, 4, "ソフト", 0},
    };
  }

  // Writes the four files (those asked for).
  void writeDatabase(bool withSys = true, bool withWin = true, bool withIdx = true,
                     bool withDat = true) {
    if (withSys) {
      ASSERT_EQ(marketdb::writeSystemFile(sys), marketdb::FileStatus::Ok);
    }
    if (withWin) {
      ASSERT_EQ(marketdb::writeSettingsFile(win), marketdb::FileStatus::Ok);
    }
    if (withIdx) {
      std::string idx;
      for (std::size_t i = 0; i < stocks.size(); ++i) {
        idx += marketdb::formatIndexLine(0, stocks[i].ksijo, marketdb::codeFromNumber(stocks[i].code),
                                         pelinor::text::toCp932(stocks[i].name).c_str(),
                                         static_cast<int>(i), stocks[i].kchumoku);
      }
      testsupport::writeFile(marketdb::IndexFileName, idx);
    }
    if (withDat) {
      marketdb::PriceFile dat;
      ASSERT_TRUE(dat.openForWriting());
      for (std::size_t i = 0; i < stocks.size(); ++i) {
        ASSERT_TRUE(dat.initHistory(static_cast<int>(i)));
        auto it = histories.find(static_cast<int>(i));
        if (it == histories.end()) continue;
        for (const auto& [slot, rec] : it->second)
          ASSERT_TRUE(dat.writeDay(static_cast<int>(i), slot, rec));
      }
    }
  }

  // A trading day of record slot `record` at ring slot `slot`.
  void day(int record, int slot, float date, int open, int high, int low, int close,
           float volume, int change = 0) {  // date: yymmdd
    marketdb::DayRecord r;
    r.date = marketdb::dateKey(date);
    r.open = static_cast<std::int16_t>(open);
    r.high = static_cast<std::int16_t>(high);
    r.low = static_cast<std::int16_t>(low);
    r.close = static_cast<std::int16_t>(close);
    r.change = static_cast<std::int16_t>(change);
    r.volume = volume;
    histories[record][slot] = r;
  }

  void start(int width = 640, int height = 480) {
    frame = std::make_unique<SDIDecFrame>(pelinorwTitle(), std::make_unique<viewer::TChart>(),
                                          pelinorwResources());
    frame->AssignMenu(100);
    driver = std::make_unique<HeadlessDriver>(*frame, TSize{width, height}, out);
    driver->start();
  }

  // Types keys one after the other ("1301\r" style: digits, '\r' for Enter).
  void type(const std::string& keys) {
    for (char c : keys) driver->key(c == '\r' ? VK_RETURN : static_cast<unsigned>(c));
  }

  // Shows a stock: the stock menu, then its code typed and Enter.
  void show(int code) {
    driver->key(VK_F12);
    type(std::to_string(code) + "\r");
  }

  const std::vector<std::string>& ops() const { return driver->recording().operations(); }

  static std::string hex(COLORREF c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return buf;
  }

  // The recording line of a text in UTF-8.
  static std::string textOp(int x, int y, COLORREF colour, const std::string& utf8) {
    return "text " + std::to_string(x) + " " + std::to_string(y) + " " + hex(colour) + " \"" +
           utf8 + "\"";
  }

  bool drew(const std::string& op) const {
    return std::find(ops().begin(), ops().end(), op) != ops().end();
  }
  bool drewText(int x, int y, COLORREF colour, const std::string& utf8) const {
    return drew(textOp(x, y, colour, utf8));
  }

  // Every text drawn, as "x y RRGGBB text".
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const std::string& op : ops())
      if (op.rfind("text ", 0) == 0) out.push_back(op.substr(5));
    return out;
  }

  // The codes drawn in the menu cells (yellow, below the header), in drawing order.
  std::vector<std::string> menuCodes() const {
    std::vector<std::string> out;
    for (const std::string& op : ops()) {
      int x = 0, y = 0;
      char colour[7] = {};
      char text[64] = {};
      if (std::sscanf(op.c_str(), "text %d %d %6s \"%63[^\"]\"", &x, &y, colour, text) == 4 &&
          y >= 16 && std::string(colour) == "FFFF00")
        out.push_back(std::to_string(x) + "," + std::to_string(y) + ":" + text);
    }
    return out;
  }

  int indexOf(float code) const { return chart().findCode(marketdb::codeFromNumber(code)); }
  viewer::TChart& chart() const { return *static_cast<viewer::TChart*>(driver->window()); }

  testsupport::TempWorkDir dir;
  marketdb::SystemFile sys;
  marketdb::SettingsFile win;
  std::vector<Stock> stocks;
  std::map<int, std::map<int, marketdb::DayRecord>> histories;
  std::ostringstream out;
  std::unique_ptr<SDIDecFrame> frame;
  std::unique_ptr<HeadlessDriver> driver;
};

constexpr COLORREF Yellow = RGB(255, 255, 0);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Magenta = RGB(255, 0, 255);
constexpr COLORREF Red = RGB(255, 0, 0);
constexpr COLORREF Cyan = RGB(0, 255, 255);
constexpr COLORREF Green = RGB(0, 255, 0);

}  // namespace viewertest
