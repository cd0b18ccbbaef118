#include "marketdb/exchange_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "marketdb/wide_text.h"

namespace marketdb {
namespace {

constexpr int ClassicRankingRows = 2399;

bool wide(const DatabaseLayout& layout) { return layout.kind == DatabaseKind::Wide; }

std::string printed(const char* format, const char* text) {
  char out[64];
  std::snprintf(out, sizeof out, format, text);
  return out;
}

std::string printed(const char* format, int value) {
  char out[64];
  std::snprintf(out, sizeof out, format, value);
  return out;
}

}  // namespace

std::string exchangeCodeText(const DatabaseLayout& layout, StockCode code) {
  if (wide(layout)) return printed("%4s", codeText(code).c_str());
  return printed("%4d", codeNumber(code));
}

StockCode readExchangeCode(const DatabaseLayout& layout, std::string_view word) {
  if (wide(layout)) return codeFromText(word);
  // The classic column is a number as the C library reads one; the whole word must be it.
  const std::string text(word);
  if (text.empty()) return NoStockCode;
  char* end = nullptr;
  const float number = std::strtof(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return NoStockCode;
  return codeFromNumber(number);
}

std::string exchangeTitleDate(const DatabaseLayout& layout, std::int32_t date) {
  if (wide(layout)) return printed("%08d", static_cast<int>(date));
  return layout.formatDate(date);
}

std::string exchangeColumnDate(const DatabaseLayout& layout, std::int32_t date) {
  if (wide(layout)) return printed("%8d", static_cast<int>(date));
  return layout.formatDate(date, ' ');
}

std::int32_t readTypedDate(const DatabaseLayout& layout, double typed) {
  if (!wide(layout)) return layout.readDate(typed);
  if (typed == 0) return 0;
  if (!(typed >= 19000101 && typed <= 20991231) || typed != std::trunc(typed)) return -1;
  const auto date = static_cast<std::int32_t>(typed);
  return isWideDate(date) ? date : -1;
}

int rankingRowLimit(const DatabaseLayout& layout) {
  return wide(layout) ? layout.maxStocks : ClassicRankingRows;
}

}  // namespace marketdb
