// The comparison and the information screen through the viewer's script host, on a sample
// database stored with the database program: the header and the first and last segment of each
// stock's line, and kabudata.txt byte for byte, all worked out here from the bytes of the
// database files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"
#include "tools/sample/sample_data.h"

namespace {

namespace fs = std::filesystem;
using e2e::DumpRecord;
using testsupport::readFile;

constexpr int Ring = 640;
using Segment = std::array<int, 4>;

struct IndexLine {
  int code = 0;
  std::string name;  // CP932
  int record = 0;
};

struct Day {
  float date = 0;
  int open = 0, high = 0, low = 0, close = 0, change = 0;
  float volume = 0;
};

std::vector<IndexLine> readIndex() {
  std::vector<IndexLine> out;
  for (const std::string& line : e2e::splitLines(readFile("pelinoru.idx"))) {
    int deleted = 0, section = 0, record = 0, change = 0;
    float code = 0;
    char name[16] = {};
    if (std::sscanf(line.c_str(), "%d %d %f %14s %d %d", &deleted, &section, &code, name, &record,
                    &change) == 6)
      out.push_back({static_cast<int>(code), name, record});
  }
  return out;
}

int storePosition() {
  int reserved = 0, reference = 0, position = 0;
  float last = 0;
  std::sscanf(readFile("pelinoru.sys").c_str(), "%d %f %d %d", &reserved, &last, &reference,
              &position);
  return position;
}

// A stock's 640 day records, little-endian, with the price-unit rule of the viewer applied: a
// history spanning more than ten times its lowest low, above 8000 yen, has the days under 800
// multiplied by ten and the others divided by ten.
std::vector<Day> readDays(const std::string& dat, int record) {
  auto u16 = [&](std::size_t at) {
    return static_cast<int>(static_cast<std::int16_t>(static_cast<std::uint16_t>(
        static_cast<unsigned char>(dat[at]) | static_cast<unsigned char>(dat[at + 1]) << 8)));
  };
  auto f32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = v << 8 | static_cast<unsigned char>(dat[at + b]);
    return std::bit_cast<float>(v);
  };
  std::vector<Day> days(Ring);
  for (int s = 0; s < Ring; ++s) {
    const std::size_t at = (static_cast<std::size_t>(record) * Ring + s) * 18;
    if (at + 18 > dat.size()) break;
    days[s] = {f32(at), u16(at + 4), u16(at + 6), u16(at + 8), u16(at + 10), u16(at + 12),
               f32(at + 14)};
  }
  int highest = 0, lowest = 32700;
  for (const Day& d : days)
    if (d.volume != 0) highest = std::max(highest, d.high), lowest = std::min(lowest, d.low);
  if (lowest > 0 && (highest - lowest) / lowest > 10 && highest > 8000) {
    for (Day& d : days) {
      if (d.volume == 0) continue;
      const bool under = d.high < 800;
      for (int* v : {&d.open, &d.high, &d.low, &d.close, &d.change}) *v = under ? *v * 10 : *v / 10;
    }
  }
  return days;
}

long fullDate(float yymmdd) {
  const long n = static_cast<long>(yymmdd);
  return (n / 10000 < 46 ? 20000000L : 19000000L) + n;
}

// Close of the newest dated day with a volume on or before the base date; 0 if none.
int baseClose(const std::vector<Day>& days, float base) {
  long best = -1;
  int close = 0;
  for (const Day& d : days)
    if (d.volume != 0 && d.date > 0 && fullDate(d.date) <= fullDate(base) && fullDate(d.date) > best)
      best = fullDate(d.date), close = d.close;
  return close;
}

std::vector<Segment> segments(const std::vector<Day>& days, int position, float baseDate) {
  const int base = baseClose(days, baseDate);
  std::vector<Segment> out;
  if (base == 0) return out;
  int previous = 0;
  for (int x = 0; x < Ring; ++x) {
    const Day& d = days[(position + 1 + x) % Ring];
    int y = previous;
    if (d.volume != 0) {
      const float percent = static_cast<float>(d.close - base) / static_cast<float>(base) * 100.0f;
      y = static_cast<int>(std::trunc(463.0 - 224.0 - static_cast<double>(percent) * 22.4 / 10.0));
    }
    if (x > 0 && previous > 15 && previous < 464 && y > 15 && y < 464)
      out.push_back({x - 1, previous, x, y});
    previous = y;
  }
  return out;
}

// The first six bytes of a CP932 name, a double-byte character kept whole.
std::string firstSixBytes(const std::string& name) {
  std::size_t end = 0;
  while (end < name.size()) {
    const auto lead = static_cast<unsigned char>(name[end]);
    const std::size_t width = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
    if (end + width > 6) break;
    end += width;
  }
  return name.substr(0, end);
}

std::string format4g(int code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%4g", static_cast<double>(code));
  return buf;
}

std::vector<DumpRecord> dumpOf(const std::string& file) {
  bool ok = false;
  auto records = e2e::parseDump(readFile(file), &ok);
  EXPECT_TRUE(ok) << file;
  return records;
}

std::vector<Segment> solidLines(const std::vector<DumpRecord>& dump, const std::string& colour) {
  std::vector<Segment> out;
  for (const auto& r : dump)
    if (r.kind == "line" && r.extra == "solid" && r.colour == colour)
      out.push_back({r.xy[0], r.xy[1], r.xy[2], r.xy[3]});
  return out;
}

const char* const LineColours[7] = {"0000FF", "00FF00", "00FFFF", "FF0000",
                                    "FF00FF", "FFFF00", "FFFFFF"};

