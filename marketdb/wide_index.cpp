#include "marketdb/wide_index.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "marketdb/layout.h"
#include "marketdb/index_words.h"
#include "platform/text/cp932.h"

namespace marketdb {

namespace {

using pelinor::text::format;

// Every refusal also says where the previous generation of the file is.
WideCheck refusal(int line, std::string message) {
  message += format(SJ("。前の世代は %s.bak です").c_str(), WideIndexFileName);
  return {false, line, std::move(message)};
}

WideCheck lineRefusal(int line, const char* what) {
  return refusal(line, format(SJ("%s の%d行目%sので処理しません").c_str(), WideIndexFileName,
                              line, what));
}

}  // namespace

std::string formatWideIndexLine(const WideIndexEntry& e) {
  std::string word = e.name.substr(0, std::min<std::size_t>(14, e.name.find('\0')));
  for (char& c : word)
    if (isIndexBlank(c)) c = '_';
  if (word.empty()) word.push_back('_');
  return format("%1d %1d %4s %14s %5d %3d\n", e.deleted, e.section, codeText(e.code).c_str(),
                word.c_str(), e.slot, e.change);
}

std::string formatWideIndex(std::vector<WideIndexEntry> entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const WideIndexEntry& a, const WideIndexEntry& b) { return a.code < b.code; });
  std::string out = wideMagicLine(WideText::Index);
  for (const WideIndexEntry& e : entries) out += formatWideIndexLine(e);
  return out;
}

WideCheck parseWideIndex(const std::string& text, std::uint32_t capacity,
                         std::int64_t recordsAssigned, std::vector<WideIndexEntry>& out) {
  out.clear();
  std::vector<WideIndexEntry> entries;
  // One entry a line: made room for at once, so that 10,000 entries are not moved again and
  // again as the list grows.
  entries.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  const WideCheck check = parseWideIndex(std::string_view(text), capacity, recordsAssigned,
                                         [&entries](const WideIndexEntry& e) {
                                           entries.push_back(e);
                                         });
  if (check.ok) out = std::move(entries);
  return check;
}

WideCheck parseWideIndex(std::string_view text, std::uint32_t capacity,
                         std::int64_t recordsAssigned,
                         const std::function<void(const WideIndexEntry&)>& onEntry) {
  std::size_t at = 0;
  WideCheck magic = checkWideMagic(text, WideText::Index, WideIndexFileName, at);
  if (!magic.ok) return magic;

  const int maxSlot = static_cast<int>(std::min<std::uint32_t>(capacity, WideMaxCapacity)) - 1;
  std::vector<int> slotLine(static_cast<std::size_t>(std::max(maxSlot + 1, 0)), 0);
  int stocks = 0;
  StockCode previous = NoStockCode;
  int previousLine = 0;
  int lineNo = 1;
  std::vector<std::string_view> w;
  std::string_view line;
  while (nextIndexLine(text, at, line)) {
    ++lineNo;
    indexWords(line, w);
    if (w.empty()) continue;

    WideIndexEntry e;
    if (w.size() != 6 || !wholeIndexInt(w[0], e.deleted) || !wholeIndexInt(w[1], e.section) ||
        w[3].size() > 14 || w[3].find('\0') != std::string_view::npos ||
        !wholeIndexInt(w[5], e.change))
      return lineRefusal(lineNo, SJ("が読めない").c_str());
    e.code = codeFromText(w[2]);
    if (e.code == NoStockCode)
      return refusal(lineNo, format(SJ("%s の%d行目のｺｰﾄﾞ%.*sは使えないｺｰﾄﾞなので処理しません").c_str(),
                                    WideIndexFileName, lineNo,
                                    static_cast<int>(std::min<std::size_t>(w[2].size(), 20)),
                                    w[2].data()));
    if (stocks > 0 && e.code <= previous) {
      if (e.code == previous)
        return refusal(lineNo, format(SJ("%s の%d行目のｺｰﾄﾞ%sは%d行目と同じなので処理しません").c_str(),
                                      WideIndexFileName, lineNo, codeText(e.code).c_str(),
                                      previousLine));
      return refusal(lineNo, format(SJ("%s の%d行目のｺｰﾄﾞ%sが%d行目の%sより前に来るべきなので処理しません").c_str(),
                                    WideIndexFileName, lineNo, codeText(e.code).c_str(),
                                    previousLine, codeText(previous).c_str()));
    }
    if (!wholeIndexInt(w[4], e.slot) || e.slot < 0 || e.slot > maxSlot)
      return refusal(lineNo,
                     format(SJ("%s の%d行目の記録位置%.*sが範囲(0..%d)外なので処理しません").c_str(),
                            WideIndexFileName, lineNo,
                            static_cast<int>(std::min<std::size_t>(w[4].size(), 20)),
                            w[4].data(), maxSlot));
    int& used = slotLine[static_cast<std::size_t>(e.slot)];
    if (used != 0)
      return refusal(lineNo, format(SJ("%s の%d行目の記録位置%dは%d行目と重なるので処理しません").c_str(),
                                    WideIndexFileName, lineNo, e.slot, used));
    used = lineNo;
    e.name = std::string(w[3]);
    onEntry(e);
    ++stocks;
    previous = e.code;
    previousLine = lineNo;
  }

  // Slots are handed out one after another and never freed: they are exactly 0..n-1, and n is
  // the header's records assigned. A slot no line uses means a lost line, whose history a new
  // stock would otherwise be given.
  const std::int64_t expected = recordsAssigned >= 0 ? recordsAssigned : stocks;
  int missing = 0;
  while (missing < stocks && slotLine[static_cast<std::size_t>(missing)] != 0) ++missing;
  if (missing < stocks || stocks < expected) {
    return refusal(0, format(SJ("%s に記録位置%dの行がありません(%d行、%s の割当済み記録位置は%lld個)。"
                                "行が失われた可能性があるので処理しません")
                                 .c_str(),
                             WideIndexFileName, missing, stocks, WidePriceFileName,
                             static_cast<long long>(expected)));
  }
  if (stocks > expected) {
    return refusal(0, format(SJ("%s の%d行に対し %s の割当済み記録位置は%lld個なので処理しません")
                                 .c_str(),
                             WideIndexFileName, stocks, WidePriceFileName,
                             static_cast<long long>(expected)));
  }
  return {};
}

}  // namespace marketdb
