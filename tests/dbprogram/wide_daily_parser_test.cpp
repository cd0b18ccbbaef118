// The extended daily file: which lines it accepts with which exact values, which it refuses
// with which message, and the stream reading that must agree with the reading of the text.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <tuple>

#include "dbprogram/wide_daily_parser.h"
#include "platform/text/cp932.h"

using namespace dbprogram;

namespace {

const std::string Head = "#PELWIDE DAILY 1\n";
// テスト名称 and two full-width blanks: 14 bytes between the marks
const std::string Name = "\"\x83\x65\x83\x58\x83\x67\x96\xbc\x8f\xcc\x81\x40\x81\x40\"";
const std::string Good = Name + ",100,105,98,102,2,12000,20240105,801,130A0\n";

// A line of Good with one column (0 = open .. 8 = code) replaced.
std::string with(int column, const std::string& value) {
  std::string f[] = {"100", "105", "98", "102", "2", "12000", "20240105", "801", "130A0"};
  f[column] = value;
  std::string line = Name;
  for (const std::string& v : f) line.append(",").append(v);
  return line + "\n";
}

// What a reader makes of one line: "open change volume date code name", or "!" and the message
// after "W240105 の3行目の" ("?" and the whole message when it names another place).
std::string outcome(const std::string& priceLine) {
  const std::string text = Head + "\n" + priceLine;  // the price line is line 3
  WideDailyReader reader(text, "W240105");
  WideDailyLine l;
  if (reader.next(l) != WideDailyRead::Line) {
    const std::string at = pelinor::text::toCp932("W240105 の3行目の");
    const std::string& m = reader.message();
    const bool named = reader.lineNumber() == 3 && m.rfind(at, 0) == 0;
    const std::string why = pelinor::text::toUtf8(named ? m.substr(at.size()) : m);
    return std::string(named ? "!" : "?").append(why);
  }
  char volume[40];
  std::snprintf(volume, sizeof volume, "%.17g", l.volume);
  return std::to_string(l.open) + " " + std::to_string(l.change) + " " + volume + " " +
         std::to_string(l.date) + " " + marketdb::codeText(l.code) + " " +
         pelinor::text::toUtf8(l.name);
}

TEST(WideDailyParser, TableOfLines) {
  const std::pair<std::string, std::string> cases[] = {
      {Good, "100 2 12000 20240105 130A テスト名称　　"},
      {"  " + Name + " , 100 ,105,98,102,2,12000,20240105,801,72030\r\n",
       "100 2 12000 20240105 7203 テスト名称　　"},
      {"\"TOYOTA        \",100,105,98,102,2,12000,20240105,801,72030",
       "100 2 12000 20240105 7203 TOYOTA"},
      {with(0, "99999999.99"), "99999999 2 12000 20240105 130A テスト名称　　"},
      {with(0, "-0.9"), "0 2 12000 20240105 130A テスト名称　　"},
      {with(4, "-99999999.5"), "100 -99999999 12000 20240105 130A テスト名称　　"},
      {with(5, "16777217"), "100 2 16777217 20240105 130A テスト名称　　"},
      {with(5, "999999999999999.5"), "100 2 999999999999999.5 20240105 130A テスト名称　　"},
      {with(5, "1000000000000000.000"), "100 2 1000000000000000 20240105 130A テスト名称　　"},
      {with(6, "20000229"), "100 2 12000 20000229 130A テスト名称　　"},
      {with(8, "1Y9Y"), "100 2 12000 20240105 1Y9Y テスト名称　　"},
      {with(0, "100000000"), "!始値100000000が範囲(0..99999999)外なので格納処理しません"},
      {with(3, "-1"), "!終値-1が範囲(0..99999999)外なので格納処理しません"},
      {with(4, "100000000"), "!前日比100000000が範囲(-99999999..99999999)外なので格納処理しません"},
      {with(5, "1000000000000000.5"),
       "!出来高1000000000000000.5が範囲(0..1000000000000000)外なので格納処理しません"},
      {with(5, "-1"), "!出来高-1が範囲(0..1000000000000000)外なので格納処理しません"},
      {with(1, "1e3"), "!高値「1e3」が数値でないので格納処理しません"},
      {with(2, ""), "!安値「」が数値でないので格納処理しません"},
      {with(6, "20230229"), "!日付「20230229」が8桁の暦日(19000101..20991231)でないので格納処理しません"},
      {with(6, "19000229"), "!日付「19000229」が8桁の暦日(19000101..20991231)でないので格納処理しません"},
      {with(6, "21000101"), "!日付「21000101」が8桁の暦日(19000101..20991231)でないので格納処理しません"},
      {with(6, "240105"), "!日付「240105」が8桁の暦日(19000101..20991231)でないので格納処理しません"},
      {with(8, "130A1"), "!ｺｰﾄﾞ「130A1」は使えないｺｰﾄﾞなので格納処理しません"},
      {with(8, "130B0"), "!ｺｰﾄﾞ「130B0」は使えないｺｰﾄﾞなので格納処理しません"},
      {with(8, "130A0,1"), "!項目が10個でないので格納処理しません"},
      {Name + ",1,1,1,1,0,1,20240105,801", "!項目が10個でないので格納処理しません"},
      {"\"AAAAAA AAAAAAA\",1,1,1,1,0,1,20240105,801,130A0",
       "!銘柄名が記号で囲まれた14ﾊﾞｲﾄまでの文字列でないので格納処理しません"},
      {std::string("\"AAAAAA\0AAAAAAA\",1,1,1,1,0,1,20240105,801,130A0", 47),
       "!銘柄名が記号で囲まれた14ﾊﾞｲﾄまでの文字列でないので格納処理しません"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(outcome(line), expected) << line;
}

// The first line names the form and its version; the form is told by its first word.
TEST(WideDailyParser, FirstLineTable) {
  const std::tuple<std::string, bool, const char*> cases[] = {
      // the text, whether it is of the extended form, the refusal (nullptr: read to its end)
      {Head + Good, true, nullptr},
      {"#PELWIDE\tDAILY 1\r\n" + Good + "\n \t\r\n", true, nullptr},
      {"#PELWIDE DAILY 1", true, nullptr},
      {"#PELWIDE DAILY 2\n" + Good, true, "1行目は版2の形式で、このプログラムは版1まで"},
      {"#PELWIDE DAILY 0\n" + Good, true, "1行目が認識できない形式"},
      {"#PELWIDE SYS 1\n", true, "1行目が認識できない形式"},
      {"", false, "1行目が認識できない形式"},
      {Good, false, "1行目が認識できない形式"},
      {"#PELWIDEAAAAAAA#,1,1,1,1,0,1,240105,801,13010\n", false, "1行目が認識できない形式"},
      {Head + std::string(1025, 'x') + "\n", true, "2行目が1024ﾊﾞｲﾄを超える"},
  };
  for (const auto& [text, wide, refusal] : cases) {
    EXPECT_EQ(isWideDailyText(text), wide) << text;
    WideDailyReader reader(text, "W240105");
    WideDailyLine line;
    WideDailyRead r;
    while ((r = reader.next(line)) == WideDailyRead::Line) {
    }
    const std::string message = pelinor::text::toUtf8(reader.message());
    EXPECT_EQ(r, refusal ? WideDailyRead::Refused : WideDailyRead::End) << text << message;
    EXPECT_TRUE(!refusal || message.find(refusal) != std::string::npos) << message;
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
    WideDailyStreamReader stream(f, "W");
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