class ComparisonScript : public ::testing::Test {
 protected:
  void SetUp() override {
    // Five months across the turn of 2000, so that the base dates meet the date window.
    pelinor::sample::SampleOptions options;
    options.outDir = "daily";
    options.writeN = false;
    options.stocks = 40;
    options.days = 110;
    options.endDate = 228;
    options.seed = 5;
    std::string error;
    ASSERT_TRUE(pelinor::sample::generateSampleData(options, error)) << error;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator("daily")) files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
      return fullDate(std::stof(a.filename().string().substr(1))) <
             fullDate(std::stof(b.filename().string().substr(1)));
    });
    ASSERT_EQ(e2e::pelinorx("init W").status, 0);
    std::string paths;
    for (const auto& f : files) paths.append(" ").append(f.string());
    ASSERT_EQ(e2e::pelinorx("store" + paths).status, 0);
    index = readIndex();
    ASSERT_GE(index.size(), 8u);
    dat = readFile("pelinoru.dat");
    position = storePosition();
  }

  // Shows the stocks one after the other, enters the base date and dumps the comparison as a
  // repaint draws it; then the information screen.
  void run(const std::vector<int>& shown, const std::string& base) {
    std::vector<std::string> events = {"key F12"};
    for (int code : shown) {
      events.push_back("keys " + std::to_string(code));
      events.push_back("key RETURN");
    }
    for (const char* e : {"key F2"}) events.push_back(e);
    events.push_back("keys " + base);
    events.push_back("key RETURN");
    events.push_back("paint");
    events.push_back("dump compare.txt");
    events.push_back("menu 1");
    events.push_back("dump info.txt");
    e2e::writeScript("compare.script", events);
    const e2e::Result r = e2e::pelinorw("--script compare.script");
    ASSERT_EQ(r.status, 0) << r.out;
  }

  // Checks the header and the line of every list position against the database files; returns
  // the stock of the last position.
  const IndexLine* check(const std::vector<int>& list, float base) {
    const auto dump = dumpOf("compare.txt");
    std::vector<std::string> header;
    for (const auto& r : dump)
      if (r.kind == "text" && r.xy[1] == 0)
        header.push_back(std::to_string(r.xy[0]) + " " + r.colour + " " + e2e::toSjis(r.text));
    char baseText[16];
    std::snprintf(baseText, sizeof baseText, "%06g", static_cast<double>(base));
    std::vector<std::string> wanted = {"0 FFFFFF " + e2e::toSjis("基準"),
                                       std::string("32 FFFFFF ") + baseText};
    const IndexLine* last = nullptr;
    for (std::size_t k = 0; k < list.size(); ++k) {
      SCOPED_TRACE(list[k]);
      const auto it = std::find_if(index.begin(), index.end(),
                                   [&](const IndexLine& l) { return l.code == list[k]; });
      EXPECT_NE(it, index.end());
      if (it == index.end()) continue;
      last = &*it;
      const std::string colour = LineColours[k];
      wanted.push_back(std::to_string(80 * k + 80) + " " + colour + " " + format4g(it->code));
      wanted.push_back(std::to_string(80 * k + 112) + " " + colour + " " + firstSixBytes(it->name));
      const auto expected = segments(readDays(dat, it->record), position, base);
      const auto drawn = solidLines(dump, colour);
      EXPECT_EQ(drawn.size(), expected.size());
      if (!expected.empty()) ++stocksWithLines;
      if (!expected.empty() && !drawn.empty()) {
        EXPECT_EQ(drawn.front(), expected.front());
        EXPECT_EQ(drawn.back(), expected.back());
      }
    }
    EXPECT_EQ(header, wanted);
    return last;
  }

  // kabudata.txt as the last compared stock in the columns gives it: its days, oldest first,
  // and zeros where the series of an earlier chart were.
  void checkExport(const IndexLine& stock) {
    const auto days = readDays(dat, stock.record);
    std::string wanted;
    for (int n = 0; n < Ring; ++n) {
      const Day& d = days[(position + 1 + n) % Ring];
      char buf[256];
      std::snprintf(buf, sizeof buf,
                    "%6g %4g %6s %5d %5d %5d %5d %5d %8.1f %5d %3d %5d %3d %5d %3d %3d %3d %3d %3d "
                    "%5d\n",
                    static_cast<double>(d.date), static_cast<double>(stock.code),
                    stock.name.c_str(), d.open, d.high, d.low, d.close, d.change,
                    static_cast<double>(d.volume), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
      wanted += buf;
    }
    const std::string file = readFile("kabudata.txt");
    EXPECT_TRUE(file == wanted) << "kabudata.txt differs (" << file.size() << " bytes, "
                                << wanted.size() << " wanted)";
    const auto info = dumpOf("info.txt");
    EXPECT_EQ(e2e::textsIn(info, "00FF00").size(), 1u);
    EXPECT_EQ(e2e::textsIn(info, "FF0000").size(), 1u);
  }

  testsupport::TempWorkDir dir;
  std::vector<IndexLine> index;
  std::string dat;
  int position = 0;
  int stocksWithLines = 0;
};

TEST_F(ComparisonScript, TwoRecentStocksFromTheLastDayOf1999) {
  const std::vector<int> shown = {index[3].code, index[7].code};
  run(shown, "991231");
  const IndexLine* last = check(shown, 991231);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(stocksWithLines, 2);
  checkExport(*last);
}

TEST_F(ComparisonScript, SevenRecentStocksTheEighthReplacingTheFirst) {
  std::vector<int> shown;
  for (int i = 0; i < 8; ++i) shown.push_back(index[i].code);
  run(shown, "105");  // 2000-01-05, typed without its leading zeros
  std::vector<int> list(shown.begin(), shown.begin() + 7);
  list[0] = shown[7];
  const IndexLine* last = check(list, 105);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->code, shown[6]);
  EXPECT_GE(stocksWithLines, 5);
  checkExport(*last);
}

}  // namespace
