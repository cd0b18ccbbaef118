#include "dbprogram/wide_daily_parser.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <charconv>
#include <cstring>

#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::format;

constexpr std::string_view Magic = "#PELWIDE";
constexpr std::string_view Kind = "DAILY";

// The whole part of a decimal is held up to this bound: every larger value is out of every
// range, and the bound keeps the arithmetic within int64.
constexpr std::int64_t WholeBound = 100'000'000'000'000'000;  // 10^17

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A byte a mark or a name may hold: neither white space nor a control byte (a NUL would cut
// the name short wherever it is written). CP932 trail bytes are all 0x40 or above.
bool isTextByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b > 0x20 && b != 0x7F;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (isBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// A field as the messages show it: printable ASCII kept, anything else as '?', and a long
// field cut, so a damaged file cannot put control bytes or pages of text into a message.
std::string shown(std::string_view field) {
  constexpr std::size_t Longest = 20;
  std::string out;
  for (std::size_t i = 0; i < field.size() && i < Longest; ++i) {
    const auto b = static_cast<unsigned char>(field[i]);
    out += b >= 0x20 && b < 0x7F ? field[i] : '?';
  }
  if (field.size() > Longest) out += "...";
  return out;
}

// -?digits(.digits)?, its whole part (limited to WholeBound) and whether a fraction that is
// not zero follows; the value truncated toward zero is then ±whole.
struct Decimal {
  bool negative = false;
  std::int64_t whole = 0;
  bool fraction = false;
  std::int64_t truncated() const { return negative ? -whole : whole; }
};

bool readDecimal(std::string_view s, Decimal& d) {
  std::size_t i = 0;
  if (i < s.size() && s[i] == '-') {
    d.negative = true;
    ++i;
  }
  const std::size_t digits = i;
  for (; i < s.size() && isDigit(s[i]); ++i)
    d.whole = std::min(WholeBound, d.whole * 10 + (s[i] - '0'));
  if (i == digits) return false;
  if (i < s.size() && s[i] == '.') {
    const std::size_t fraction = ++i;
    for (; i < s.size() && isDigit(s[i]); ++i)
      if (s[i] != '0') d.fraction = true;
    if (i == fraction) return false;
  }
  return i == s.size();
}

bool isCalendarDate(std::int32_t yyyymmdd) {
  const int year = yyyymmdd / 10000;
  const int month = yyyymmdd / 100 % 100;
  const int day = yyyymmdd % 100;
  if (year < WideFirstDate / 10000 || year > WideLastDate / 10000) return false;
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The columns after the name, in the order of the line.
enum Column { Open, High, Low, Close, Change, Volume, Date, Market, Code, Columns };

const std::string& columnName(int column) {
  switch (column) {
    case Open: return SJ("始値");
    case High: return SJ("高値");
    case Low: return SJ("安値");
    case Close: return SJ("終値");
    case Change: return SJ("前日比");
    case Volume: return SJ("出来高");
    case Date: return SJ("日付");
    case Market: return SJ("市場");
    default: return SJ("ｺｰﾄﾞ");
  }
}

// Everything both readers do with the lines once they have been cut out of the file.
class LineRules {
 public:
  explicit LineRules(const std::string& fileName) : file_(fileName) {}

  enum class Taken { Line, Skipped, Refused };

  // One line (without its line feed) of number lineNo; line 1 is the form's first line.
  Taken take(std::string_view raw, int lineNo, WideDailyLine& out, std::string& message) const {
    if (lineNo == 1) return firstLine(raw, message) ? Taken::Skipped : Taken::Refused;
    const std::string_view line = trim(raw);
    if (line.empty()) return Taken::Skipped;
    return priceLine(line, lineNo, out, message) ? Taken::Line : Taken::Refused;
  }

  std::string tooLong(int lineNo) const {
    return format(SJ("%s の%d行目が%dﾊﾞｲﾄを超えるので格納処理しません").c_str(), file_.c_str(),
                  lineNo, static_cast<int>(MaxDailyLineBytes));
  }

  std::string unknownForm() const {
    return format(SJ("%s の1行目が認識できない形式なので格納処理しません").c_str(), file_.c_str());
  }

 private:
  bool firstLine(std::string_view raw, std::string& message) const {
    std::array<std::string_view, 4> words;
    std::size_t count = 0;
    const std::string_view line = trim(raw);
    for (std::size_t i = 0; i < line.size();) {
      while (i < line.size() && isBlank(line[i])) ++i;
      const std::size_t start = i;
      while (i < line.size() && !isBlank(line[i])) ++i;
      if (i == start) break;
      if (count == words.size()) return refuse(message, unknownForm());
      words[count++] = line.substr(start, i - start);
    }
    const std::string_view version = words[2];
    if (count != 3 || words[0] != Magic || words[1] != Kind || version.empty() ||
        version.size() > 9 || !std::all_of(version.begin(), version.end(), isDigit)) {
      return refuse(message, unknownForm());
    }
    int number = 0;
    std::from_chars(version.data(), version.data() + version.size(), number);
    if (number > WideDailyVersion) {
      return refuse(message,
                    format(SJ("%s の1行目は版%dの形式で、このプログラムは版%dまでしか扱えません")
                               .c_str(),
                           file_.c_str(), number, WideDailyVersion));
    }
    if (number < 1) return refuse(message, unknownForm());
    return true;
  }

  // "name",open,high,low,close,change,volume,yyyymmdd,market,code
  bool priceLine(std::string_view line, int lineNo, WideDailyLine& out,
                 std::string& message) const {
    // The marks and the name are read as the classic form reads them: a mark, a name of up to
    // 14 bytes without blanks, a mark, each of them after any blanks (so a name padded with
    // half-width spaces inside its marks is taken).
    constexpr std::size_t NameBytes = 14;
    std::size_t at = 1;  // the line is trimmed: line[0] is the first mark
    const auto skipBlanks = [&] {
      while (at < line.size() && isBlank(line[at])) ++at;
    };
    skipBlanks();
    const std::size_t nameStart = at;
    while (at < line.size() && at - nameStart < NameBytes && !isBlank(line[at])) ++at;
    const std::string_view name = line.substr(nameStart, at - nameStart);
    skipBlanks();
    const std::size_t closeMark = at++;
    skipBlanks();
    if (name.empty() || at >= line.size() || line[at] != ',' || !isTextByte(line[0]) ||
        !isTextByte(line[closeMark]) || !std::all_of(name.begin(), name.end(), isTextByte)) {
      return refuse(message,
                    format(SJ("%s の%d行目の銘柄名が記号で囲まれた14ﾊﾞｲﾄまでの文字列でないので"
                              "格納処理しません")
                               .c_str(),
                           file_.c_str(), lineNo));
    }
    std::array<std::string_view, Columns> fields;
    std::string_view rest = line.substr(at + 1);
    for (int k = 0; k < Columns; ++k) {
      const std::size_t comma = rest.find(',');
      if ((comma == std::string_view::npos) != (k == Columns - 1)) {
        return refuse(message, format(SJ("%s の%d行目の項目が%d個でないので格納処理しません")
                                          .c_str(),
                                      file_.c_str(), lineNo, Columns + 1));
      }
      fields[k] = trim(rest.substr(0, comma));
      if (comma != std::string_view::npos) rest.remove_prefix(comma + 1);
    }

    WideDailyLine read;
    std::memcpy(read.name, name.data(), name.size());
    std::int64_t* const whole[] = {&read.open, &read.high, &read.low, &read.close, &read.change};
    for (int k = Open; k <= Change; ++k) {
      Decimal d;
      if (!readDecimal(fields[k], d)) return notANumber(message, lineNo, k, fields[k]);
      const std::int64_t v = d.truncated();
      if (v > WideMaxPrice || v < (k == Change ? -WideMaxPrice : 0)) {
        return outOfRange(message, lineNo, k, fields[k],
                          k == Change ? "-99999999..99999999" : "0..99999999");
      }
      *whole[k] = v;
    }

    // The volume keeps its fraction; its range is checked on the text, since a double near
    // 10^15 cannot tell 10^15 from a little more.
    Decimal volume;
    if (!readDecimal(fields[Volume], volume)) {
      return notANumber(message, lineNo, Volume, fields[Volume]);
    }
    const bool nonZero = volume.whole > 0 || volume.fraction;
    if ((volume.negative && nonZero) || volume.whole > WideMaxVolume ||
        (volume.whole == WideMaxVolume && volume.fraction)) {
      return outOfRange(message, lineNo, Volume, fields[Volume], "0..1000000000000000");
    }
    if (nonZero) {
      // The digits alone: from_chars rounds them correctly, and whole numbers up to 2^53
      // (beyond 10^15) come out exact.
      const std::string_view digits = fields[Volume].substr(volume.negative ? 1 : 0);
      std::from_chars(digits.data(), digits.data() + digits.size(), read.volume);
    }

    const std::string_view date = fields[Date];
    if (date.size() == 8 && std::all_of(date.begin(), date.end(), isDigit))
      std::from_chars(date.data(), date.data() + date.size(), read.date);
    if (!isCalendarDate(read.date)) {
      return refuse(message,
                    format(SJ("%s の%d行目の日付「%s」が8桁の暦日(19000101..20991231)でないので"
                              "格納処理しません")
                               .c_str(),
                           file_.c_str(), lineNo, shown(date).c_str()));
    }

    Decimal market;
    if (!readDecimal(fields[Market], market)) {
      return notANumber(message, lineNo, Market, fields[Market]);
    }
    // Markets below 801 are passed over by the store; the bound only keeps the value an int.
    if (market.whole > 99'999'999) {
      return outOfRange(message, lineNo, Market, fields[Market], "-99999999..99999999");
    }
    read.market = market.truncated();

    read.code = marketdb::codeFromSource(fields[Code]);
    if (read.code == marketdb::NoStockCode) {
      return refuse(message,
                    format(SJ("%s の%d行目のｺｰﾄﾞ「%s」は使えないｺｰﾄﾞなので格納処理しません")
                               .c_str(),
                           file_.c_str(), lineNo, shown(fields[Code]).c_str()));
    }
    out = read;
    return true;
  }

  bool notANumber(std::string& message, int lineNo, int column, std::string_view field) const {
    return refuse(message, format(SJ("%s の%d行目の%s「%s」が数値でないので格納処理しません")
                                      .c_str(),
                                  file_.c_str(), lineNo, columnName(column).c_str(),
                                  shown(field).c_str()));
  }

  bool outOfRange(std::string& message, int lineNo, int column, std::string_view field,
                  const char* range) const {
    return refuse(message,
                  format(SJ("%s の%d行目の%s%sが範囲(%s)外なので格納処理しません").c_str(),
                         file_.c_str(), lineNo, columnName(column).c_str(),
                         shown(field).c_str(), range));
  }

  static bool refuse(std::string& message, std::string text) {
    message = std::move(text);
    return false;
  }

  const std::string& file_;
};

}  // namespace

bool isWideDailyText(std::string_view start) {
  if (start.substr(0, Magic.size()) != Magic) return false;
  if (start.size() == Magic.size()) return true;
  const char next = start[Magic.size()];
  return isBlank(next) || next == '\r' || next == '\n';
}

WideDailyRead WideDailyReader::next(WideDailyLine& out) {
  if (refused_) return WideDailyRead::Refused;
  const LineRules rules(fileName_);
  auto refuse = [&](std::string text) {
    refused_ = true;
    message_ = std::move(text);
    return WideDailyRead::Refused;
  };
  for (;;) {
    if (pos_ >= text_.size()) {
      if (line_ > 0) return WideDailyRead::End;
      line_ = 1;  // an empty file has no first line to recognise
      return refuse(rules.unknownForm());
    }
    const std::size_t feed = text_.find('\n', pos_);
    const std::size_t end = feed == std::string_view::npos ? text_.size() : feed;
    ++line_;
    if (end - pos_ > MaxDailyLineBytes) return refuse(rules.tooLong(line_));
    const std::string_view raw = text_.substr(pos_, end - pos_);
    pos_ = feed == std::string_view::npos ? text_.size() : feed + 1;
    std::string why;
    switch (rules.take(raw, line_, out, why)) {
      case LineRules::Taken::Line: return WideDailyRead::Line;
      case LineRules::Taken::Refused: return refuse(std::move(why));
      case LineRules::Taken::Skipped: break;
    }
  }
}

WideDailyRead WideDailyStreamReader::next(WideDailyLine& out) {
  if (refused_) return WideDailyRead::Refused;
  const LineRules rules(fileName_);
  auto refuse = [&](std::string text) {
    refused_ = true;
    message_ = std::move(text);
    return WideDailyRead::Refused;
  };
  for (;;) {
    // Hold one whole line from pos_, or enough of it to know that it is too long.
    std::size_t feed;
    for (;;) {
      feed = buf_.find('\n', pos_);
      if (feed != std::string::npos || eof_ || buf_.size() - pos_ > MaxDailyLineBytes) break;
      buf_.erase(0, pos_);
      pos_ = 0;
      char chunk[16 * 1024];
      const std::size_t n = std::fread(chunk, 1, sizeof chunk, f_);
      if (n == 0) {
        eof_ = true;
        if (std::ferror(f_)) {
          error_ = true;
          return refuse(format(SJ("%s が読めません(%s)").c_str(), fileName_.c_str(),
                               std::strerror(EIO)));
        }
      }
      buf_.append(chunk, n);
    }
    if (feed == std::string::npos && pos_ >= buf_.size()) {
      if (line_ > 0) return WideDailyRead::End;
      line_ = 1;
      return refuse(rules.unknownForm());
    }
    const std::size_t end = feed == std::string::npos ? buf_.size() : feed;
    ++line_;
    if (end - pos_ > MaxDailyLineBytes) return refuse(rules.tooLong(line_));
    const std::string_view raw(buf_.data() + pos_, end - pos_);
    pos_ = feed == std::string::npos ? buf_.size() : feed + 1;
    std::string why;
    switch (rules.take(raw, line_, out, why)) {
      case LineRules::Taken::Line: return WideDailyRead::Line;
      case LineRules::Taken::Refused: return refuse(std::move(why));
      case LineRules::Taken::Skipped: break;
    }
  }
}

}  // namespace dbprogram
