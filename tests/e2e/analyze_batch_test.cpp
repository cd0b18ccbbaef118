// pelinorx analyze as a user runs it after init and two stores: the built program in a
// temporary working folder, its exit status, what it prints and the ranking files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/text/cp932.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

using e2e::pelinorx;
using e2e::Result;

// One daily-file line: a 14-byte name in quotes, open, high, low, close, change, volume, date,
// market code and code x 10.
std::string line(const std::string& name, int price, int change, const std::string& date,
                 int market, int code) {
  const std::string p = std::to_string(price);
  return "\"" + name + "\"," + p + "," + p + "," + p + "," + p + "," + std::to_string(change) +
         ",640," + date + "," + std::to_string(market) + "," + std::to_string(code * 10) + "\n";
}

std::string header() {
  return pelinor::text::toCp932(
      "順位 逆位 ｺｰﾄﾞ 銘柄名  終値  上率  出変  RCI3  ｶｲﾘ2  sｻｲﾝ  戻率  ﾚﾝｼﾞ  指定\n\n");
}

TEST(AnalyzeBatch, AnalysesTheStoredDaysWithTheDefaultSettings) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  writeFile("W991229", line("AAAAAAAAAAAAAA", 100, 0, "991229", 801, 7203) +
                           line("BBBBBBBBBBBBBB", 50, 0, "991229", 811, 6758));
  writeFile("W000104", line("AAAAAAAAAAAAAA", 110, 10, "000104", 801, 7203));
  ASSERT_EQ(pelinorx("store W991229 W000104").status, 0);

  const Result run = pelinorx("analyze 991229");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "処理中(^^;\n"
            "東証１部（店頭）    1/   1\n"
            "東証２部（大証外国）    0/   0\n"
            "分析終了しました。\n");

  // 7203 over two days, 100 then 110 (+10), volume 640 each, default periods and weights:
  // 上率 10 / 100; 出変 640 / (1280 / 640); RCI of two rising days 100 (terms 200 + 150 + 100);
  // ｶｲﾘ2 5 / 105 (terms 19.05 and 14.29); psychological 100; RSI 100; WVR 0; 篠原 A none,
  // 篠原 B -100 -> 0: sｻｲﾝ 683. 戻率 (110 - 100) / 10; ﾚﾝｼﾞ 1.1; 指定 from 991229: 10 / 100.
  const std::string title = pelinor::text::toCp932("［ペリノ改Ｃ］ 指定は991229と000104本日比較\n\n");
  EXPECT_EQ(readFile("ranking.dat"),
            title + header() +
                "   1    1 7203 AAAAAA   110  10.0 320.0 100.0   4.7  683.0 100.0   1.1  10.0\n");
  // 6758 did not trade on the latest day.
  EXPECT_EQ(readFile("ranking2.dat"), title + header());
}

TEST(AnalyzeBatch, RefusesAMalformedDateAndReportsMissingFiles) {
  testsupport::TempWorkDir dir;
  EXPECT_EQ(pelinorx("analyze").status, 2);
  EXPECT_EQ(pelinorx("analyze 99122x").status, 2);
  EXPECT_EQ(pelinorx("analyze 1234567").status, 2);
  EXPECT_EQ(pelinorx("analyze 991229 1").status, 2);
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));

  Result run = pelinorx("analyze 991229");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "処理中(^^;\n[ﾌｧｲﾙ存在状況] pelinoru.sys が存在しません\n");

  ASSERT_EQ(pelinorx("init N").status, 0);
  std::filesystem::remove("pelinoru.idx");
  run = pelinorx("analyze 0");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "処理中(^^;\n[ﾌｧｲﾙ存在状況] pelinoru.idx が存在しません\n分析終了しました。\n");
  EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
}

TEST(AnalyzeBatch, ADateThatNamesNoDayIsRefusedInTheBatchAndTheWindow) {
  testsupport::TempWorkDir dir;
  ASSERT_EQ(pelinorx("init W").status, 0);
  for (const char* date : {"261332", "010229"}) {  // no 13th month, no 29 February 2001
    const std::string line = std::string("比較年月日") + date +
                             "は日付ではないので分析しません(yymmddで入力、例 261207。0は比較なし)";
    const Result run = pelinorx(std::string("analyze ") + date);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, line + "\n");
    // The window: the same line in red after the bell, no end message, no ranking file.
    e2e::writeScript("s.txt", {"menu 2", std::string("keys ") + date, "key RETURN", "dump d.txt"});
    EXPECT_EQ(pelinorx("--script s.txt").out, "\a");
    const auto red = e2e::textsIn(e2e::parseDump(readFile("d.txt")), "FF0000");
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(red[0].text, line);
    EXPECT_FALSE(std::filesystem::exists("ranking.dat"));
  }
}

}  // namespace
