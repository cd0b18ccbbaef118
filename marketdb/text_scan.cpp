#include "marketdb/text_scan.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace marketdb {
namespace {

// isspace in the C locale.
bool space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

TextScanner::TextScanner(std::string text) : text_(std::move(text)) {}

TextScanner::~TextScanner() {
  if (stream_) std::fclose(stream_);
}

void TextScanner::skipSpace() {
  while (pos_ < text_.size() && space(static_cast<unsigned char>(text_[pos_]))) ++pos_;
}

// A value is converted here only when it ends where a blank or the text ends; a value run
// into anything else is left to the library, which knows how much of it to take.
TextScanner::Step TextScanner::integer(int& out) {
  skipSpace();
  if (pos_ >= text_.size()) return Step::End;
  std::size_t p = pos_;
  bool negative = false;
  if (text_[p] == '-' || text_[p] == '+') negative = text_[p++] == '-';
  const std::size_t first = p;
  long value = 0;
  while (p < text_.size() && digit(static_cast<unsigned char>(text_[p])) && p - first < 10)
    value = value * 10 + (text_[p++] - '0');
  const std::size_t digits = p - first;
  if (digits == 0 || digits > 9) return Step::Fallback;  // nine digits always fit an int
  if (p < text_.size() && !space(static_cast<unsigned char>(text_[p]))) return Step::Fallback;
  out = static_cast<int>(negative ? -value : value);
  pos_ = p;
  return Step::Converted;
}

TextScanner::Step TextScanner::decimal(float& out) {
  skipSpace();
  if (pos_ >= text_.size()) return Step::End;
  std::size_t p = pos_;
  if (text_[p] == '-' || text_[p] == '+') ++p;
  std::size_t digits = 0;
  while (p < text_.size() && digit(static_cast<unsigned char>(text_[p]))) ++p, ++digits;
  if (p < text_.size() && text_[p] == '.') {
    ++p;
    while (p < text_.size() && digit(static_cast<unsigned char>(text_[p]))) ++p, ++digits;
  }
  if (digits == 0 || p - pos_ > 40) return Step::Fallback;
  if (p < text_.size() && !space(static_cast<unsigned char>(text_[p]))) return Step::Fallback;
  // The library converts the characters it took with strtof. from_chars rounds the same way
  // (both correctly); what it refuses (a value out of range, a bare sign) goes to strtof.
  const char* begin = text_.data() + pos_;
  const char* end = text_.data() + p;
  const char* digits_from = *begin == '+' ? begin + 1 : begin;
  float value = 0;
  const std::from_chars_result r = std::from_chars(digits_from, end, value);
  if (r.ec == std::errc() && r.ptr == end) {
    out = value;
  } else {
    char token[48];
    std::memcpy(token, begin, p - pos_);
    token[p - pos_] = '\0';
    out = std::strtof(token, nullptr);
  }
  pos_ = p;
  return Step::Converted;
}

TextScanner::Step TextScanner::word(char* out, int width) {
  skipSpace();
  if (pos_ >= text_.size()) return Step::End;
  std::size_t p = pos_;
  while (p < text_.size() && !space(static_cast<unsigned char>(text_[p])) &&
         p - pos_ < static_cast<std::size_t>(width))
    ++p;
  if (p < text_.size() && !space(static_cast<unsigned char>(text_[p]))) return Step::Fallback;
  std::memcpy(out, text_.data() + pos_, p - pos_);
  out[p - pos_] = '\0';
  pos_ = p;
  return Step::Converted;
}

std::FILE* TextScanner::streamAt(std::size_t pos) {
  if (!stream_) stream_ = ::fmemopen(text_.data(), text_.size(), "r");
  if (!stream_) return nullptr;
  std::clearerr(stream_);
  if (std::fseek(stream_, static_cast<long>(pos), SEEK_SET) != 0) return nullptr;
  return stream_;
}

void TextScanner::leaveStream(std::FILE* fp) {
  const long at = std::ftell(fp);
  if (at >= 0) pos_ = static_cast<std::size_t>(at);
}

// Runs the steps of one scan; on a step the library must take, the whole scan is done again
// by the library from where it began (the values converted so far come out the same).
#define PELINOR_SCAN_STEP(expr)                            \
  do {                                                     \
    const Step step = (expr);                              \
    if (step == Step::End) return count == 0 ? EOF : count; \
    if (step == Step::Fallback) goto library;              \
    ++count;                                               \
  } while (0)

int TextScanner::indexLine(int& a, int& b, float& c, char w[15], int& d, int& e) {
  const std::size_t start = pos_;
  int count = 0;
  PELINOR_SCAN_STEP(integer(a));
  PELINOR_SCAN_STEP(integer(b));
  PELINOR_SCAN_STEP(decimal(c));
  PELINOR_SCAN_STEP(word(w, 14));
  PELINOR_SCAN_STEP(integer(d));
  PELINOR_SCAN_STEP(integer(e));
  return count;
library:
  if (std::FILE* fp = streamAt(start)) {
    const int r = std::fscanf(fp, "%d %d %f %14s %d %d", &a, &b, &c, w, &d, &e);
    leaveStream(fp);
    return r;
  }
  return count;
}

int TextScanner::systemLine1(int& a, float& b, int& c, int& d) {
  const std::size_t start = pos_;
  int count = 0;
  PELINOR_SCAN_STEP(integer(a));
  PELINOR_SCAN_STEP(decimal(b));
  PELINOR_SCAN_STEP(integer(c));
  PELINOR_SCAN_STEP(integer(d));
  skipSpace();  // the format's closing "\n" takes every blank and line feed after the line
  return count;
library:
  if (std::FILE* fp = streamAt(start)) {
    const int r = std::fscanf(fp, "%d %f %d %d\n", &a, &b, &c, &d);
    leaveStream(fp);
    return r;
  }
  return count;
}

int TextScanner::ints(int* values, int count_, bool newline) {
  const std::size_t start = pos_;
  int count = 0;
  for (int i = 0; i < count_; ++i) PELINOR_SCAN_STEP(integer(values[i]));
  if (newline) skipSpace();
  return count;
library:
  if (std::FILE* fp = streamAt(start)) {
    // The same conversions one value at a time: a directive of blanks between two values
    // matches as it would inside one format.
    int r = 0;
    for (int i = 0; i < count_; ++i) {
      const int one = std::fscanf(fp, i == 0 ? "%d" : " %d", &values[i]);
      if (one != 1) {
        if (r == 0 && one == EOF) r = EOF;
        break;
      }
      ++r;
    }
    if (newline && r == count_) std::fscanf(fp, " ");
    leaveStream(fp);
    return r;
  }
  return count;
}

#undef PELINOR_SCAN_STEP

}  // namespace marketdb
