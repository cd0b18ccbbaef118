// pelinoru.idx is checked before a change trusts it: each damage names the file and the line.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "marketdb/index_check.h"
#include "marketdb/index_words.h"
#include "platform/text/cp932.h"

using marketdb::checkIndexText;

namespace {

constexpr std::int64_t Block = 11520;

struct Case {
  const char* what;
  std::string text;
  std::int64_t datBytes;
  bool ok;
  int line;            // the line named (0: none)
  const char* names;   // a text the message must hold (UTF-8), or nullptr
};

TEST(IndexCheck, RefusesDamageAndNamesTheLine) {
  const std::string a = "0 1 1301 AAAAAAAAAAAAAA    0   5\n";
  const std::string b = "0 1 1377 BBBBBBBBBBBBBB    1  -3\n";
  const Case cases[] = {
      {"two good lines", a + b, 2 * Block, true, 0, nullptr},
      {"blank lines between", a + "\n  \n" + b + "\n", 2 * Block, true, 0, nullptr},
      {"a last block cut short", a + b, 2 * Block - 18, true, 0, nullptr},
      {"a 15-byte name", a + "0 1 1377 BBBBBBBBBBBBBBB    1   0\n" + b, 2 * Block, false, 2,
       "2行目"},
      {"a missing field", "0 1 1377 BBBBBBBBBBBBBB    1\n" + a, 2 * Block, false, 1, "1行目"},
      {"a field that is not a number", a + "0 x 1377 BBBBBBBBBBBBBB 1 0\n", 2 * Block, false, 2,
       "2行目"},
      {"slot 2147483647 (row 7)", a + "0 1 1377 BBBBBBBBBBBBBB 2147483647 0\n", 2 * Block,
       false, 2, "2147483647"},
      {"slot 1000000000 (row 8)", a + "0 1 1377 BBBBBBBBBBBBBB 1000000000 0\n", 2 * Block,
       false, 2, "1000000000"},
      {"slot -1 (row 9)", "0 1 1301 AAAAAAAAAAAAAA -1 0\n", Block, false, 1, "-1"},
      {"slot 3019", "0 1 1301 AAAAAAAAAAAAAA 3019 0\n", Block, false, 1, "3019"},
      {"slot 3018 alone: slots 0..3017 have no line", "0 1 1301 AAAAAAAAAAAAAA 3018 0\n",
       3019 * Block, false, 0, "記録位置0の行"},
      {"a line lost in the middle", a + "0 1 2001 CCCCCCCCCCCCCC 2 0\n", 3 * Block, false, 0,
       "記録位置1の行"},
      {"a code listed twice", a + "0 1 1301 CCCCCCCCCCCCCC 1 0\n", 2 * Block, false, 2,
       "1行目"},
      {"a slot used twice", a + b + "0 1 2001 CCCCCCCCCCCCCC    0   0\n", 2 * Block, false, 3,
       "1行目"},
      {"an emptied index before blocks (row 1)", "", 300 * Block, false, 0, "300"},
      {"lines lost at the end", a, 2 * Block, false, 0, "pelinoru.dat"},
      {"the last line lost, its block cut short", a, 2 * Block - 18, false, 0, "pelinoru.dat"},
      {"an empty database", "", 0, true, 0, nullptr},
  };
  for (const Case& c : cases) {
    const marketdb::IndexCheck r = checkIndexText(c.text, c.datBytes);
    EXPECT_EQ(r.ok, c.ok) << c.what;
    EXPECT_EQ(r.line, c.line) << c.what;
    if (c.ok) continue;
    const std::string message = pelinor::text::toUtf8(r.message);
    EXPECT_NE(message.find("pelinoru.idx.bak"), std::string::npos) << c.what << ": " << message;
    if (c.names) {
      EXPECT_NE(message.find(c.names), std::string::npos) << c.what << ": " << message;
    }
  }
}

// The code field is read as the C library reads a number, and must be a whole code 1000..9999.
TEST(IndexCheck, CodeFieldIsAWholeCode) {
  const struct {
    const char* code;
    bool ok;
  } cases[] = {{"1377", true},    {"+1377", true},   {"1e3", true},     {"0x1p10", true},
               {"9999", true},    {"1377.5", false}, {"0x1p3", false},  {"1e-50", false},
               {"-0", false},     {"999", false},    {"10000", false},  {"inf", false},
               {"nan", false},    {"1e40", false},   {"1377x", false},  {"+-1", false},
               {".", false},      {"0x", false}};
  for (const auto& c : cases) {
    const std::string text = std::string("0 1 ") + c.code + " BBBBBBBBBBBBBB 0 0\n";
    EXPECT_EQ(checkIndexText(text, Block).ok, c.ok) << c.code;
  }
}

// The whole-number fields take one sign, as %d does.
TEST(IndexCheck, IntegerFieldsTakeOneSign) {
  const struct {
    const char* slot;
    bool ok;
  } cases[] = {{"0", true}, {"+0", true}, {"-0", true}, {"-00", true},
               {"+-00", false}, {"-+0", false}, {"++0", false}, {"--0", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(checkIndexText(std::string("0 1 1377 B ") + c.slot + " 0\n", Block).ok, c.ok)
        << c.slot;
    EXPECT_EQ(checkIndexText(std::string("0 1 1377 B 0 ") + c.slot + "\n", Block).ok, c.ok)
        << c.slot;
  }
}

// A field read as a whole int is what sscanf's %d takes when it takes the whole word, over
// random words of digits and signs (short enough that no value overflows).
TEST(IndexCheck, WholeIntIsWhatScanfTakesOfTheWholeWord) {
  std::mt19937 random(5);
  const char alphabet[] = "0123456789+-x";
  for (int i = 0; i < 20000; ++i) {
    std::string word(random() % 10, '0');
    for (char& c : word) c = alphabet[random() % (i % 2 ? 10 : 13)];
    int expected = 0, used = 0;
    const bool takes = std::sscanf(word.c_str(), "%d%n", &expected, &used) == 1 &&
                       used == static_cast<int>(word.size());
    int got = -7;
    ASSERT_EQ(marketdb::wholeIndexInt(word, got), takes) << word;
    if (takes) {
      ASSERT_EQ(got, expected) << word;
    }
  }
}

// 3019 stocks fill every slot, so a 3020th line has no slot of its own to name.
TEST(IndexCheck, MoreThan3019StocksAreRefused) {
  std::string text;
  for (int i = 0; i < 3019; ++i)
    text += "0 1 " + std::to_string(1000 + i) + " N " + std::to_string(i) + " 0\n";
  EXPECT_TRUE(checkIndexText(text, 3019 * Block).ok);
  for (const char* slot : {"0", "3018", "3019"}) {
    const marketdb::IndexCheck r =
        checkIndexText(text + "0 1 9999 N " + slot + " 0\n", 3019 * Block);
    EXPECT_FALSE(r.ok) << slot;
    EXPECT_EQ(r.line, 3020) << slot;
  }
}

}  // namespace
