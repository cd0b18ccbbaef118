// Four-character stock codes: which texts are codes, their conversions, and their order.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "marketdb/stock_code.h"

namespace {

using namespace marketdb;

TEST(StockCode, TableOfCodes) {
  struct Case {
    const char* text;
    bool valid;
    int number;  // the classic number, 0 where the classic files cannot hold the code
  };
  const Case cases[] = {
      {"7203", true, 7203}, {"1000", true, 1000}, {"9999", true, 9999}, {"130A", true, 0},
      {"1Y9Y", true, 0},    {"9C0W", true, 0},    {"0999", false, 0},   {"A300", false, 0},
      {"13A0", false, 0},   {"130B", false, 0},   {"13E0", false, 0},   {"130Z", false, 0},
      {"130a", false, 0},   {"130", false, 0},    {"13001", false, 0},  {"", false, 0},
      {"13 0", false, 0},   {"130-", false, 0},
  };
  for (const Case& c : cases) {
    const std::string text = c.text;
    const StockCode code = codeFromText(text);
    EXPECT_EQ(isValidCode(code), c.valid) << text;
    EXPECT_EQ(codeText(code), c.valid ? text : "") << text;
    EXPECT_EQ(codeSourceText(code), c.valid ? text + "0" : "") << text;
    EXPECT_EQ(codeNumber(code), c.number) << text;
    EXPECT_EQ(codeFromNumber(c.number), c.number != 0 ? code : NoStockCode) << text;
    // The source form: the four characters, or the code and a 0; no other fifth character.
    EXPECT_EQ(codeFromSource(text), code) << text;
    if (text.size() == 4) {
      EXPECT_EQ(codeFromSource(text + "0"), code) << text;
      EXPECT_EQ(codeFromSource(text + "1"), NoStockCode) << text;
    }
  }
  EXPECT_EQ(codeFromText("130A"), 0x31333041u);  // the four bytes, first one highest
  for (double n : {999.0, 10000.0, 1301.5, -1301.0, std::nan(""), 13010.0})
    EXPECT_EQ(codeFromNumber(n), NoStockCode) << n;
  EXPECT_EQ(codeText(StockCodeEnd), "");
}

// The order of the keys is the character-by-character order with the digits before the
// letters, for any two codes.
TEST(StockCode, KeyOrderIsTheCharacterOrder) {
  const std::string digits = "0123456789";
  const std::string second = digits + "ACDFGHJKLMNPRSTUWXY";  // in their order
  const auto rank = [&](char c) { return static_cast<int>(second.find(c)); };
  std::mt19937 random(230411);
  const auto pick = [&](const std::string& from) { return from[random() % from.size()]; };
  const auto randomCode = [&] {
    // Half of them from a few first and third characters, so that every place gets compared.
    const bool few = random() % 2;
    return std::string{pick(few ? "12" : "123456789"), pick(second), pick(few ? "01" : digits),
                       pick(second)};
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string a = randomCode();
    const std::string b = randomCode();
    int plain = 0;  // -1, 0 or 1 as a compares to b
    for (int i = 0; i < 4 && plain == 0; ++i)
      plain = rank(a[i]) < rank(b[i]) ? -1 : rank(a[i]) > rank(b[i]) ? 1 : 0;
    const StockCode ka = codeFromText(a);
    const StockCode kb = codeFromText(b);
    ASSERT_EQ(ka < kb ? -1 : ka > kb ? 1 : 0, plain) << a << " " << b;
    ASSERT_TRUE(ka > NoStockCode && ka < StockCodeEnd) << a;
  }
}

}  // namespace
