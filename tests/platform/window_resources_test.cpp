// Menus, accelerators, icons and titles of both programs.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "platform/text/cp932.h"
#include "resources/pelinorw_resources.h"
#include "resources/pelinorx_resources.h"

namespace {

using Items = std::vector<std::pair<int, std::string>>;  // id, UTF-8 text, in bar order

Items barOf(const ResourceSet& set) {
  Items items;
  auto it = set.menus.find(100);
  if (it == set.menus.end()) return items;
  for (const MenuItem& item : it->second.items)
    items.emplace_back(item.id, pelinor::text::toUtf8(item.text));
  return items;
}

TEST(Resources, DatabaseProgramMenuBar) {
  const Items expected = {
      {1, "格納"},          {2, "分析"},         {3, "分析表示１部(店頭)"},
      {4, "分析表示２部(大証外国)"},            {5, "既定値変更"},
      {6, "格納やり直し"},  {7, "条件検索"},     {8, "ＤＢ整理"},
      {9, "予備"},          {10, "↑"},          {11, "↓"},
      {12, "←"},           {13, "→"},          {14, "最初"},
      {15, "最後"},         {16, "０"},          {17, "１"},
      {18, "２"},           {19, "３"},          {20, "４"},
      {21, "５"},           {22, "６"},          {23, "７"},
      {24, "８"},           {25, "９"},          {31, "Ｔ"},
      {26, "Ｗ"},           {27, "Ｎ"},          {28, "Ｙ"},
      {29, "Ｃ"},           {30, "Ｅ"},          {32, "分析ﾌｧｲﾙ出力"},
  };
  EXPECT_EQ(barOf(pelinorxResources()), expected);
}

TEST(Resources, ChartViewerMenuBar) {
  const Items expected = {
      {1, "情報"},    {101, "比較"},      {2, "理屈3"},       {3, "理屈4"},
      {4, "理屈5"},   {6, "サｲﾝ"},        {16, "Sｻｲﾝ"},       {7, "週足"},
      {8, "日足"},    {103, "銘柄ｺｰﾄﾞ"},  {102, "銘柄ﾒﾆｭｰ"},  {10, "↑"},
      {11, "↓"},     {12, "←"},          {13, "→"},          {14, "予備"},
  };
  EXPECT_EQ(barOf(pelinorwResources()), expected);
}

TEST(Resources, MenuTextsAreCp932AndTheyRoundTrip) {
  for (const ResourceSet* set : {&pelinorxResources(), &pelinorwResources()}) {
    for (const MenuItem& item : set->menus.at(100).items) {
      SCOPED_TRACE(item.id);
      std::string utf8 = pelinor::text::toUtf8(item.text);
      EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos);  // no undecodable byte
      EXPECT_EQ(utf8.find('?'), std::string::npos);             // nothing unencodable
      EXPECT_EQ(pelinor::text::toCp932(utf8), item.text);
    }
  }
  // Half-width katakana are one byte each in CP932: "ﾌｧｲﾙ" is 4 bytes, "分析" and "出力" 4 each.
  EXPECT_EQ(pelinorxResources().menus.at(100).items.back().text.size(), 12u);
}

TEST(Resources, AcceleratorsAreEditShortcutsOnNoMenuCommand) {
  for (const ResourceSet* set : {&pelinorxResources(), &pelinorwResources()}) {
    const AcceleratorTable& table = set->accelerators.at(100);
    std::set<unsigned> keys;
    std::set<int> menuIds;
    for (const MenuItem& item : set->menus.at(100).items) menuIds.insert(item.id);
    for (const Accelerator& a : table.entries) {
      EXPECT_TRUE(a.ctrl);
      EXPECT_EQ(menuIds.count(a.command), 0u) << a.command;
      keys.insert(a.key);
    }
    EXPECT_EQ(keys, (std::set<unsigned>{'C', 'V', 'X', 'Z'}));
  }
}

TEST(Resources, Icon1001Is32By32WithTransparentCornersAndAnOpaqueBody) {
  for (const ResourceSet* set : {&pelinorxResources(), &pelinorwResources()}) {
    const Icon& icon = set->icons.at(1001);
    ASSERT_EQ(icon.width, 32);
    ASSERT_EQ(icon.height, 32);
    ASSERT_EQ(icon.rgba.size(), 32u * 32u);
    EXPECT_EQ(icon.rgba[0] >> 24, 0u);            // top left corner transparent
    EXPECT_EQ(icon.rgba[32 * 32 - 1] >> 24, 0u);  // bottom right corner transparent
    EXPECT_EQ(icon.rgba[16 * 32 + 16] >> 24, 0xFFu);
    std::set<std::uint32_t> colours(icon.rgba.begin(), icon.rgba.end());
    EXPECT_GE(colours.size(), 4u);  // a picture, not a flat square
  }
}

TEST(Resources, ProductTitles) {
  EXPECT_EQ(pelinor::text::toUtf8(pelinorxTitle()), "株価分析ペリノ 他処理 v3.02");
  EXPECT_EQ(pelinor::text::toUtf8(pelinorwTitle()), "株価分析ペリノ ﾁｬｰﾄ v3.02");
}

}  // namespace
