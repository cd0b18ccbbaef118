#include "marketdb/index_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "marketdb/bytes.h"
#include "marketdb/files.h"
#include "marketdb/index_words.h"
#include "marketdb/layout.h"
#include "marketdb/wide_header.h"
#include "marketdb/wide_index.h"
#include "platform/text/cp932.h"

namespace marketdb {

namespace {

using pelinor::text::format;

constexpr int MaxSlot = MaxStocks - 2;  // 3018: one block per stock

// A finite number taken whole by the reader's %f.
bool wholeNumber(std::string_view w) {
  // A plain decimal is taken by from_chars exactly when strtof takes it whole; anything else
  // (a sign '+', hexadecimal, a value out of range) is left to strtof itself.
  float quick = 0;
  const auto [stop, ec] = std::from_chars(w.data(), w.data() + w.size(), quick);
  if (ec == std::errc() && stop == w.data() + w.size() && std::isfinite(quick)) return true;
  const std::string s(w);
  char* end = nullptr;
  const float v = std::strtof(s.c_str(), &end);
  return end == s.c_str() + s.size() && std::isfinite(v);
}

// Every refusal also says where the previous generation of the file is.
IndexCheck refusal(int line, std::string message) {
  message += format(SJ("。前の世代は %s.bak です").c_str(), IndexFileName);
  return {false, line, std::move(message)};
}

}  // namespace

IndexCheck checkIndexText(const std::string& text, std::int64_t priceFileBytes) {
  // Slots are distinct and within 0..MaxSlot, which also holds the table to its 3019 stocks.
  std::vector<int> slotLine(MaxSlot + 1, 0);
  std::vector<std::pair<float, int>> codes;  // code, line
  int largest = -1;
  int lineNo = 0;
  std::size_t at = 0;
  std::vector<std::string_view> w;
  std::string_view line;
  while (nextIndexLine(text, at, line)) {
    ++lineNo;
    indexWords(line, w);
    if (w.empty()) continue;

    int deleted = 0, section = 0, slot = 0, change = 0;
    if (w.size() != 6 || !wholeIndexInt(w[0], deleted) || !wholeIndexInt(w[1], section) ||
        !wholeNumber(w[2]) || w[3].size() > 14 || !wholeIndexInt(w[5], change)) {
      return refusal(lineNo, format(SJ("%s の%d行目が読めないので処理しません").c_str(),
                                    IndexFileName, lineNo));
    }
    if (!wholeIndexInt(w[4], slot) || slot < 0 || slot > MaxSlot) {
      return refusal(lineNo,
                     format(SJ("%s の%d行目の記録位置%.*sが範囲(0..%d)外なので処理しません")
                                .c_str(),
                            IndexFileName, lineNo, static_cast<int>(std::min<std::size_t>(
                                                       w[4].size(), 20)),
                            w[4].data(), MaxSlot));
    }
    if (slotLine[static_cast<std::size_t>(slot)] != 0) {
      return refusal(lineNo,
                     format(SJ("%s の%d行目の記録位置%dは%d行目と重なるので処理しません").c_str(),
                            IndexFileName, lineNo, slot,
                            slotLine[static_cast<std::size_t>(slot)]));
    }
    // Only a whole code 1000..9999 has a stock: the store never writes another, and the
    // programs would show one as no stock at all.
    const float code = std::strtof(std::string(w[2]).c_str(), nullptr);
    if (!(code >= 1000 && code <= 9999) || code != std::floor(code)) {
      return refusal(lineNo,
                     format(SJ("%s の%d行目のｺｰﾄﾞ%.*sが1000から9999の整数でないので処理しません")
                                .c_str(),
                            IndexFileName, lineNo,
                            static_cast<int>(std::min<std::size_t>(w[2].size(), 20)),
                            w[2].data()));
    }
    slotLine[static_cast<std::size_t>(slot)] = lineNo;
    largest = std::max(largest, slot);
    codes.emplace_back(code, lineNo);
  }

  // A code listed twice: the readers would find one of the two histories only.
  std::sort(codes.begin(), codes.end());
  for (std::size_t i = 1; i < codes.size(); ++i) {
    if (codes[i].first != codes[i - 1].first) continue;
    const int first = std::min(codes[i].second, codes[i - 1].second);
    const int second = std::max(codes[i].second, codes[i - 1].second);
    return refusal(second, format(SJ("%s の%d行目のｺｰﾄﾞ%gは%d行目と同じなので処理しません").c_str(),
                                  IndexFileName, second, static_cast<double>(codes[i].first),
                                  first));
  }
  // The slots are handed out one after another and never freed, so they are exactly
  // 0..n-1: a slot that no line uses means a lost line, and a new stock would be given a slot
  // after the largest, leaving that history without its stock.
  const int stocks = static_cast<int>(codes.size());
  if (largest + 1 != stocks) {
    int missing = 0;
    while (missing <= largest && slotLine[static_cast<std::size_t>(missing)] != 0) ++missing;
    return refusal(0, format(SJ("%s に記録位置%dの行がありません(%d行で記録位置は%dまで)。"
                                "行が失われた可能性があるので処理しません")
                                 .c_str(),
                             IndexFileName, missing, stocks, largest));
  }

  const std::int64_t heldBlocks = priceFileBytes < 0 ? 0
                                  : (priceFileBytes + HistoryBlockBytes - 1) / HistoryBlockBytes;
  if (heldBlocks > largest + 1) {
    return refusal(0, format(SJ("%s の%d行が使う記録位置は%d個ですが %s には%lld個のﾌﾞﾛｯｸがあります。"
                                "行が失われた可能性があるので処理しません")
                                 .c_str(),
                             IndexFileName, lineNo, largest + 1, PriceFileName,
                             static_cast<long long>(heldBlocks)));
  }
  return {};
}

IndexCheck checkWideIndexFile(const std::function<void(const WideIndexEntry&)>& onEntry,
                              bool& found) {
  const DatabaseLayout& layout = openLayout();
  LargeText text;
  found = opened(readWholeFile(layout.indexFile, text, false));
  if (!found) return {};
  // The record slots are checked against the header's capacity and records assigned; a
  // damaged header is refused here too, since every slot's place depends on it.
  std::int64_t assigned = -1;
  std::uint32_t capacity = static_cast<std::uint32_t>(layout.maxStocks);
  if (::access(layout.priceFile, F_OK) == 0) {
    WideHeader header;
    const WideCheck h = readWideHeader(layout.priceFile, header);
    if (!h.ok) return {false, h.line, h.message};
    assigned = header.recordsAssigned;
    capacity = header.capacity;
  }
  const WideCheck c = parseWideIndex(text.view(), capacity, assigned, onEntry);
  return {c.ok, c.line, c.message};
}

IndexCheck checkIndexFile() {
  const DatabaseLayout& layout = openLayout();
  if (layout.kind == DatabaseKind::Wide) {
    bool found = false;
    return checkWideIndexFile([](const WideIndexEntry&) {}, found);
  }
  std::string text;
  if (!opened(readWholeFile(layout.indexFile, text, false))) return {};
  struct stat st {};
  const std::int64_t bytes =
      ::stat(PriceFileName, &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
  return checkIndexText(text, bytes);
}

}  // namespace marketdb
