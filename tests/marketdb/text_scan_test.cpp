// The in-memory scanner of pelinoru.idx and pelinoru.sys against fscanf with the same formats
// on the same bytes: the same count, values and position after every scan.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "marketdb/files.h"
#include "marketdb/text_scan.h"
#include "tests/support/test_support.h"

namespace {

using marketdb::TextScanner;

std::string bits(float f) {
  unsigned u;
  std::memcpy(&u, &f, 4);
  return std::to_string(u);
}

struct IndexValues {
  int a = -11, b = -12;
  float c = -13.5f;
  char w[15];
  int d = -14, e = -15;
  IndexValues() { std::memset(w, 'q', sizeof w); }
  std::string text() const {
    return std::to_string(a) + "|" + std::to_string(b) + "|" + bits(c) + "|" +
           std::string(w, sizeof w) + "|" + std::to_string(d) + "|" + std::to_string(e);
  }
};

// Scans `text` as pelinoru.idx is read, both ways, until a scan converts fewer than six.
void compareIndex(const std::string& text) {
  SCOPED_TRACE("text: \"" + text + "\"");
  testsupport::writeFile("scan.txt", text);
  std::FILE* fp = std::fopen("scan.txt", "r");
  ASSERT_NE(fp, nullptr);
  TextScanner scanner(text);
  for (int line = 0; line < 50; ++line) {
    IndexValues x, y;
    const int r = std::fscanf(fp, "%d %d %f %14s %d %d", &x.a, &x.b, &x.c, x.w, &x.d, &x.e);
    const int s = scanner.indexLine(y.a, y.b, y.c, y.w, y.d, y.e);
    ASSERT_EQ(s, r) << "line " << line;
    EXPECT_EQ(y.text(), x.text()) << "line " << line;
    EXPECT_EQ(static_cast<long>(scanner.position()), std::ftell(fp)) << "line " << line;
    if (r != 6) break;
  }
  std::fclose(fp);
}

// Scans `text` as pelinoru.sys is read, both ways.
void compareSystem(const std::string& text) {
  SCOPED_TRACE("text: \"" + text + "\"");
  testsupport::writeFile("scan.txt", text);
  std::FILE* fp = std::fopen("scan.txt", "r");
  ASSERT_NE(fp, nullptr);
  TextScanner scanner(text);
  int a[4] = {-1, -2, -3, -4}, b[4] = {-1, -2, -3, -4};
  float fa = -5, fb = -5;
  EXPECT_EQ(scanner.systemLine1(b[0], fb, b[2], b[3]),
            std::fscanf(fp, "%d %f %d %d\n", &a[0], &fa, &a[2], &a[3]));
  EXPECT_EQ(std::vector<int>(b, b + 4), std::vector<int>(a, a + 4));
  EXPECT_EQ(bits(fb), bits(fa));
  EXPECT_EQ(static_cast<long>(scanner.position()), std::ftell(fp));
  for (int round = 0; round < 2; ++round) {
    int x[3] = {7, 8, 9}, y[3] = {7, 8, 9};
    const bool newline = round == 0;
    const int r = std::fscanf(fp, newline ? "%d %d %d\n" : "%d %d %d", &x[0], &x[1], &x[2]);
    EXPECT_EQ(scanner.ints(y, 3, newline), r) << "round " << round;
    EXPECT_EQ(std::vector<int>(y, y + 3), std::vector<int>(x, x + 3)) << "round " << round;
    EXPECT_EQ(static_cast<long>(scanner.position()), std::ftell(fp)) << "round " << round;
  }
  std::fclose(fp);
}

const std::vector<std::string>& trickyTexts() {
  static const std::vector<std::string> texts = {
      "",
      "   \n\t \r\n",
      "0 1 1301        KYOKUYO    0   1\n0 3 7203 TOYOTA 2 -5\n",
      "  0 1 1301 A 0 1\r\n\t0\t1\t1302\tB\t1\t1\r\n",
      "0 1 1.301e3 A 0 1\n",
      "0 1 1e A 0 1\n",
      "0 1 1e+ A 0 1\n",
      "0 1 1E-2 A 0 1\n",
      "0 1 0x1p3 A 0 1\n",
      "0 1 inf A 0 1\n0 1 -nan B 1 1\n0 1 INFINITY C 2 2\n",
      "0 1 1e40 A 0 1\n0 1 1e-50 A 0 1\n0 1 3.4028235e38 A 0 1\n",
      "0 1 1301.49999999999999999 A 0 1\n0 1 .5 B 1 1\n0 1 5. C 2 2\n0 1 . D 3 3\n",
      "0 1 -.5 A 0 1\n0 1 +7 A +1 -1\n0 1 - A 0 1\n0 1 +- A 0 1\n",
      "2147483647 -2147483648 1 A 2147483648 -2147483649\n",
      "99999999999 1 1 A 0 1\n0 1 1 A 99999999999999999999999 1\n",
      "000000000000000001 1 1 A 0 1\n0 1 12345678901234567890123456789012345678901234.5 A 0 1\n",
      "0 1 1301 ABCDEFGHIJKLMN 0 1\n0 1 1302 ABCDEFGHIJKLMNO 1 1\n0 1 1303 " +
          std::string(40, 'X') + " 2 2\n",
      std::string("0 1 1301 A\0B 0 1\n0 1 1302 C 1 1\n", 30),
      "0 1 1301 \x8a\x94\x8e\xae\x89\xef\x8e\xd0 0 1\n",
      "0 1 1301",
      "0 1 1301 A 0",
      "0 1 1301 A 0 1",
      "0 1 1301 A 0 1 0 1",
      "12abc 1 1 A 0 1\n",
      "1 2 3.5x A 0 1\n",
      "1.5 2 3 A 0 1\n",
      "0 1 1301 A 0 1\v\f0 1 1302 B 1 1\n",
      "   0  991230    0   2\n11 14 7 12 11 9 10 13 14 11 15 12 10 14 13 12 11 15 9\n200 25\n",
      "0 1e5 -1 639\n\n\n1 2 3\n4 5 6",
      "0 -0 0 0\n1\n2\n3\n",
      "0 nan 0 0\n1 2 3\n",
      "0 5 0\n",
      "x",
      "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19",
  };
  return texts;
}

TEST(TextScanTest, TrickyIndexAndSystemTextsScanAsFscanfScansThem) {
  testsupport::TempWorkDir dir;
  for (const std::string& text : trickyTexts()) {
    compareIndex(text);
    compareSystem(text);
  }
}

// Texts made of the pieces the tricky ones are made of, in random orders.
TEST(TextScanTest, RandomTextsScanAsFscanfScansThem) {
  testsupport::TempWorkDir dir;
  const char* pieces[] = {"0",     "1",    "-1",     "+2",    "1301",  "1.5",  ".5",   "5.",
                          "1e3",   "1e",   "e",      "inf",   "nan",   "0x1f", "-",    "+",
                          "2147483648",    "99999999999",   "ABCDEFGHIJKLMN",  "ABCDEFGHIJKLMNOP",
                          " ",     " ",    " ",      "  ",    "\n",    "\n",   "\t",   "\r\n",
                          "x",     "A",    "<NUL>"};
  std::mt19937 rng(13);
  for (int i = 0; i < 400; ++i) {
    std::string text;
    const int n = static_cast<int>(rng() % 30);
    for (int k = 0; k < n; ++k) {
      const std::size_t which = rng() % std::size(pieces);
      text += which == std::size(pieces) - 1 ? std::string("\0", 1) : std::string(pieces[which]);
    }
    compareIndex(text);
    compareSystem(text);
    if (HasFailure()) break;
  }
}

// The readers give what fscanf gave: a table and a system file read from a tricky text.
TEST(TextScanTest, ReadersTakeEveryValueTheScansConvert) {
  testsupport::TempWorkDir dir;
  testsupport::writeFile(marketdb::IndexFileName,
                         "  0 1 1301 A 5 1\n0 2 1.302e3 B 7 -3\n0 3 1303 C\n0 4 1304 D 9 9\n");
  auto table = std::make_unique<marketdb::StockTable>();
  ASSERT_EQ(marketdb::readStockTable(*table), marketdb::FileStatus::Ok);
  // As with fscanf, the short third line takes its last two values from the fourth line, whose
  // rest ("1304 D ...") then ends the table.
  ASSERT_EQ(table->count, 3);
  EXPECT_EQ(table->kcodeidx[1], marketdb::codeFromNumber(1302));
  EXPECT_EQ(table->kchumoku[1], -3);
  EXPECT_EQ(table->kcodeidx[2], marketdb::codeFromNumber(1303));
  EXPECT_EQ(table->krecordi[2], 0);
  EXPECT_EQ(table->kchumoku[2], 4);
  EXPECT_EQ(table->kcodeidx[3], marketdb::StockCodeEnd);

  testsupport::writeFile(marketdb::SystemFileName,
                         "0 1e5 4 639\n\n 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19\n"
                         "20 21 22 23 24 25 26 27 28 29 30 31 32 33 34 35");
  marketdb::SystemFile sys;
  ASSERT_EQ(marketdb::readSystemFile(sys), marketdb::FileStatus::Ok);
  EXPECT_EQ(sys.lastStoreDate, 20100000);  // 1e5 is 100000: yymmdd 100000
  EXPECT_EQ(sys.storePosition, 639);
  EXPECT_EQ(sys.colours[18], 19);
  EXPECT_EQ(sys.periods[0], 20);
  EXPECT_EQ(sys.periods[15], 35);
}

}  // namespace
