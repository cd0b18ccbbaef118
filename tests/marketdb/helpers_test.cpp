// Dates, market sections and the texts of file messages.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "marketdb/files.h"

using namespace marketdb;

// The key with the library's floor, as plainly as it reads.
double plainDateKey(float yymmdd) {
  const double d = yymmdd;
  if (!(d > 0)) return d == d ? d : 0;
  const double yy = std::floor(d / 10000.0);
  return (yy <= 45 ? 2000 + yy : 1900 + yy) * 10000.0 + (d - yy * 10000.0);
}

TEST(DateTest, KeyEqualsTheFloorDefinitionForEveryKindOfValue) {
  std::mt19937 rng(7);
  std::vector<float> values = {0.0f, -1.0f, 0.5f, 1.0f, 9999.99f, 10000.0f, 991230.5f, 451231.0f,
                               460101.0f, 1e15f, 3e15f, std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::quiet_NaN()};
  std::uniform_real_distribution<float> any(0.0f, 2e6f);
  std::uniform_int_distribution<int> whole(0, 991231);
  for (int i = 0; i < 20000; ++i) values.push_back(i % 2 ? any(rng) : static_cast<float>(whole(rng)));
  for (float v : values) {
    const double fast = dateKey(v), plain = plainDateKey(v);
    EXPECT_TRUE(fast == plain || (fast != fast && plain != plain)) << v;
  }
}

TEST(DateTest, ComparesInTheCenturyWindow) {
  EXPECT_EQ(dateKey(991231), 19991231.0);
  EXPECT_EQ(dateKey(105), 20000105.0);
  EXPECT_EQ(dateKey(451231), 20451231.0);
  EXPECT_EQ(dateKey(460101), 19460101.0);
  EXPECT_EQ(dateKey(0), 0.0);

  EXPECT_TRUE(dateLater(104, 991230));   // 2000-01-04 after 1999-12-30
  EXPECT_FALSE(dateLater(991230, 104));
  EXPECT_FALSE(dateLater(104, 104));
  EXPECT_TRUE(dateLater(261204, 261203));
  EXPECT_TRUE(dateLater(450101, 991231));
  EXPECT_FALSE(dateLater(460101, 450101));  // 1946 before 2045
  // 0 is "nothing stored yet": every date is later than it, and it is later than none.
  EXPECT_TRUE(dateLater(105, 0));
  EXPECT_TRUE(dateLater(991231, 0));
  EXPECT_FALSE(dateLater(0, 0));
  EXPECT_FALSE(dateLater(0, 105));
}

TEST(SectionTest, MarketCodesAndLabels) {
  const int codes[] = {801, 802, 811, 812, 813, 814};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(sectionOfMarketCode(codes[i]), i + 1);
  EXPECT_EQ(sectionOfMarketCode(800), 0);
  EXPECT_EQ(sectionOfMarketCode(803), 0);
  EXPECT_EQ(sectionOfMarketCode(815), 0);

  EXPECT_EQ(sectionLabel(1), "\x93\x8c\x8f\xd8\x82\x50");  // 東証１
  EXPECT_EQ(sectionLabel(2), "\x93\x58\x93\xaa");          // 店頭
  EXPECT_EQ(sectionLabel(3), "\x93\x8c\x8f\xd8\x82\x51");  // 東証２
  EXPECT_EQ(sectionLabel(4), "\x91\xe5\x8f\xd8\x82\x50");  // 大証１
  EXPECT_EQ(sectionLabel(5), "\x91\xe5\x8f\xd8\x82\x51");  // 大証２
  EXPECT_EQ(sectionLabel(6), "\x8a\x4f\x8d\x91");          // 外国
  EXPECT_EQ(sectionLabel(0), "");
  EXPECT_EQ(sectionLabel(7), "");
}

TEST(MessageTest, FileMessagesNameTheFile) {
  EXPECT_EQ(missingFileMessage("pelinoru.sys"),
            "pelinoru.sys \x82\xaa\x91\xb6\x8d\xdd\x82\xb5\x82\xdc\x82\xb9\x82\xf1");
  EXPECT_EQ(unwritableFileMessage("pelinoru.win"),
            "pelinoru.win \x82\xaa\x8f\x6f\x97\xcd\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1");
  EXPECT_EQ(fileCaption(), "\xcc\xa7\xb2\xd9\x91\xb6\x8d\xdd\x8f\xf3\x8b\xb5");
}
