#include "marketdb/exchange_text.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace marketdb {
namespace {

constexpr int ClassicRankingRows = 2399;

bool wide(const DatabaseLayout& layout) { return layout.kind == DatabaseKind::Wide; }

std::string printed(const char* format, const char* text) {
  char out[64];
  std::snprintf(out, sizeof out, format, text);
  return out;
}

}  // namespace

std::string exchangeCodeText(const DatabaseLayout& layout, StockCode code) {
  return printed("%4s", layout.formatCode(code).c_str());
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

int rankingRowLimit(const DatabaseLayout& layout) {
  return wide(layout) ? layout.maxStocks : ClassicRankingRows;
}

}  // namespace marketdb
