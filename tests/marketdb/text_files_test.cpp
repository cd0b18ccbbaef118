// pelinoru.sys, pelinoru.win and pelinoru.idx: exact bytes written, values read back, and what
// short or damaged lines do.
#include <gtest/gtest.h>

#include <cstring>

#include "marketdb/files.h"
#include "tests/support/test_support.h"

using namespace marketdb;
using testsupport::readFile;
using testsupport::TempWorkDir;
using testsupport::writeFile;

namespace {

const std::string kSystemText =
    "   0 261203    0  17\n"
    "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n"
    "200  25  75  13  26   5  25  75 128  13  22  32  12  18   5 260\n";

std::string repeat(const std::string& one, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += (i ? " " : "") + one;
  return s + "\n";
}

// A settings file whose unused positions all hold 7.
std::string settingsText() {
  std::string s = "7      0 7 7\n";
  s += "11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n";
  s += repeat("7", 16);
  s += "1 10 20 30 10 40 30 20 15 10 10 30 15 20 1 7 7 7 7 7\n";
  s += repeat("7", 20);
  s += repeat("7", 20);
  s += "1301 7203 9984 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  for (int l = 0; l < 3; ++l) s += repeat("0", 20);
  s += "0 0 0 0 0 0 0 0 0 0 0 0 6758 8306 0 0 0 0 0 0\n";
  s += repeat("0", 20);
  return s;
}

}  // namespace

TEST(SystemFileTest, HandWrittenFileRoundTripsByteForByte) {
  TempWorkDir dir;
  writeFile(SystemFileName, kSystemText);
  SystemFile sys;
  ASSERT_EQ(readSystemFile(sys), FileStatus::Ok);
  EXPECT_EQ(sys.reserved, 0);
  EXPECT_EQ(sys.lastStoreDate, 20261203);
  EXPECT_EQ(sys.referenceRecord, 0);
  EXPECT_EQ(sys.storePosition, 17);
  EXPECT_EQ(sys.colours[0], 11);
  EXPECT_EQ(sys.colours[18], 9);
  EXPECT_EQ(sys.periods[0], 200);
  EXPECT_EQ(sys.periods[15], 260);

  std::remove(SystemFileName);
  ASSERT_EQ(writeSystemFile(sys), FileStatus::Ok);
  EXPECT_EQ(readFile(SystemFileName), kSystemText);
}

TEST(SystemFileTest, DateFieldKeepsAllDigitsAndLooseSpacingIsRead) {
  TempWorkDir dir;
  SystemFile sys;
  sys.lastStoreDate = 20000105;  // 000105
  sys.referenceRecord = 12;
  sys.storePosition = 639;
  EXPECT_EQ(formatSystemFile(sys).substr(0, 21), "   0    105   12 639\n");
  sys.lastStoreDate = 19991231;
  EXPECT_EQ(formatSystemFile(sys).substr(0, 21), "   0 991231   12 639\n");

  // Values separated by any white space, over any lines, are read in order.
  writeFile(SystemFileName, "3\n105 4 5\n" + repeat("1", 19) + repeat("2", 16));
  SystemFile read;
  ASSERT_EQ(readSystemFile(read), FileStatus::Ok);
  EXPECT_EQ(read.reserved, 3);
  EXPECT_EQ(read.lastStoreDate, 20000105);
  EXPECT_EQ(read.referenceRecord, 4);
  EXPECT_EQ(read.storePosition, 5);
  EXPECT_EQ(read.colours[18], 1);
  EXPECT_EQ(read.periods[15], 2);
}

TEST(SystemFileTest, ShortOrDamagedFileKeepsTheValuesItDoesNotHold) {
  TempWorkDir dir;
  SystemFile sys;
  sys.referenceRecord = 44;
  sys.storePosition = 55;
  for (int& c : sys.colours) c = 3;
  for (int& p : sys.periods) p = 9;

  writeFile(SystemFileName, "1 991231\n");  // cut short after two values
  ASSERT_EQ(readSystemFile(sys), FileStatus::Ok);
  EXPECT_EQ(sys.reserved, 1);
  EXPECT_EQ(sys.lastStoreDate, 19991231);
  EXPECT_EQ(sys.referenceRecord, 44);
  EXPECT_EQ(sys.storePosition, 55);
  EXPECT_EQ(sys.colours[0], 3);
  EXPECT_EQ(sys.periods[0], 9);

  // A value that does not convert stops everything behind it.
  writeFile(SystemFileName, "2 105 x 8\n" + repeat("1", 19) + repeat("2", 16));
  ASSERT_EQ(readSystemFile(sys), FileStatus::Ok);
  EXPECT_EQ(sys.reserved, 2);
  EXPECT_EQ(sys.lastStoreDate, 20000105);
  EXPECT_EQ(sys.referenceRecord, 44);
  EXPECT_EQ(sys.storePosition, 55);
  EXPECT_EQ(sys.colours[18], 3);
  EXPECT_EQ(sys.periods[15], 9);
}

