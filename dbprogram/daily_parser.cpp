#include "dbprogram/daily_parser.h"

#include <charconv>
#include <cstring>
#include <string>

namespace dbprogram {

namespace {

constexpr const char* LineFormat = "%1s%14s%1s,%f,%f,%f,%f,%f,%f,%f,%f,%f";

// White space as the C locale's isspace has it.
bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

DailyRead readDailyFields(std::FILE* f, DailyFields& r) {
  const int n = std::fscanf(f, LineFormat, r.openMark, r.name, r.closeMark, &r.open, &r.high,
                            &r.low, &r.close, &r.change, &r.volume, &r.date, &r.market,
                            &r.code10);
  if (n == 12) return DailyRead::Line;
  if (n == EOF && !std::ferror(f)) return DailyRead::End;
  return DailyRead::Malformed;
}

DailyRead DailyReader::next(DailyFields& r) {
  const char* const begin = text_.data();
  const std::size_t size = text_.size();
  std::size_t p = pos_;
  while (p < size && isSpace(static_cast<unsigned char>(begin[p]))) ++p;
  if (p == size) {
    pos_ = p;
    return DailyRead::End;
  }

  // The marks and the name: %1s, %14s, %1s, then the comma. Values are only stored once the
  // whole line is known to take the direct way.
  std::size_t q = p;
  const char openMark = begin[q++];
  while (q < size && isSpace(static_cast<unsigned char>(begin[q]))) ++q;
  const std::size_t nameStart = q;
  while (q < size && q - nameStart < 14 && !isSpace(static_cast<unsigned char>(begin[q]))) ++q;
  const std::size_t nameLength = q - nameStart;
  while (q < size && isSpace(static_cast<unsigned char>(begin[q]))) ++q;
  if (nameLength == 0 || q >= size) return throughStream(r);
  const char closeMark = begin[q++];
  if (q >= size || begin[q] != ',') return throughStream(r);
  ++q;

  // Nine numbers of the shape -?digits(.digits)?, each but the last followed by a comma, the
  // last by white space or the end.
  float values[9];
  for (int k = 0; k < 9; ++k) {
    const std::size_t start = q;
    if (q < size && begin[q] == '-') ++q;
    const std::size_t digits = q;
    while (q < size && isDigit(begin[q])) ++q;
    if (q == digits) return throughStream(r);
    if (q < size && begin[q] == '.') {
      const std::size_t fraction = ++q;
      while (q < size && isDigit(begin[q])) ++q;
      if (q == fraction) return throughStream(r);
    }
    const auto [end, ec] = std::from_chars(begin + start, begin + q, values[k]);
    if (ec != std::errc() || end != begin + q) return throughStream(r);
    if (k < 8) {
      if (q >= size || begin[q] != ',') return throughStream(r);
      ++q;
    } else if (q < size && !isSpace(static_cast<unsigned char>(begin[q]))) {
      return throughStream(r);
    }
  }

  r.openMark[0] = openMark;
  r.openMark[1] = '\0';
  std::memcpy(r.name, begin + nameStart, nameLength);
  r.name[nameLength] = '\0';
  r.closeMark[0] = closeMark;
  r.closeMark[1] = '\0';
  r.open = values[0];
  r.high = values[1];
  r.low = values[2];
  r.close = values[3];
  r.change = values[4];
  r.volume = values[5];
  r.date = values[6];
  r.market = values[7];
  r.code10 = values[8];
  pos_ = q;
  return DailyRead::Line;
}

// fscanf itself, on the rest of the text; %n gives the place where a whole line ended.
DailyRead DailyReader::throughStream(DailyFields& r) {
  const std::size_t rest = text_.size() - pos_;
  std::FILE* f = ::fmemopen(const_cast<char*>(text_.data() + pos_), rest, "r");
  if (!f) return DailyRead::Malformed;
  int used = 0;
  std::string format = LineFormat;
  format += "%n";
  const int n = std::fscanf(f, format.c_str(), r.openMark, r.name, r.closeMark, &r.open, &r.high,
                            &r.low, &r.close, &r.change, &r.volume, &r.date, &r.market,
                            &r.code10, &used);
  const bool error = std::ferror(f) != 0;
  std::fclose(f);
  if (n == 12) {
    pos_ += static_cast<std::size_t>(used);
    return DailyRead::Line;
  }
  if (n == EOF && !error) {
    pos_ = text_.size();
    return DailyRead::End;
  }
  return DailyRead::Malformed;
}

}  // namespace dbprogram
