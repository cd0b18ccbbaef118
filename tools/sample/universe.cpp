// Codes, names and walk parameters of the sample stocks.
#include "tools/sample/universe.h"

#include <algorithm>
#include <set>
#include <string>

#include "platform/text/cp932.h"
#include "tools/sample/random.h"
#include "tools/sample/sample_data.h"

namespace pelinor::sample {
namespace {

// A code range of one industry and the name endings its companies get.
struct Band {
  int low, high;  // inclusive
  int weight;     // share of the listed stocks
  std::vector<const char*> endings;
};

const std::vector<Band>& bands() {
  static const std::vector<Band> list = {
      {1300, 1399, 1, {"水産", "農林", "漁業"}},
      {1400, 1999, 6, {"建設", "工務店", "建工", "住建", "土木"}},
      {2000, 2999, 9, {"食品", "製菓", "製粉", "乳業", "酒造", "製糖"}},
      {3000, 3999, 7, {"繊維", "紡績", "製紙", "紙業", "織物"}},
      {4000, 4999, 9, {"化学", "製薬", "化成", "薬品", "油脂"}},
      {5000, 5099, 1, {"石油", "油業"}},
      {5100, 5199, 1, {"ゴム", "化工"}},
      {5200, 5399, 2, {"窯業", "硝子", "陶業", "セメント"}},
      {5400, 5699, 3, {"製鋼", "製鉄", "鋼管", "鋼業"}},
      {5700, 5899, 2, {"金属", "電線", "鉱業", "伸銅"}},
      {5900, 6499, 8, {"機械", "工機", "精工", "製作所", "鉄工"}},
      {6500, 6999, 9, {"電機", "電気", "電子", "通信", "電工"}},
      {7000, 7499, 4, {"重工", "造船", "自動車", "車体", "工業"}},
      {7500, 7999, 5, {"精機", "光学", "時計", "楽器", "工業"}},
      {8000, 8299, 5, {"商事", "物産", "商会", "百貨店", "商店"}},
      {8300, 8599, 4, {"銀行", "信託"}},
      {8600, 8799, 3, {"証券", "保険", "火災", "生命"}},
      {8800, 8999, 3, {"不動産", "地所", "土地", "開発"}},
      {9000, 9499, 5, {"運輸", "鉄道", "海運", "倉庫", "急行", "航空"}},
      {9500, 9599, 1, {"電力", "瓦斯"}},
      {9600, 9999, 5, {"興業", "放送", "通商", "観光", "開発"}},
  };
  return list;
}

const char* const kPrefix2[] = {"北海", "東洋", "日本", "大和", "中央", "三光", "富士", "昭和",
                                "丸栄", "東亜", "関東", "九州", "中部", "帝国", "大東", "第一",
                                "太平", "山陽", "北陸", "東北", "信越", "近畿", "四国", "南海",
                                "相模", "常磐", "三和", "明星", "朝日", "高砂", "日東", "新光",
                                "東邦", "瀬戸", "岩城", "飛鳥", "白鳥", "青葉", "若葉", "長門"};
const char* const kPrefix1[] = {"旭", "錦", "萩", "桜", "葵", "楓", "鶴", "亀", "光", "暁"};
// Three full-width katakana: with a two-kanji ending and a two-kanji prefix, 14 bytes exactly.
const char* const kKana3[] = {"テクノ", "エース", "ライフ", "アトム",
                              "ミライ", "コスモ", "ダイヤ", "サクラ"};
const char* const kHalfKana[] = {"ﾃｸﾉ", "ﾕﾆｵﾝ", "ｱﾙﾌｧ", "ｺｽﾓ", "ｴｰｽ",
                                 "ﾐﾗｲ", "ﾈｸｽﾄ", "ﾗｲﾌ", "ｻﾝﾜ", "ﾄﾗｽﾄ"};

template <std::size_t N>
const char* pick(SplitMix& rng, const char* const (&list)[N]) {
  return list[rng.below(static_cast<int>(N))];
}
const char* pick(SplitMix& rng, const std::vector<const char*>& list) {
  return list[static_cast<std::size_t>(rng.below(static_cast<int>(list.size())))];
}

std::string sj(const char* utf8) { return text::toCp932(utf8); }

// One company name in CP932 (at most 14 bytes before padding).
std::string makeName(SplitMix& rng, const Band& band) {
  const std::string ending = sj(pick(rng, band.endings));
  const double u = rng.uniform();
  if (u < 0.14) {
    // Long form, exactly 14 bytes: [prefix] + three katakana + ending.
    const std::string kana = sj(pick(rng, kKana3));
    const std::size_t rest = 14 - kana.size() - std::min<std::size_t>(ending.size(), 8);
    std::string prefix = rest >= 4 ? sj(pick(rng, kPrefix2)) : rest >= 2 ? sj(pick(rng, kPrefix1)) : "";
    return prefix + kana + ending;
  }
  if (u < 0.28) {
    // Half-width katakana and a kanji ending; a half-width middle dot keeps the length even.
    std::string kana = sj(pick(rng, kHalfKana));
    if ((kana.size() + ending.size()) % 2 != 0) kana += sj("･");
    return kana + ending;
  }
  if (u < 0.38) return sj(pick(rng, kPrefix1)) + ending;
  if (u < 0.46 && ending.size() <= 4) return sj(pick(rng, kPrefix2)) + ending + sj("ＨＤ");
  return sj(pick(rng, kPrefix2)) + ending;
}

// Splits `total` among the bands by weight (largest remainder), each band at least one when
// there are enough stocks, never more than the band's codes.
std::vector<int> allocate(int total) {
  const auto& list = bands();
  const std::size_t n = list.size();
  std::vector<int> count(n, 0);
  int left = total;
  if (total >= static_cast<int>(n)) {
    for (int& c : count) c = 1;
    left -= static_cast<int>(n);
  }
  int weightSum = 0;
  for (const Band& b : list) weightSum += b.weight;
  std::vector<std::pair<int, std::size_t>> remainders;  // (remainder, band), larger first
  int given = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int share = left * list[i].weight / weightSum;
    count[i] += share;
    given += share;
    remainders.push_back({left * list[i].weight % weightSum, i});
  }
  std::stable_sort(remainders.begin(), remainders.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (std::size_t k = 0; given < left; ++k, ++given) ++count[remainders[k % n].second];
  // Never more stocks than codes in a band; the excess goes to bands with room.
  int excess = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const int room = list[i].high - list[i].low + 1;
    if (count[i] > room) {
      excess += count[i] - room;
      count[i] = room;
    }
  }
  for (std::size_t i = 0; excess > 0 && i < n; ++i) {
    const int add = std::min(list[i].high - list[i].low + 1 - count[i], excess);
    count[i] += add;
    excess -= add;
  }
  return count;
}

double startLevel(SplitMix& rng) {
  struct Tier {
    double cumulative, low, high;
  };
  static const Tier tiers[] = {{0.15, 80, 300},     {0.50, 300, 800},    {0.80, 800, 2000},
                               {0.95, 2000, 5000},  {1.00, 5000, 15000}};
  const double u = rng.uniform();
  for (const Tier& t : tiers)
    if (u < t.cumulative) return t.low + (t.high - t.low) * rng.uniform();
  return 1000;
}

int marketFor(char kind, SplitMix& rng) {
  const double u = rng.uniform();
  if (kind == 'W') return u < 0.78 ? 801 : 811;
  if (u < 0.60) return 802;
  if (u < 0.80) return 812;
  if (u < 0.92) return 813;
  return 814;
}

SampleStock makeIndex(char kind, int days, SplitMix& rng) {
  SampleStock index;
  index.code = IndexCode;
  index.name = padName(sj(kind == 'W' ? "総合株価指数" : "店頭株価指数"));
  index.market = kind == 'W' ? 801 : 802;
  index.isIndex = true;
  index.level = 22000 + 6000 * rng.uniform();
  index.sigma = 0.004;
  index.lastDay = days - 1;
  return index;
}

// The name, market and walk parameters of an ordinary stock of an industry.
void describe(SampleStock& s, SplitMix& rng, char kind, const Band& band, int days,
              std::set<std::string>& names) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    s.name = padName(makeName(rng, band));
    if (names.insert(s.name).second) break;
  }
  s.market = marketFor(kind, rng);
  s.level = startLevel(rng);
  s.sigma = 0.008 + 0.02 * rng.uniform();
  s.beta = 0.5 + rng.uniform();
  s.volume = 1 + 3000 * rng.uniform() * rng.uniform() * rng.uniform();
  if (s.level < 300) s.volume *= 3;
  s.tradeChance = rng.chance(0.12) ? 0.55 + 0.4 * rng.uniform() : 1.0;
  s.lastDay = days - 1;
}

