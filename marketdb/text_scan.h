// The database's text files read from memory with the conversions of the C library's
// formatted input, without a library call per value.
//
// Each scan converts exactly as fscanf with the same format would on a stream positioned where
// the previous scan stopped: the same values, the same count (EOF, -1, when the input ends
// before the first conversion) and the same position afterwards. Plain tokens (short whole
// numbers, decimals, words) are converted here; anything else (exponents, long digit strings,
// infinities, a word longer than its field, a value run into the next one) makes that one scan
// fall back to fscanf on a memory stream of the same text.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace marketdb {

class TextScanner {
 public:
  explicit TextScanner(std::string text);
  ~TextScanner();
  TextScanner(const TextScanner&) = delete;
  TextScanner& operator=(const TextScanner&) = delete;

  // fscanf(fp, "%d %d %f %14s %d %d", ...): a line of pelinoru.idx.
  int indexLine(int& a, int& b, float& c, char word[15], int& d, int& e);
  // fscanf(fp, "%d %f %d %d\n", ...): line 1 of pelinoru.sys.
  int systemLine1(int& a, float& b, int& c, int& d);
  // fscanf(fp, "%d %d ... %d" (count values) followed by "\n" when newline is set, ...).
  int ints(int* values, int count, bool newline);

  std::size_t position() const { return pos_; }

 private:
  enum class Step { Converted, End, Fallback };
  void skipSpace();
  Step integer(int& out);
  Step decimal(float& out);
  Step word(char* out, int width);
  std::FILE* streamAt(std::size_t pos);
  void leaveStream(std::FILE* fp);

  std::string text_;
  std::size_t pos_ = 0;
  std::FILE* stream_ = nullptr;  // made on the first fallback
};

}  // namespace marketdb
