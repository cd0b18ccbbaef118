// Drives the database program's window headless and reads back the texts of the last paint.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dbprogram/analysis.h"
#include "dbprogram/uchart.h"
#include "platform/host/headless_driver.h"
#include "platform/text/cp932.h"
#include "resources/pelinorx_resources.h"

namespace rankingtest {

struct Text {
  int x = 0;
  int y = 0;
  std::string colour;  // RRGGBB
  std::string text;    // UTF-8
};

// The "text" operations of a recording.
inline std::vector<Text> texts(const std::string& dump) {
  std::vector<Text> out;
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("text ", 0) != 0) continue;
    std::istringstream fields(line.substr(5));
    Text t;
    fields >> t.x >> t.y >> t.colour;
    const std::size_t open = line.find('"');
    const std::size_t close = line.rfind('"');
    std::string raw = line.substr(open + 1, close - open - 1);
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
      t.text += raw[i];
    }
    out.push_back(t);
  }
  return out;
}

struct Screen {
  Screen()
      : frame(std::make_unique<SDIDecFrame>("pelinorx", std::make_unique<dbprogram::UCHART>(),
                                            pelinorxResources())) {
    frame->AssignMenu(100);
    driver = std::make_unique<HeadlessDriver>(*frame, TSize{640, 480}, out);
    driver->start();
  }
  dbprogram::UCHART& window() const { return *static_cast<dbprogram::UCHART*>(driver->window()); }
  std::vector<Text> texts() const { return rankingtest::texts(driver->dump()); }
  // The text drawn at (x, y), or "" (the last one when several are drawn there).
  std::string at(int x, int y) const {
    std::string found;
    for (const Text& t : texts())
      if (t.x == x && t.y == y) found = t.text;
    return found;
  }
  std::string colourAt(int x, int y, const std::string& text) const {
    std::string found;
    for (const Text& t : texts())
      if (t.x == x && t.y == y && t.text == text) found = t.colour;
    return found;
  }
  // Texts of table row r (0..27): the thirteen columns joined by '|'.
  std::string row(int r) const {
    static const int xs[] = {0, 40, 80, 120, 180, 220, 268, 316, 364, 412, 460, 508, 556};
    std::string joined;
    for (int x : xs) {
      if (!joined.empty()) joined += '|';
      joined += at(x, 32 + 16 * r);
    }
    return joined;
  }
  int rowsDrawn() const {
    int n = 0;
    for (const Text& t : texts())
      if (t.x == 0 && t.y >= 32) ++n;
    return n;
  }
  // The code shown in table row r.
  int codeAt(int r) const {
    const std::string s = at(80, 32 + 16 * r);
    return s.empty() ? -1 : std::stoi(s);
  }

  std::ostringstream out;
  std::unique_ptr<SDIDecFrame> frame;
  std::unique_ptr<HeadlessDriver> driver;
};

// A row with the given code and values in tenths (sｻｲﾝ whole).
inline dbprogram::RankingRow makeRow(float code, int close, int sign, int other = 0) {
  dbprogram::RankingRow r;
  r.code = marketdb::codeFromNumber(code);
  r.close = close;
  r.riseRate = r.volumeChange = r.rci3 = r.deviation2 = other;
  r.rebound = r.range = r.sinceDate = other;
  r.sign = sign;
  std::string name = "N";
  name += std::to_string(static_cast<int>(code) % 1000);
  std::memcpy(r.name, name.data(), std::min<std::size_t>(name.size(), 6));
  return r;
}

inline std::string standardTitle() { return dbprogram::rankingTitle(991229, 105); }

inline std::string fileWith(const std::vector<dbprogram::RankingRow>& rows,
                            const std::string& title = standardTitle()) {
  return dbprogram::rankingFileText(title, dbprogram::rankingHeader(), rows.data(),
                                    static_cast<int>(rows.size()));
}

}  // namespace rankingtest