// The positions of the ordinary stocks (all but the index at 0) in a random order.
// counts[b] codes of band b, each drawn within its own share of the band, so that the codes
// stay distinct and ascending; `made` describes the stock of each code as it is drawn.
template <class Made>
void eachBandCode(const std::vector<Band>& list, const std::vector<int>& counts, SplitMix& rng,
                  Made made) {
  for (std::size_t b = 0; b < list.size(); ++b) {
    const Band& band = list[b];
    const int count = counts[b];
    const int width = band.high - band.low + 1;
    for (int k = 0; k < count; ++k) {
      const int from = band.low + k * width / count;
      const int to = band.low + (k + 1) * width / count;
      made(band, from + rng.below(to - from));
    }
  }
}

std::vector<std::size_t> shuffledOrdinary(std::size_t size, SplitMix& rng) {
  std::vector<std::size_t> order;
  for (std::size_t i = 1; i < size; ++i) order.push_back(i);
  for (std::size_t i = order.size() - 1; i > 0; --i)
    std::swap(order[i], order[static_cast<std::size_t>(rng.below(static_cast<int>(i) + 1))]);
  return order;
}

void makeSplit(SampleStock& split, SplitMix& rng, int days) {
  split.level = 11000 + 2000 * rng.uniform();
  split.sigma = 0.012;
  split.tradeChance = 1.0;
  split.splitDay = days * 3 / 5;
  if (split.splitDay == 0) split.splitDay = 1;
}

