// Helpers of the store tests: a fresh database in a temporary working folder, daily files
// written line by line, and the expected bytes of day records packed by hand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dbprogram/batch.h"
#include "dbprogram/store.h"
#include "platform/text/cp932.h"
#include "tests/support/test_support.h"

namespace storetest {

// One line of a daily price file. The name must be 14 bytes without blanks.
inline std::string dailyLine(const std::string& name, const std::string& open,
                             const std::string& high, const std::string& low,
                             const std::string& close, const std::string& change,
                             const std::string& volume, const std::string& date,
                             const std::string& market, const std::string& code10) {
  std::string line = "\"";
  line += name;
  line += "\"";
  for (const std::string* field : {&open, &high, &low, &close, &change, &volume, &date, &market,
                                   &code10}) {
    line += ',';
    line += *field;
  }
  line += '\n';
  return line;
}

// A day record as its 18 bytes: float date, five little-endian int16, float volume.
inline std::string recordBytes(float date, int open, int high, int low, int close, int change,
                               float volume) {
  std::string b(18, '\0');
  auto putFloat = [&b](int at, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  };
  auto putShort = [&b](int at, int v) {
    const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    b[at] = static_cast<char>(u & 0xFF);
    b[at + 1] = static_cast<char>(u >> 8);
  };
  putFloat(0, date);
  putShort(4, open);
  putShort(6, high);
  putShort(8, low);
  putShort(10, close);
  putShort(12, change);
  putFloat(14, volume);
  return b;
}

inline std::string datRecord(int slot, int s) {
  const std::string dat = testsupport::readFile("pelinoru.dat");
  const std::size_t at = static_cast<std::size_t>(slot) * 11520 + static_cast<std::size_t>(s) * 18;
  if (dat.size() < at + 18) return "<beyond the end of pelinoru.dat>";
  return dat.substr(at, 18);
}

inline std::vector<std::string> fileLines(const std::string& name) {
  std::vector<std::string> lines;
  std::istringstream in(testsupport::readFile(name));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string sysLine1() {
  const auto lines = fileLines("pelinoru.sys");
  return lines.empty() ? std::string() : lines[0];
}

// Replaces line 1 of pelinoru.sys (the store state), keeping the colour and period lines.
inline void setStoreState(float lastDate, int position) {
  auto lines = fileLines("pelinoru.sys");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4d %6g %4d %3d", 0, static_cast<double>(lastDate), 0,
                position);
  lines[0] = buf;
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  testsupport::writeFile("pelinoru.sys", all);
}

// The four database files, byte for byte.
struct Snapshot {
  std::string sys, win, idx, dat;
  static Snapshot take() {
    return {testsupport::readFile("pelinoru.sys"), testsupport::readFile("pelinoru.win"),
            testsupport::readFile("pelinoru.idx"), testsupport::readFile("pelinoru.dat")};
  }
  bool operator==(const Snapshot&) const = default;
};

// Collects what the store shows, with the texts in UTF-8.
struct CapturedOutput : dbprogram::StoreOutput {
  struct Line {
    dbprogram::StoreLineKind kind;
    std::string text;
    COLORREF colour;
    int x, y;
  };
  std::vector<Line> lines;
  int bells = 0;
  std::vector<std::string> messages;

  void line(const dbprogram::StoreLine& l) override {
    lines.push_back({l.kind, pelinor::text::toUtf8(l.text), l.colour, l.x, l.y});
  }
  void bell() override { ++bells; }
  void fileMessage(const std::string& text, const std::string& caption) override {
    std::string m = "[";
    m += pelinor::text::toUtf8(caption);
    m += "] ";
    m += pelinor::text::toUtf8(text);
    messages.push_back(m);
  }
  bool has(const std::string& utf8) const {
    for (const auto& l : lines)
      if (l.text == utf8) return true;
    return false;
  }
  const Line* find(dbprogram::StoreLineKind kind) const {
    for (const auto& l : lines)
      if (l.kind == kind) return &l;
    return nullptr;
  }
};

// A temporary working folder holding a fresh database of the given kind ("W" or "N").
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { initDatabase("W"); }
  void initDatabase(const std::string& kind) {
    std::ostringstream out, err;
    ASSERT_EQ(dbprogram::batchInit({kind}, out, err), 0) << out.str() << err.str();
  }
  dbprogram::StoreResult store(const std::string& name, const std::string& contents) {
    testsupport::writeFile(name, contents);
    captured = CapturedOutput();
    return dbprogram::storeDailyFile(name, captured);
  }
  testsupport::TempWorkDir dir;
  CapturedOutput captured;
};

constexpr COLORREF Red = RGB(255, 0, 0);

}  // namespace storetest
