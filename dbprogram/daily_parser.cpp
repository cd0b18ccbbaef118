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

// ---------------------------------------------------------------------------------------------
// The stream

namespace {
// Held beyond the read position before each line is read: a line together with the white
// space around its fields fits many times over.
constexpr std::size_t Window = 64 * 1024;
}  // namespace

bool DailyStreamReader::fill(std::size_t want) {
  if (tooLong_) return false;
  if (pos_ > 0 && pos_ >= buf_.size() / 2) {
    buf_.erase(0, pos_);
    scanned_ -= pos_;
    pos_ = 0;
  }
  char chunk[Window];
  while (!eof_ && buf_.size() - pos_ < want) {
    const std::size_t n = std::fread(chunk, 1, sizeof chunk, f_);
    if (n == 0) {
      eof_ = true;
      error_ = std::ferror(f_) != 0;
      break;
    }
    buf_.append(chunk, n);
    // Every byte is checked as it arrives, so a file without line feeds (a device, a sparse
    // file) is refused after its first kilobyte.
    for (; scanned_ < buf_.size(); ++scanned_) {
      if (buf_[scanned_] == '\n') {
        run_ = 0;
        ++scanLine_;
      } else if (++run_ > MaxDailyLineBytes) {
        tooLong_ = true;
        longLine_ = scanLine_;
        return false;
      }
    }
  }
  return true;
}

DailyRead DailyStreamReader::next(DailyFields& r) {
  // White space between lines, however much of it there is.
  for (;;) {
    if (!fill(1)) return DailyRead::TooLong;
    while (pos_ < buf_.size() && isSpace(static_cast<unsigned char>(buf_[pos_]))) {
      if (buf_[pos_] == '\n') ++line_;
      ++pos_;
    }
    if (pos_ < buf_.size()) break;
    if (eof_) return error_ ? DailyRead::Malformed : DailyRead::End;
  }
  lineStart_ = line_;
  if (!fill(Window)) return DailyRead::TooLong;
  const std::string_view window(buf_.data() + pos_, buf_.size() - pos_);
  DailyReader reader(window);
  const DailyRead status = reader.next(r);
  if (status != DailyRead::Line) return status == DailyRead::End ? DailyRead::End
                                                                 : DailyRead::Malformed;
  const std::size_t used = reader.position();
  // A line that reaches the end of what is held before the file's end was cut by the window.
  if (used == window.size() && !eof_) {
    tooLong_ = true;
    longLine_ = line_;
    return DailyRead::TooLong;
  }
  for (std::size_t i = 0; i < used; ++i)
    if (window[i] == '\n') ++line_;
  pos_ += used;
  return DailyRead::Line;
}

}  // namespace dbprogram