TEST(SystemFileTest, MissingFileIsReported) {
  TempWorkDir dir;
  SystemFile sys;
  sys.storePosition = 5;
  EXPECT_EQ(readSystemFile(sys), FileStatus::Missing);
  EXPECT_EQ(sys.storePosition, 5);
  SettingsFile win;
  EXPECT_EQ(readSettingsFile(win), FileStatus::Missing);
  StockTable table;
  EXPECT_EQ(readStockTable(table), FileStatus::Missing);
}

TEST(SettingsFileTest, HandWrittenFileRoundTripsByteForByte) {
  TempWorkDir dir;
  const std::string text = settingsText();
  writeFile(SettingsFileName, text);
  SettingsFile win;
  ASSERT_EQ(readSettingsFile(win), FileStatus::Ok);
  EXPECT_EQ(win.carried, 0.0f);
  EXPECT_EQ(win.colours[0], 11);
  EXPECT_EQ(win.colours[18], 9);
  EXPECT_EQ(win.databaseKind, 1);
  EXPECT_EQ(win.background[0], 10);
  EXPECT_EQ(win.background[2], 30);
  EXPECT_EQ(win.weights[0], 10);
  EXPECT_EQ(win.weights[9], 20);
  EXPECT_EQ(win.peakSign, 1);
  EXPECT_EQ(codeNumber(win.codes[0]), 1301);
  EXPECT_EQ(codeNumber(win.codes[2]), 9984);
  EXPECT_EQ(codeNumber(win.codes[92]), 6758);
  EXPECT_EQ(codeNumber(win.codes[93]), 8306);
  EXPECT_EQ(win.scratch, 7);

  std::remove(SettingsFileName);
  ASSERT_EQ(writeSettingsFile(win), FileStatus::Ok);
  EXPECT_EQ(readFile(SettingsFileName), text);
}

TEST(SettingsFileTest, ScratchIsTheLastUnusedValueRead) {
  TempWorkDir dir;
  // Unused values differ: line 1 gives 3, 4, 5; line 3 ends in 16; line 4 ends in 25; line 5
  // ends in 35; line 6 ends in 46.
  std::string s = "3 12.5 4 5\n" + repeat("1", 19);
  for (int i = 1; i <= 16; ++i) s += std::to_string(i) + (i < 16 ? " " : "\n");
  s += "0 0 0 0 1 1 1 1 1 1 1 1 1 1 0 21 22 23 24 25\n";
  s += repeat("35", 20);
  s += repeat("1", 19).substr(0, 37) + " 46\n";
  for (int l = 0; l < 6; ++l) s += repeat("0", 20);
  writeFile(SettingsFileName, s);

  SettingsFile full;
  ASSERT_EQ(readSettingsFile(full), FileStatus::Ok);
  EXPECT_EQ(full.scratch, 46);
  EXPECT_EQ(full.carried, 12.5f);
  EXPECT_EQ(full.peakSign, 0);

  SettingsFile firstFour;
  firstFour.codes[0] = codeFromNumber(1234);
  ASSERT_EQ(readSettingsFile(firstFour, 4), FileStatus::Ok);
  EXPECT_EQ(firstFour.scratch, 25);
  EXPECT_EQ(codeNumber(firstFour.codes[0]), 1234);  // lines 7..12 not read

  // Every unused position is written with the scratch value; carried float with "%6g".
  const std::string out = formatSettingsFile(full);
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), "46   12.5 46 46\n");
  const std::size_t line4 = out.find("0 0 0 0 1 1");
  ASSERT_NE(line4, std::string::npos);
  EXPECT_EQ(out.substr(line4, out.find('\n', line4) - line4),
            "0 0 0 0 1 1 1 1 1 1 1 1 1 1 0 46 46 46 46 46");

  // Nothing unused converted: the scratch value is 0.
  writeFile(SettingsFileName, "x\n");
  SettingsFile empty;
  empty.scratch = 9;
  ASSERT_EQ(readSettingsFile(empty), FileStatus::Ok);
  EXPECT_EQ(empty.scratch, 0);
}