// A code with letters: mostly three digits and a letter, nearly always A, as the first new
// listings got them (130A); now and then a letter in the second place as well (2X3C, 5K21).
std::string letterCode(SplitMix& rng) {
  static const char Letters[] = "ACDFGHJKLMNPRSTUWXY";
  auto letter = [&] { return Letters[rng.below(static_cast<int>(sizeof Letters) - 1)]; };
  std::string code;
  if (rng.chance(0.8)) {
    code = std::to_string(130 + rng.below(870));
    code += rng.chance(0.7) ? 'A' : letter();
  } else {
    code += static_cast<char>('1' + rng.below(9));
    code += letter();
    code += static_cast<char>('0' + rng.below(10));
    code += rng.chance(0.5) ? static_cast<char>('0' + rng.below(10)) : letter();
  }
  return code;
}

// The industry a code with letters belongs to, by its leading digits.
const Band& bandOf(const std::string& code) {
  int value = (code[0] - '0') * 1000;
  if (code[1] <= '9') value += (code[1] - '0') * 100 + (code[2] - '0') * 10;
  for (const Band& b : bands())
    if (value <= b.high) return b;
  return bands().back();
}

}  // namespace

std::string padName(const std::string& cp932) {
  std::string name;
  for (std::size_t pos = 0; pos < cp932.size();) {
    const text::Cp932Char ch = text::decodeAt(cp932, pos);
    const std::size_t len = static_cast<std::size_t>(std::max(ch.bytes, 1));
    if (name.size() + len > 14) break;
    name.append(cp932, pos, len);
    pos += len;
  }
  const std::string blank = "\x81\x40";  // full-width space: not white space to the reader
  while (name.size() + 2 <= 14) name += blank;
  if (name.size() < 14) name += '_';
  return name;
}

