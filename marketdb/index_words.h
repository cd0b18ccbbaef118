// The words of an index line, split and read the way the C library's scanf would take them, so
// that the index checks pass exactly the lines the readers take whole.
#pragma once

#include <charconv>
#include <string_view>
#include <vector>

namespace marketdb {

inline bool isIndexBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The line of `text` that starts at `at` (without its line feed), moving `at` past it; false
// once the text is read.
inline bool nextIndexLine(std::string_view text, std::size_t& at, std::string_view& line) {
  if (at >= text.size()) return false;
  std::size_t end = text.find('\n', at);
  if (end == std::string_view::npos) end = text.size();
  line = text.substr(at, end - at);
  at = end + 1;
  return true;
}

// The words of one line, separated by blanks.
inline void indexWords(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isIndexBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !isIndexBlank(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
}

// A whole int, as %d takes the whole word: one sign at most ("+-1" stops after the '+').
inline bool wholeIndexInt(std::string_view w, int& value) {
  // Up to nine plain digits, as nearly every field is: added up directly.
  if (!w.empty() && w.size() <= 9) {
    int v = 0;
    std::size_t i = 0;
    for (; i < w.size() && w[i] >= '0' && w[i] <= '9'; ++i) v = v * 10 + (w[i] - '0');
    if (i == w.size()) {
      value = v;
      return true;
    }
  }
  if (!w.empty() && w[0] == '+') {
    w.remove_prefix(1);
    if (!w.empty() && w[0] == '-') return false;
  }
  if (w.empty() || w[0] == '+') return false;
  const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), value);
  return ec == std::errc() && end == w.data() + w.size();
}

}  // namespace marketdb