TEST(SettingsFileTest, WriteThenReadGivesTheSameValues) {
  TempWorkDir dir;
  SettingsFile win;
  win.carried = 261204;
  for (int i = 0; i < 19; ++i) win.colours[i] = i % 16;
  win.databaseKind = 1;
  win.background[0] = 255;
  win.background[1] = 128;
  win.background[2] = 1;
  for (int i = 0; i < 10; ++i) win.weights[i] = 5 * i + 1;
  win.peakSign = 1;
  for (int i = 0; i < 120; ++i) win.codes[i] = i % 3 ? NoStockCode : codeFromNumber(1000 + 75 * i);
  win.scratch = -1;
  ASSERT_EQ(writeSettingsFile(win), FileStatus::Ok);

  SettingsFile back;
  ASSERT_EQ(readSettingsFile(back), FileStatus::Ok);
  EXPECT_EQ(back.carried, win.carried);
  for (int i = 0; i < 19; ++i) EXPECT_EQ(back.colours[i], win.colours[i]) << i;
  EXPECT_EQ(back.databaseKind, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(back.background[i], win.background[i]);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(back.weights[i], win.weights[i]);
  EXPECT_EQ(back.peakSign, 1);
  for (int i = 0; i < 120; ++i) EXPECT_EQ(back.codes[i], win.codes[i]) << i;
  EXPECT_EQ(back.scratch, -1);

  // Twelve lines, each ending in a newline; code lines hold twenty values.
  const std::string text = readFile(SettingsFileName);
  int lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 12);
  EXPECT_EQ(text.back(), '\n');
}

TEST(IndexFileTest, LineFormatKeepsCodesAndAlignsNames) {
  EXPECT_EQ(formatIndexLine(0, 1, codeFromNumber(1301), "ABC", 1, 5), "0 1 1301            ABC    1   5\n");
  const std::string full14 = "\x93\x8c\x8f\xd8\x93\x58\x93\xaa\x8a\x4f\x8d\x91\x82\x50";
  ASSERT_EQ(full14.size(), 14u);
  EXPECT_EQ(formatIndexLine(1, 6, codeFromNumber(9999), full14.c_str(), 3018, -12),
            "1 6 9999 " + full14 + " 3018 -12\n");
  // Something that could not be read back as one word never reaches the file.
  EXPECT_EQ(formatIndexLine(0, 1, codeFromNumber(1000), "", 0, 0), "0 1 1000              _    0   0\n");
  EXPECT_EQ(formatIndexLine(0, 1, codeFromNumber(1000), "A B", 0, 0), "0 1 1000            A_B    0   0\n");
}

TEST(IndexFileTest, HandWrittenFileRoundTripsAndNamesReadWithoutBlanks) {
  TempWorkDir dir;
  const std::string full14 = "\x93\x8c\x8f\xd8\x93\x58\x93\xaa\x8a\x4f\x8d\x91\x82\x50";
  const std::string text = "0 1 1001          INDEX    0   0\n"
                           "0 3 1301            ABC    2  -4\n"
                           "1 1 7203 " + full14 + "    1  12\n";
  writeFile(IndexFileName, text);
  StockTable table;
  ASSERT_EQ(readStockTable(table), FileStatus::Ok);
  ASSERT_EQ(table.count, 3);
  EXPECT_STREQ(table.kmeiidx[0], "INDEX");
  EXPECT_STREQ(table.kmeiidx[1], "ABC");
  EXPECT_EQ(std::string(table.kmeiidx[2]), full14);
  EXPECT_EQ(table.ksakujo[2], 1);
  EXPECT_EQ(table.ksijo[1], 3);
  EXPECT_EQ(table.kcodeidx[2], codeFromNumber(7203));
  EXPECT_EQ(table.krecordi[1], 2);
  EXPECT_EQ(table.kchumoku[1], -4);
  EXPECT_EQ(table.kcodeidx[3], StockCodeEnd);
  EXPECT_EQ(table.lookup[2].code, codeFromNumber(7203));
  EXPECT_EQ(table.lookup[2].index, 2);

  std::remove(IndexFileName);
  ASSERT_EQ(writeStockTable(table), FileStatus::Ok);
  EXPECT_EQ(readFile(IndexFileName), text);
}