std::vector<SampleStock> buildUniverse(char kind, int stocks, int days, std::uint64_t seed) {
  SplitMix rng(mixSeed(seed, static_cast<std::uint64_t>(kind), 1));
  std::vector<SampleStock> out;
  if (stocks <= 0 || days <= 0) return out;
  out.push_back(makeIndex(kind, days, rng));

  const auto& list = bands();
  const std::vector<int> counts = allocate(stocks - 1);
  std::set<std::string> names;
  eachBandCode(list, counts, rng, [&](const Band& band, int code) {
    SampleStock s;
    s.code = code;
    describe(s, rng, kind, band, days, names);
    out.push_back(s);
  });

  // A few listings during the period, a few delistings and one 10-for-1 split, on stocks chosen
  // among the ordinary ones (never the index, each stock at most one of these).
  const int ordinary = static_cast<int>(out.size()) - 1;
  if (ordinary >= 1 && days >= 2) {
    const std::vector<std::size_t> order = shuffledOrdinary(out.size(), rng);
    std::size_t next = 0;
    makeSplit(out[order[next++]], rng, days);
    if (days >= 8) {
      const int listings = std::max(1, ordinary / 40);
      const int delistings = std::max(1, ordinary / 60);
      for (int i = 0; i < listings && next < order.size(); ++i)
        out[order[next++]].firstDay = days / 4 + rng.below(days / 2);
      for (int i = 0; i < delistings && next < order.size(); ++i)
        out[order[next++]].lastDay = days / 4 + rng.below(days / 2);
    }
  }
  return out;
}

std::vector<SampleStock> buildWideUniverse(char kind, int stocks, int days, std::uint64_t seed) {
  SplitMix rng(mixSeed(seed, wideStream(kind), 1));
  std::vector<SampleStock> out;
  if (stocks <= 0 || days <= 0) return out;
  out.push_back(makeIndex(kind, days, rng));
  out[0].code = 0;
  out[0].wideCode = std::to_string(IndexCode);

  // All-digit codes spread over the industries as in the classic market; the rest, and at least
  // a sixteenth, are codes with letters, as new listings get them today.
  const auto& list = bands();
  int digitRoom = 0;
  for (const Band& b : list) digitRoom += b.high - b.low + 1;
  const int ordinary = stocks - 1;
  const int lettered = std::min(ordinary, std::max((ordinary + 15) / 16, ordinary - digitRoom));
  const std::vector<int> counts = allocate(ordinary - lettered);
  std::set<std::string> names;
  eachBandCode(list, counts, rng, [&](const Band& band, int code) {
    SampleStock s;
    s.wideCode = std::to_string(code);
    describe(s, rng, kind, band, days, names);
    out.push_back(s);
  });
  std::set<std::string> letterCodes;
  while (static_cast<int>(letterCodes.size()) < lettered) letterCodes.insert(letterCode(rng));
  for (const std::string& code : letterCodes) {
    SampleStock s;
    s.wideCode = code;
    describe(s, rng, kind, bandOf(code), days, names);
    out.push_back(s);
  }
  // Byte order of the four characters is the code order: digits before letters.
  std::sort(out.begin() + 1, out.end(),
            [](const SampleStock& a, const SampleStock& b) { return a.wideCode < b.wideCode; });
  for (SampleStock& s : out) s.tradeChance = 1.0;  // the whole market, every day

  if (ordinary >= 1 && days >= 2) {
    const std::vector<std::size_t> order = shuffledOrdinary(out.size(), rng);
    std::size_t next = 0;
    makeSplit(out[order[next++]], rng, days);
    // Heavyweights between 36,000 and 360,000 yen (most near the low end); they keep within
    // half and twice their first price, so a few may cross 32,767 on the way.
    const int heavy = (ordinary + 99) / 100;
    for (int i = 0; i < heavy && next < order.size(); ++i) {
      SampleStock& s = out[order[next++]];
      const double u = rng.uniform();
      s.level = 36000 + 324000 * u * u;
      s.lowBound = s.level / 2;
      s.highBound = s.level * 2;
      s.volume = 1 + 300 * rng.uniform();
    }
    // Stocks whose ordinary day is millions of shares; a busy day passes 16,777,216.
    const int busy = (ordinary + 199) / 200;
    for (int i = 0; i < busy && next < order.size(); ++i)
      out[order[next++]].volume = 2e6 + 1.8e7 * rng.uniform();
  }
  return out;
}

}  // namespace pelinor::sample
