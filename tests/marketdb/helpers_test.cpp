// Dates, market sections and the texts of file messages.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "marketdb/files.h"

using namespace marketdb;

// The classic date rule as plainly as it reads: a whole number of at most six digits is yymmdd
// in the 1946..2045 window, 0 is no date, anything else is damaged (-1).
std::int32_t plainDateKey(float yymmdd) {
  const double d = yymmdd;
  if (d == 0) return 0;
  if (!(d >= 1 && d <= 999999) || d != std::floor(d)) return -1;
  const double yy = std::floor(d / 10000.0);
  return static_cast<std::int32_t>((yy <= 45 ? 2000 + yy : 1900 + yy) * 10000.0 + (d - yy * 10000.0));
}

// Every value, sound or damaged, reads as the plain rule says; a whole six-digit value goes
// back to the float it came from, so a record written again keeps its bytes; and the keys keep
// the window's order, with -1 below every date.
TEST(DateTest, KeyFollowsTheWindowRuleAndConvertsBack) {
  std::mt19937 rng(7);
  std::vector<float> values = {0.0f, -0.0f, -1.0f, 0.5f, 1.0f, 9999.99f, 10000.0f, 991230.5f,
                               451231.0f, 460101.0f, 999999.0f, 1000000.0f, 1e15f,
                               std::numeric_limits<float>::max(),
                               std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::quiet_NaN()};
  for (float edge : {1.0f, 999999.0f, 460000.0f})  // the window's ends and the century's turn
    values.insert(values.end(), {std::nextafter(edge, 0.0f), std::nextafter(edge, 2e6f)});
  values.insert(values.end(), {459999.0f, 460000.0f, -std::numeric_limits<float>::quiet_NaN()});
  std::uniform_real_distribution<float> any(-10.0f, 2e6f);
  std::uniform_int_distribution<int> whole(0, 999999);
  for (int i = 0; i < 30000; ++i)  // any bits too: NaNs of every payload, subnormals, negatives
    values.push_back(i % 3 == 0   ? any(rng)
                     : i % 3 == 1 ? static_cast<float>(whole(rng))
                                  : std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
  for (float v : values) {
    const std::int32_t key = dateKey(v);
    ASSERT_EQ(key, plainDateKey(v)) << v;
    if (key >= 0) {
      EXPECT_EQ(classicDateValue(key), v == 0 ? 0.0f : v) << v;
    }
  }
  EXPECT_LT(dateKey(991231), dateKey(105));      // 1999-12-31 before 2000-01-05
  EXPECT_LT(dateKey(460101), dateKey(451231));   // 1946 before 2045
  EXPECT_LT(dateKey(0.5f), dateKey(0));          // damaged: older than no date at all
}

TEST(DateTest, CalendarDays) {
  EXPECT_TRUE(isCalendarDate(20240229));
  EXPECT_FALSE(isCalendarDate(20230229));
  EXPECT_TRUE(isCalendarDate(20000229));
  EXPECT_FALSE(isCalendarDate(19000229));
  EXPECT_FALSE(isCalendarDate(20261332));
  EXPECT_FALSE(isCalendarDate(20261200));
  EXPECT_FALSE(isCalendarDate(0));
  EXPECT_FALSE(isCalendarDate(-1));
  EXPECT_FALSE(isCalendarDate(dateKey(50)));  // 000050: month 00
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