TEST(IndexFileTest, ReadStopsAtDamagedLineAndAtEndOfFileWithoutValues) {
  TempWorkDir dir;
  writeFile(IndexFileName,
            "0 1 1301 AAA 0 0\n0 1 1332 BBB 1 0\n0 1 x CCC 2 0\n0 1 1400 DDD 3 0\n");
  StockTable table;
  ASSERT_EQ(readStockTable(table), FileStatus::Ok);
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(table.kcodeidx[2], StockCodeEnd);
  EXPECT_EQ(table.findStock(codeFromNumber(1400)), -1);

  // A last line cut short is not a stock.
  writeFile(IndexFileName, "0 1 1301 AAA 0 0\n0 1 1332 BBB 1");
  StockTable cut;
  ASSERT_EQ(readStockTable(cut), FileStatus::Ok);
  EXPECT_EQ(cut.count, 1);

  writeFile(IndexFileName, "");
  StockTable empty;
  ASSERT_EQ(readStockTable(empty), FileStatus::Ok);
  EXPECT_EQ(empty.count, 0);
  EXPECT_EQ(empty.kcodeidx[0], StockCodeEnd);
  EXPECT_EQ(empty.findStock(codeFromNumber(1301)), -1);
}

TEST(IndexFileTest, ReadHoldsAtMostMaxStocksMinusOne) {
  TempWorkDir dir;
  std::string text;
  for (int i = 0; i < MaxStocks + 5; ++i)
    text += formatIndexLine(0, 1, codeFromNumber(1000 + i), "N", i, 0);
  writeFile(IndexFileName, text);
  auto table = std::make_unique<StockTable>();
  ASSERT_EQ(readStockTable(*table), FileStatus::Ok);
  EXPECT_EQ(table->count, MaxStocks - 1);
  EXPECT_EQ(table->kcodeidx[MaxStocks - 1], StockCodeEnd);
  EXPECT_EQ(table->findStock(codeFromNumber(1000 + MaxStocks - 2)), MaxStocks - 2);
}

TEST(IndexFileTest, FindStockBinarySearchesTheCodes) {
  TempWorkDir dir;
  std::string text;
  const int codes[] = {1001, 1301, 1332, 2001, 4063, 6758, 7203, 8306, 9984, 9999};
  for (int i = 0; i < 10; ++i) text += formatIndexLine(0, 1, codeFromNumber(codes[i]), "N", i, 0);
  writeFile(IndexFileName, text);
  auto table = std::make_unique<StockTable>();
  ASSERT_EQ(readStockTable(*table), FileStatus::Ok);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(table->findStock(codeFromNumber(codes[i])), i) << codes[i];
  EXPECT_EQ(table->findStock(codeFromNumber(1000)), -1);
  EXPECT_EQ(table->findStock(codeFromNumber(5000)), -1);
  EXPECT_EQ(table->findStock(codeFromNumber(10000)), -1);
  EXPECT_EQ(table->findStock(codeFromNumber(1301.5f)), -1);
  EXPECT_EQ(table->findStock(StockCodeEnd), -1);
}

TEST(IndexFileTest, WriteSortsByCodeStablyAndStopsAtTheEndMarker) {
  TempWorkDir dir;
  auto table = std::make_unique<StockTable>();
  const float codes[] = {7203, 1301, 9984, 1301};
  const char* names[] = {"C", "A1", "D", "A2"};
  for (int i = 0; i < 4; ++i) {
    table->kcodeidx[i] = codeFromNumber(codes[i]);
    std::strcpy(table->kmeiidx[i], names[i]);
    table->krecordi[i] = i;
    table->ksijo[i] = 1;
  }
  table->count = 2;  // two stocks read, two added by a store behind them
  table->kcodeidx[4] = StockCodeEnd;
  table->kcodeidx[5] = codeFromNumber(1000);  // behind the marker: not a stock
  ASSERT_EQ(writeStockTable(*table), FileStatus::Ok);
  EXPECT_EQ(readFile(IndexFileName),
            "0 1 1301             A1    1   0\n"
            "0 1 1301             A2    3   0\n"
            "0 1 7203              C    0   0\n"
            "0 1 9984              D    2   0\n");
}
