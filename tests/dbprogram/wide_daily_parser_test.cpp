// The extended daily file: which lines it accepts with which exact values, which it refuses
// with which message, and the stream reading that must agree with the reading of the text.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "dbprogram/wide_daily_parser.h"
#include "platform/text/cp932.h"

using dbprogram::WideDailyLine;
using dbprogram::WideDailyRead;
using dbprogram::WideDailyReader;

namespace {

const std::string Head = "#PELWIDE DAILY 1\n";
const std::string Name = "\"\x83\x65\x83\x58\x83\x67\x96\xbc\x8f\xcc\x81\x40\x81\x40\"";  // 14 bytes
const std::string Good = Name + ",100,105,98,102,2,12000,20240105,801,130A0\n";

std::string cp932(const std::string& utf8) { return pelinor::text::toCp932(utf8); }

// A line of Good with one column (0 = open .. 8 = code) replaced.
std::string with(int column, const std::string& value) {
  std::vector<std::string> f = {"100", "105", "98", "102", "2", "12000", "20240105", "801",
                                "130A0"};
  f[static_cast<std::size_t>(column)] = value;
  std::string line = Name;
  for (const std::string& v : f) line += "," + v;
  return line + "\n";
}

TEST(WideDailyParser, TableOfLines) {
  struct Case {
    std::string line;
    const char* refusal;  // UTF-8 text the message holds; nullptr: the line is taken
    long long open, change;
    double volume;
    int date;
    const char* code;
  };
  const Case cases[] = {
      {Good, nullptr, 100, 2, 12000, 20240105, "130A"},
      {"  " + Name + " , 100 ,105,98,102,2,12000,20240105,801,72030\r\n", nullptr, 100, 2, 12000,
       20240105, "7203"},
      {with(0, "99999999.99"), nullptr, 99999999, 2, 12000, 20240105, "130A"},
      {with(0, "-0.9"), nullptr, 0, 2, 12000, 20240105, "130A"},
      {with(4, "-99999999.5"), nullptr, 100, -99999999, 12000, 20240105, "130A"},
      {with(5, "16777217"), nullptr, 100, 2, 16777217.0, 20240105, "130A"},
      {with(5, "999999999999999.5"), nullptr, 100, 2, 999999999999999.5, 20240105, "130A"},
      {with(5, "1000000000000000.000"), nullptr, 100, 2, 1e15, 20240105, "130A"},
      {with(5, "-0"), nullptr, 100, 2, 0, 20240105, "130A"},
      {with(6, "20000229"), nullptr, 100, 2, 12000, 20000229, "130A"},
      {with(6, "19000101"), nullptr, 100, 2, 12000, 19000101, "130A"},
      {with(6, "20991231"), nullptr, 100, 2, 12000, 20991231, "130A"},
      {with(8, "1Y9Y"), nullptr, 100, 2, 12000, 20240105, "1Y9Y"},
      {"\"TOYOTA        \",100,105,98,102,2,12000,20240105,801,72030\n", nullptr, 100, 2, 12000,
       20240105, "7203"},
      {with(0, "100000000"), "始値100000000が範囲(0..99999999)外", 0, 0, 0, 0, ""},
      {with(3, "-1"), "終値-1が範囲", 0, 0, 0, 0, ""},
      {with(4, "100000000"), "前日比100000000が範囲", 0, 0, 0, 0, ""},
      {with(5, "1000000000000000.5"), "出来高1000000000000000.5が範囲", 0, 0, 0, 0, ""},
      {with(5, "-1"), "出来高-1が範囲", 0, 0, 0, 0, ""},
      {with(1, "1e3"), "高値「1e3」が数値でない", 0, 0, 0, 0, ""},
      {with(2, ""), "安値「」が数値でない", 0, 0, 0, 0, ""},
      {with(5, "1."), "出来高「1.」が数値でない", 0, 0, 0, 0, ""},
      {with(7, "abc"), "市場「abc」が数値でない", 0, 0, 0, 0, ""},
      {with(6, "20230229"), "日付「20230229」", 0, 0, 0, 0, ""},
      {with(6, "19000229"), "日付「19000229」", 0, 0, 0, 0, ""},
      {with(6, "18991231"), "日付", 0, 0, 0, 0, ""},
      {with(6, "21000101"), "日付", 0, 0, 0, 0, ""},
      {with(6, "240105"), "日付「240105」", 0, 0, 0, 0, ""},
      {with(6, "2024.0105"), "日付", 0, 0, 0, 0, ""},
      {with(8, "130A1"), "ｺｰﾄﾞ「130A1」は使えない", 0, 0, 0, 0, ""},
      {with(8, "130B0"), "ｺｰﾄﾞ「130B0」", 0, 0, 0, 0, ""},
      {with(8, "0999"), "ｺｰﾄﾞ", 0, 0, 0, 0, ""},
      {with(8, "130A0,1"), "項目が10個でない", 0, 0, 0, 0, ""},
      {Name + ",100,105,98,102,2,12000,20240105,801\n", "項目が10個でない", 0, 0, 0, 0, ""},
      {"\"AAAAAAAAAAAAA\",100,105,98,102,2,12000,20240105,801,130A0\n", "銘柄名", 0, 0, 0, 0,
       ""},
      {"\"AAAAAA AAAAAAA\",100,105,98,102,2,12000,20240105,801,130A0\n", "銘柄名", 0, 0, 0, 0,
       ""},
      {std::string("\"AAAAAA\0AAAAAAA\",1,1,1,1,0,1,20240105,801,130A0\n", 55), "銘柄名", 0, 0,
       0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string text = Head + "\n" + c.line;  // the price line is line 3
    WideDailyReader reader(text, "W240105");
    WideDailyLine line;
    if (c.refusal == nullptr) {
      ASSERT_EQ(reader.next(line), WideDailyRead::Line) << pelinor::text::toUtf8(reader.message());
      EXPECT_EQ(line.open, c.open);
      EXPECT_EQ(line.change, c.change);
      EXPECT_EQ(line.volume, c.volume);
      EXPECT_EQ(line.date, c.date);
      EXPECT_EQ(marketdb::codeText(line.code), c.code);
      EXPECT_EQ(std::string(line.name), c.line.find("TOYOTA") != std::string::npos
                                             ? "TOYOTA"
                                             : Name.substr(1, 14));
      EXPECT_EQ(reader.next(line), WideDailyRead::End);
    } else {
      ASSERT_EQ(reader.next(line), WideDailyRead::Refused);
      EXPECT_EQ(reader.lineNumber(), 3);
      const std::string& message = reader.message();
      EXPECT_EQ(message.rfind(cp932("W240105 の3行目の"), 0), 0u) << message;
      EXPECT_NE(message.find(cp932(c.refusal)), std::string::npos) << message;
      EXPECT_EQ(reader.next(line), WideDailyRead::Refused);
    }
  }
}

// The first line names the form and its version; the form is told by its first word.
TEST(WideDailyParser, FirstLineTable) {
  struct Case {
    std::string text;
    bool wide;
    const char* refusal;  // nullptr: read to its end
  };
  const Case cases[] = {
      {Head + Good, true, nullptr},
      {"#PELWIDE DAILY 1\r\n" + Good + "\n \t\r\n", true, nullptr},
      {"#PELWIDE DAILY 1", true, nullptr},
      {"#PELWIDE DAILY 2\n" + Good, true, "は版2の形式で、このプログラムは版1まで"},
      {"#PELWIDE DAILY 0\n" + Good, true, "1行目が認識できない形式"},
      {"#PELWIDE SYS 1\n", true, "1行目が認識できない形式"},
      {"#PELWIDE DAILY 1 x\n", true, "1行目が認識できない形式"},
      {"#PELWIDE\n", true, "1行目が認識できない形式"},
      {"", false, "1行目が認識できない形式"},
      {Good, false, "1行目が認識できない形式"},
      {"#PELWIDEAAAAAAA#,1,1,1,1,0,1,240105,801,13010\n", false, "1行目が認識できない形式"},
      {Head + std::string(1025, 'x') + "\n", true, "2行目が1024ﾊﾞｲﾄを超える"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    EXPECT_EQ(dbprogram::isWideDailyText(c.text), c.wide);
    WideDailyReader reader(c.text, "W240105");
    WideDailyLine line;
    WideDailyRead r;
    int lines = 0;
    while ((r = reader.next(line)) == WideDailyRead::Line) ++lines;
    if (c.refusal == nullptr) {
      EXPECT_EQ(r, WideDailyRead::End) << pelinor::text::toUtf8(reader.message());
      EXPECT_EQ(lines, c.text.size() > Head.size() ? 1 : 0);
    } else {
      EXPECT_EQ(r, WideDailyRead::Refused);
      EXPECT_NE(reader.message().find(cp932(c.refusal)), std::string::npos)
          << pelinor::text::toUtf8(reader.message());
    }
  }
}

// Files of many lines, some long, some damaged, read whole and as a stream in small pieces:
// the same lines with the same values, and the same refusal at the same line.
TEST(WideDailyParser, StreamReadsAsTheWholeText) {
  std::mt19937 random(2301);
  for (int round = 0; round < 60; ++round) {
    std::string text = Head;
    const int lines = 200 + static_cast<int>(random() % 1000);
    for (int i = 0; i < lines; ++i) {
      const unsigned kind = random() % 1000;
      if (kind < 20) text += std::string(900 + random() % 125, ' ') + "\n";  // up to the limit
      else if (kind == 20) text += std::string(1025, ' ') + "\n";
      else if (kind == 21) text += with(static_cast<int>(random() % 9), "x");
      else text += with(0, std::to_string(random() % 100000000));
    }
    std::FILE* f = ::fmemopen(text.data(), text.size(), "r");
    ASSERT_NE(f, nullptr);
    WideDailyReader whole(text, "W");
    dbprogram::WideDailyStreamReader stream(f, "W");
    WideDailyLine a, b;
    for (;;) {
      const WideDailyRead r = whole.next(a);
      ASSERT_EQ(stream.next(b), r);
      ASSERT_EQ(stream.lineNumber(), whole.lineNumber());
      ASSERT_EQ(stream.message(), whole.message());
      if (r != WideDailyRead::Line) break;
      ASSERT_EQ(b.open, a.open);
      ASSERT_EQ(b.code, a.code);
    }
    std::fclose(f);
  }
}

}  // namespace
