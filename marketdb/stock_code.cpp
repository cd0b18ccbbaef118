#include "marketdb/stock_code.h"

#include <cmath>

namespace marketdb {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isDigitOrLetter(char c) { return isDigit(c) || isCodeLetter(c); }

bool fitsGrammar(char a, char b, char c, char d) {
  return a >= '1' && a <= '9' && isDigitOrLetter(b) && isDigit(c) && isDigitOrLetter(d);
}

StockCode pack(char a, char b, char c, char d) {
  return StockCode{static_cast<unsigned char>(a)} << 24 |
         StockCode{static_cast<unsigned char>(b)} << 16 |
         StockCode{static_cast<unsigned char>(c)} << 8 | StockCode{static_cast<unsigned char>(d)};
}

char charAt(StockCode code, int place) {  // place 0 is the first character
  return static_cast<char>((code >> (24 - 8 * place)) & 0xFF);
}

}  // namespace

bool isCodeLetter(char c) {
  switch (c) {
    case 'A': case 'C': case 'D': case 'F': case 'G': case 'H': case 'J': case 'K': case 'L':
    case 'M': case 'N': case 'P': case 'R': case 'S': case 'T': case 'U': case 'W': case 'X':
    case 'Y':
      return true;
    default:
      return false;
  }
}

StockCode codeFromText(std::string_view s) {
  if (s.size() != 4 || !fitsGrammar(s[0], s[1], s[2], s[3])) return NoStockCode;
  return pack(s[0], s[1], s[2], s[3]);
}

StockCode codeFromSource(std::string_view s) {
  if (s.size() == 5) {
    if (s[4] != '0') return NoStockCode;
    s.remove_suffix(1);
  }
  return codeFromText(s);
}

bool isValidCode(StockCode code) {
  return fitsGrammar(charAt(code, 0), charAt(code, 1), charAt(code, 2), charAt(code, 3));
}

std::string codeText(StockCode code) {
  if (!isValidCode(code)) return {};
  return {charAt(code, 0), charAt(code, 1), charAt(code, 2), charAt(code, 3)};
}

std::string codeSourceText(StockCode code) {
  std::string text = codeText(code);
  if (!text.empty()) text += '0';
  return text;
}

StockCode codeFromNumber(double number) {
  // The comparisons are false for NaN.
  if (!(number >= 1000.0 && number <= 9999.0) || number != std::trunc(number)) return NoStockCode;
  const int n = static_cast<int>(number);
  return pack(static_cast<char>('0' + n / 1000), static_cast<char>('0' + n / 100 % 10),
              static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10));
}

int codeNumber(StockCode code) {
  if (!isValidCode(code)) return 0;
  int n = 0;
  for (int place = 0; place < 4; ++place) {
    const char c = charAt(code, place);
    if (!isDigit(c)) return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace marketdb
