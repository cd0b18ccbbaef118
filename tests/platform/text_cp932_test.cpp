// CP932 <-> Unicode: decoding, cell counts, conversions and formatting.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/text/cp932.h"

using namespace pelinor::text;

namespace {

std::string bytes(std::initializer_list<unsigned> list) {
  std::string s;
  for (unsigned b : list) s += static_cast<char>(b);
  return s;
}

}  // namespace

TEST(Cp932, KnownBytesOfLiterals) {
  EXPECT_EQ(SJ("ペ"), bytes({0x83, 0x79}));
  EXPECT_EQ(SJ("日"), bytes({0x93, 0xFA}));
  EXPECT_EQ(SJ("ｺ"), bytes({0xBA}));
  EXPECT_EQ(SJ("ｺﾞ"), bytes({0xBA, 0xDE}));
  EXPECT_EQ(SJ("０"), bytes({0x82, 0x4F}));
  EXPECT_EQ(SJ("A1 "), "A1 ");
  // "ペリノ": ペ 83 79, リ 83 8A, ノ 83 6D.
  EXPECT_EQ(SJ("ペリノ"), bytes({0x83, 0x79, 0x83, 0x8A, 0x83, 0x6D}));
}

TEST(Cp932, RoundTripsJapanese) {
  for (const char* s : {"漢字", "ｶﾀｶﾅ", "０１２３", "ｺﾞｼｯｸ", "東証１", "［ペリノＣ++］Ｗin", "分析ﾌｧｲﾙ出力",
                        "①Ⅰ～－", "abc\\~"}) {
    std::string cp = toCp932(s);
    EXPECT_EQ(toUtf8(cp), s) << s;
  }
}

TEST(Cp932, WaveDashAndMinusFromUnicodeSourcesEncode) {
  // Literals typed with the JIS forms still land on the code page's characters.
  EXPECT_EQ(toCp932("〜"), bytes({0x81, 0x60}));
  EXPECT_EQ(toCp932("−"), bytes({0x81, 0x7C}));
}

TEST(Cp932, UnmappableAndMalformedUtf8BecomeQuestionMarks) {
  EXPECT_EQ(toCp932("a😀b"), "a?b");
  EXPECT_EQ(toCp932("é"), "?");
  EXPECT_EQ(toCp932(bytes({'x', 0xFF, 'y'})), "x?y");
  EXPECT_EQ(toCp932(bytes({0xE6, 0xBC})), "?" "?");  // truncated sequence: each stray byte
  EXPECT_EQ(toCp932(bytes({0xC0, 0xAF})), "??");     // overlong '/'
}

TEST(Cp932, DecodeAtClassifiesCharacters) {
  std::string s = bytes({'A', 0xBA, 0x93, 0xFA});
  Cp932Char a = decodeAt(s, 0);
  EXPECT_EQ(a.codePoint, U'A');
  EXPECT_EQ(a.bytes, 1);
  EXPECT_TRUE(a.valid);
  EXPECT_FALSE(a.fullWidth);
  Cp932Char ko = decodeAt(s, 1);
  EXPECT_EQ(ko.codePoint, U'ｺ');
  EXPECT_EQ(ko.bytes, 1);
  EXPECT_FALSE(ko.fullWidth);
  Cp932Char hi = decodeAt(s, 2);
  EXPECT_EQ(hi.codePoint, U'日');
  EXPECT_EQ(hi.bytes, 2);
  EXPECT_TRUE(hi.fullWidth);
  EXPECT_TRUE(hi.valid);
}

TEST(Cp932, InvalidBytesAreOneHalfWidthReplacementEach) {
  for (unsigned b : {0x80u, 0xA0u, 0xFDu, 0xFEu, 0xFFu}) {
    std::string s = bytes({b, 'A'});
    Cp932Char c = decodeAt(s, 0);
    EXPECT_FALSE(c.valid) << b;
    EXPECT_EQ(c.bytes, 1) << b;
    EXPECT_FALSE(c.fullWidth) << b;
    EXPECT_EQ(c.codePoint, char32_t{0xFFFD}) << b;
    EXPECT_EQ(cellCount(s), 2) << b;
    EXPECT_EQ(toUtf8(s), "\xEF\xBF\xBD" "A") << b;
  }
  // A lead byte at the end of the string.
  std::string tail = bytes({'A', 0x83});
  EXPECT_FALSE(decodeAt(tail, 1).valid);
  EXPECT_EQ(decodeAt(tail, 1).bytes, 1);
  EXPECT_EQ(toUtf8(tail), "A\xEF\xBF\xBD");
  // A lead byte followed by a byte that cannot trail: one bad byte, then decoding resumes.
  std::string bad = bytes({0x83, 0x20, 0x83, 0x79});
  EXPECT_EQ(toUtf8(bad), "\xEF\xBF\xBD ペ");
  EXPECT_EQ(cellCount(bad), 1 + 1 + 2);
  std::string del = bytes({0x93, 0x7F});
  EXPECT_EQ(toUtf8(del), "\xEF\xBF\xBD\x7F");
}

TEST(Cp932, WellFormedPairWithoutCharacterKeepsFollowingTextInStep) {
  // 0x85 0x40 has the shape of a double byte but no character.
  std::string s = bytes({0x85, 0x40, 'A'});
  Cp932Char c = decodeAt(s, 0);
  EXPECT_FALSE(c.valid);
  EXPECT_EQ(c.bytes, 2);
  EXPECT_TRUE(c.fullWidth);
  EXPECT_EQ(toUtf8(s), "\xEF\xBF\xBD" "A");
  EXPECT_EQ(cellCount(s), 3);
}

TEST(Cp932, CellCount) {
  EXPECT_EQ(cellCount(""), 0);
  EXPECT_EQ(cellCount("abc"), 3);
  EXPECT_EQ(cellCount(SJ("漢字")), 4);
  EXPECT_EQ(cellCount(SJ("ｶﾀｶﾅ")), 4);
  EXPECT_EQ(cellCount(SJ("東証１ ｺｰﾄﾞ")), 6 + 1 + 4);
}

TEST(Cp932, FormatGrowsBeyondSmallBuffers) {
  EXPECT_EQ(format("%5d|%-4s|%.1f", 42, "ab", 2.5), "   42|ab  |2.5");
  std::string longArg(1000, 'x');
  std::string out = format("<%s>", longArg.c_str());
  EXPECT_EQ(out.size(), 1002u);
  EXPECT_EQ(out.front(), '<');
  EXPECT_EQ(out.back(), '>');
  EXPECT_EQ(format("%s", SJ("銘柄名").c_str()), SJ("銘柄名"));
}

TEST(Cp932, ConcurrentFirstUseIsSafe) {
  std::vector<std::thread> threads;
  std::vector<std::string> results(4);
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&results, i] { results[i] = toUtf8(toCp932("漢字ｶﾅ")); });
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, "漢字ｶﾅ");
}

// The decode table is built a row at a time; every double-byte pair must decode exactly as the
// C library converts that pair on its own.
TEST(Cp932, EveryPairDecodesAsItsOwnConversion) {
  int assigned = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const pelinor::text::Cp932Char c = pelinor::text::decodeAt(pair, 0);
      const char32_t plain = pelinor::text::convertPairPlain(lead, trail);
      ASSERT_EQ(c.valid, plain != 0) << std::hex << lead << " " << trail;
      if (plain != 0) {
        ASSERT_EQ(c.codePoint, plain) << std::hex << lead << " " << trail;
        ++assigned;
      }
    }
  }
  EXPECT_GT(assigned, 7000);  // the JIS levels 1 and 2 and the vendor rows
}
