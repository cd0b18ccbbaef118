// Code entry and the stock menu on a database whose codes have letters: the letter keys and
// cells, the code order of the pages and the scrolling of a page longer than the screen.
#include "tests/viewer/shell_fixture.h"

namespace viewertest {
namespace {

class WideSelectionTest : public ViewerFixture {
 protected:
  void SetUp() override {
    useDefaultStocks();
    writeDatabase();
    start();
  }

  // Puts a table of the codes given (in that order, part one) into the window in place of the
  // one it read, as a wide database's index would give it.
  void useCodes(const std::vector<std::string>& codes, bool wide = true) {
    auto t = std::make_unique<marketdb::StockTable>(static_cast<int>(codes.size()) + 1);
    for (std::size_t i = 0; i < codes.size(); ++i) {
      t->kcodeidx[i] = marketdb::codeFromText(codes[i]);
      ASSERT_NE(t->kcodeidx[i], marketdb::NoStockCode) << codes[i];
      t->ksijo[i] = 1;
      t->krecordi[i] = static_cast<int>(i % stocks.size());
      const std::string name = std::to_string(i);
      name.copy(t->kmeiidx[i].text, sizeof t->kmeiidx[i].text - 1);
      t->lookup[i] = {t->kcodeidx[i], static_cast<int>(i)};
    }
    t->count = static_cast<int>(codes.size());
    t->kcodeidx[codes.size()] = marketdb::StockCodeEnd;
    chart().table = std::move(t);
    chart().stockCount = static_cast<int>(codes.size());
    chart().wideDatabase = wide;
    chart().computeCodePages();
  }

  // Keys in upper case; a lower-case letter is a click on that letter's cell of the keypad.
  void enter(const std::string& keys) {
    static const std::string letters = "ACDFGHJKLMNPRSTUWXY";
    for (char c : keys) {
      const std::size_t k = letters.find(static_cast<char>(c - 'a' + 'A'));
      if (c >= 'a' && c <= 'z' && k != std::string::npos) {
        const int column = 9 + static_cast<int>(k) % 5;
        const int row = 1 + static_cast<int>(k) / 5;
        driver->click((2 * column + 1) * 640 / 32, (2 * row + 1) * 480 / 24);
      } else {
        driver->key(c == '\r' ? VK_RETURN : static_cast<unsigned>(c));
      }
    }
  }
};

TEST_F(WideSelectionTest, LettersAreTakenOnlyAsSecondOrFourthCharacterOfAWideCode) {
  struct Case {
    bool wide;
    const char* keys;
    const char* shown;   // the display cell before Enter
    const char* chosen;  // the code shown after Enter; nullptr: the menu says it is unknown
  };
  const Case cases[] = {
      {true, "130A", "  130A", "130A"},
      {true, "1c0y", "  1C0Y", "1C0Y"},     // clicked letter cells
      {true, "A1309", "  1309", "1309"},    // a first letter is passed over
      {true, "13A09", "  1309", "1309"},    // so is a third one
      {true, "130AY", "  130A", "130A"},    // and a fifth
      {true, "130B", "   130", nullptr},    // B is never part of a code
      {true, "1A2Y", "  1A2Y", nullptr},    // a code of the grammar the index lacks
      {false, "130A", "   130", nullptr},   // a classic database takes no letters
      {false, "130a", "   130", nullptr},   // nor clicks right of its digits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    useCodes({"1301", "1309", "130A", "1C0Y"}, c.wide);
    driver->key(VK_F11);
    enter(c.keys);
    EXPECT_TRUE(drewText(242, 2, Yellow, c.shown));
    EXPECT_EQ(drewText(362, 42, Yellow, "Ａ"), c.wide);
    EXPECT_EQ(drewText(482, 162, Yellow, "Ｙ"), c.wide);
    enter("\r");
    if (c.chosen) {
      EXPECT_EQ(chart().viewMode, 9);
      EXPECT_EQ(chart().selection.code, marketdb::codeFromText(c.chosen));
      EXPECT_TRUE(drewText(0, 0, Yellow, c.chosen));
    } else {
      const std::string shown = c.shown;
      const std::string typed = shown.substr(shown.find_first_not_of(' '));
      EXPECT_EQ(ops().back(), textOp(0, 464, Red, "銘柄コード" + typed + "はデータベースにありません"));
    }
  }
}

TEST_F(WideSelectionTest, PagesFollowTheCodeOrderOfLettersAfterDigits) {
  useCodes({"1301", "1309", "130A", "130Y", "1310", "199Y", "2000", "200A", "3999", "4000"});
  type("10\r");
  EXPECT_EQ(menuCodes(), (std::vector<std::string>{"0,16:1301", "80,16:1309", "160,16:130A",
                                                   "240,16:130Y", "320,16:1310", "400,16:199Y"}));
  type("11\r");
  EXPECT_EQ(menuCodes(), (std::vector<std::string>{"0,16:2000", "80,16:200A", "160,16:3999"}));
  // A click on a cell chooses the code drawn there.
  driver->click(80 + 8, 16 + 8);
  EXPECT_EQ(chart().selection.code, marketdb::codeFromText("200A"));
}

TEST_F(WideSelectionTest, LongWidePageScrollsByPageKeysAndWheelClassicOneDoesNot) {
  // 300 stocks on the first page: 38 rows of 8, 28 rows to a screen.
  std::vector<std::string> codes;
  for (int i = 0; i < 300; ++i) codes.push_back(std::to_string(1000 + i));
  const auto firstShown = [this] { return menuCodes().front(); };

  useCodes(codes, false);
  type("10\r");
  EXPECT_EQ(menuCodes().size(), 300u);  // the classic menu draws every cell, as it always did

  useCodes(codes, true);
  type("10\r");
  EXPECT_EQ(menuCodes().size(), 28u * 8);
  EXPECT_TRUE(drewText(0, 464, White, "1-224／300銘柄　PageUp・PageDownで移動"));
  driver->key(VK_NEXT);  // to the last full screen: rows 10..37
  EXPECT_EQ(firstShown(), "0,16:" + codes[10 * 8]);
  EXPECT_EQ(menuCodes().back(), "240,448:" + codes[299]);
  EXPECT_TRUE(drewText(0, 464, White, "81-300／300銘柄　PageUp・PageDownで移動"));
  driver->key(VK_NEXT);
  EXPECT_EQ(firstShown(), "0,16:" + codes[10 * 8]);
  driver->click(160 + 8, 16 + 16 + 8);  // second row, third cell
  EXPECT_EQ(chart().selection.code, marketdb::codeFromText(codes[11 * 8 + 2]));
  driver->key(VK_F12);
  driver->key(VK_PRIOR);
  EXPECT_EQ(firstShown(), "0,16:" + codes[0]);
  driver->wheel(-2);  // towards the user: six rows down
  EXPECT_EQ(firstShown(), "0,16:" + codes[6 * 8]);
  driver->click(8, 464 + 8);  // the foot line chooses nothing
  EXPECT_EQ(chart().viewMode, 12);
  type("11\r");  // another page starts at its top
  type("10\r");
  EXPECT_EQ(firstShown(), "0,16:" + codes[0]);
}

}  // namespace
}  // namespace viewertest
