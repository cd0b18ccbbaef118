#include "dbprogram/csv_import.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::decodeAt;
using pelinor::text::toCp932;

constexpr const char* FullWidthBlank = "\x81\x40";

std::string trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// The lines of a small text (a name or code list), without their line ends.
std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  BoundedLines splitter;
  auto keep = [&](std::string_view line, int, bool) { lines.emplace_back(line); };
  splitter.feed(text, keep);
  splitter.end(keep);
  return lines;
}

// Splits a CSV line; a field in double quotes may hold commas and doubled quotes. False when a
// quote is left open. The field strings are reused from line to line.
bool splitCsv(std::string_view line, std::vector<std::string>& fields) {
  std::size_t n = 0;
  auto next = [&]() -> std::string& {
    if (n == fields.size()) fields.emplace_back();
    std::string& f = fields[n++];
    f.clear();
    return f;
  };
  std::string* field = &next();
  bool quoted = false;
  auto close = [&] {
    std::string& f = *field;
    std::size_t b = 0;
    while (b < f.size() && (f[b] == ' ' || f[b] == '\t')) ++b;
    std::size_t e = f.size();
    while (e > b && (f[e - 1] == ' ' || f[e - 1] == '\t')) --e;
    if (b > 0 || e < f.size()) f = f.substr(b, e - b);
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field->push_back('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field->push_back(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      close();
      field = &next();
    } else {
      field->push_back(c);
    }
  }
  close();
  fields.resize(n);
  return !quoted;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Whether a header field names the column: an English name (any case, also in angle brackets
// as "<CLOSE>") or a Japanese one in UTF-8 or CP932.
bool names(const std::string& field, std::initializer_list<const char*> english,
           std::initializer_list<const char*> japanese) {
  std::string f = lower(field);
  if (f.size() > 2 && f.front() == '<' && f.back() == '>') f = f.substr(1, f.size() - 2);
  for (const char* e : english)
    if (f == e) return true;
  for (const char* j : japanese)
    if (field == j || field == toCp932(j)) return true;
  return false;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

// The years a daily file holds: the classic window, or the wide kind's full dates.
struct Years {
  int first = 1946, last = 2045;
};
constexpr Years ClassicYears{1946, 2045};
constexpr Years WideYears{1900, 2099};

bool validCalendarDate(int y, int m, int d, Years years) {
  if (y < years.first || y > years.last || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// 2024-01-04, 2024/01/04 (month and day of one or two digits) or 20240104 -> 20240104; 0 when
// not a day of the calendar in the years taken.
int parseDate(const std::string& s, Years years) {
  if (s.size() == 8 && std::all_of(s.begin(), s.end(), isDigit)) {
    const int v = std::atoi(s.c_str());
    return validCalendarDate(v / 10000, v / 100 % 100, v % 100, years) ? v : 0;
  }
  std::size_t pos = 0;
  int parts[3] = {};
  char separator = 0;
  for (int k = 0; k < 3; ++k) {
    const std::size_t from = pos;
    int value = 0;
    while (pos < s.size() && isDigit(s[pos]) && pos - from < 4)
      value = value * 10 + (s[pos++] - '0');
    const std::size_t width = pos - from;
    if (k == 0 ? width != 4 : (width < 1 || width > 2)) return 0;
    parts[k] = value;
    if (k < 2) {
      if (pos >= s.size() || (s[pos] != '-' && s[pos] != '/')) return 0;
      if (k == 0) separator = s[pos];
      if (s[pos] != separator) return 0;
      ++pos;
    }
  }
  if (pos != s.size() || !validCalendarDate(parts[0], parts[1], parts[2], years)) return 0;
  return parts[0] * 10000 + parts[1] * 100 + parts[2];
}

// A non-negative number ("1234", "1234.5", "1,234"), and for a volume also with a unit of a
// thousand, a million or a billion ("350K", "1.2M", "2B"); false for anything else ("null", "-").
bool parseNumber(const std::string& field, double& value, bool units) {
  char s[64];
  std::size_t n = 0;
  for (char c : field) {
    if (c == ',') continue;
    if (n + 1 >= sizeof s) return false;
    s[n++] = c;
  }
  double scale = 1;
  if (units && n > 1) {
    const char u = s[n - 1];
    scale = u == 'K' || u == 'k'   ? 1e3
            : u == 'M' || u == 'm' ? 1e6
            : u == 'B' || u == 'b' ? 1e9
                                   : 1;
    if (scale != 1) --n;
  }
  if (n == 0 || !(isDigit(s[0]) || s[0] == '.')) return false;
  const auto [end, ec] = std::from_chars(s, s + n, value);
  value *= scale;
  return ec == std::errc() && end == s + n && std::isfinite(value) && value >= 0;
}

bool validUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = 0;
    if (c < 0x80) extra = 0;
    else if (c >= 0xC2 && c <= 0xDF) extra = 1;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3;
    else return false;
    if (i + extra >= s.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += extra + 1;
  }
  return true;
}

std::string yymmdd(int fullDate) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06d", fullDate % 1000000);
  return buf;
}

enum Column { Date, Open, High, Low, Close, Volume, Code, Columns };

}  // namespace

int fullDateOf(int date) {
  if (date <= 0) return 0;
  return date + (date / 10000 <= 45 ? 20000000 : 19000000);
}

marketdb::StockCode SourceCode::key() const {
  return number ? marketdb::codeFromNumber(number) : marketdb::codeFromText(letters);
}

SourceCode parseStockCode(std::string_view s) {
  // A market suffix after a dot ("7203.T", "7203.JP"): letters only.
  const std::size_t dot = s.find('.');
  if (dot != std::string_view::npos) {
    const std::string_view suffix = s.substr(dot + 1);
    if (suffix.empty() || !std::all_of(suffix.begin(), suffix.end(), [](char c) {
          return isUpperLetter(c) || (c >= 'a' && c <= 'z');
        }))
      return {};
    s = s.substr(0, dot);
  }
  // The exchange's five characters end in a check digit 0; other endings name other classes
  // of shares, which the four characters cannot tell apart.
  if (s.size() == 5 && s[4] == '0') s = s.substr(0, 4);
  if (s.size() != 4 || !isDigit(s[0])) return {};
  SourceCode code;
  bool letters = false;
  for (char c : s) {
    if (isUpperLetter(c)) letters = true;
    else if (!isDigit(c)) return {};
  }
  if (letters) {
    code.letters = std::string(s);
    return code;
  }
  code.number = std::atoi(std::string(s).c_str());
  if (code.number < 1000) return {};
  return code;
}

SourceCode codeFromFileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string_view name = path;
  if (slash != std::string::npos) name.remove_prefix(slash + 1);
  name = name.substr(0, name.find_first_of("._"));
  // The market suffix of a file name ("7203.jp.txt") is not part of the code.
  return parseStockCode(name);
}

bool PriceCsvReader::header(std::string_view text, std::vector<ImportProblem>& problems) {
  auto unusable = [&](const std::string& why) {
    problems.push_back({fileName_, 0, why});
    state_ = State::Unusable;
    return false;
  };
  if (!splitCsv(text, fields_)) return unusable("a quote of the header line is not closed");
  std::fill(std::begin(column_), std::end(column_), -1);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const std::string& f = fields_[i];
    int which = names(f, {"date"}, {"日付"})                        ? Date
                : names(f, {"open"}, {"始値"})                      ? Open
                : names(f, {"high"}, {"高値"})                      ? High
                : names(f, {"low"}, {"安値"})                       ? Low
                : names(f, {"close"}, {"終値"})                     ? Close
                : names(f, {"volume", "vol"}, {"出来高"})           ? Volume
                : names(f, {"code", "ticker", "symbol"}, {"コード", "銘柄コード"}) ? Code
                                                                                     : -1;
    if (which >= 0 && column_[which] < 0) column_[which] = static_cast<int>(i);
  }
  for (int c = Date; c <= Volume; ++c) {
    if (column_[c] < 0)
      return unusable(
          "the header line does not name the columns Date, Open, High, Low, Close and Volume");
  }
  if (column_[Code] < 0 && !fileCode_.valid())
    return unusable("neither named by a stock code (as 7203.csv) nor has it a Code column");
  needed_ = *std::max_element(std::begin(column_), std::end(column_)) + 1;
  state_ = State::Rows;
  return true;
}

bool PriceCsvReader::line(std::string_view text, int lineNo, bool tooLong, PriceRows& rows,
                          ImportTally& tally, std::vector<ImportProblem>& problems) {
  if (state_ == State::Unusable) return false;
  if (tooLong) {
    if (state_ == State::Header) {
      problems.push_back({fileName_, 0, "the first line is longer than " +
                                            std::to_string(MaxCsvLineBytes) +
                                            " bytes: not a price file"});
      state_ = State::Unusable;
      return false;
    }
    problems.push_back(
        {fileName_, lineNo, "longer than " + std::to_string(MaxCsvLineBytes) + " bytes"});
    return true;
  }
  if (text.find_first_not_of(" \t") == std::string_view::npos) return true;
  if (state_ == State::Header) return header(text, problems);
  if (!splitCsv(text, fields_)) {
    problems.push_back({fileName_, lineNo, "a quote is not closed"});
    return true;
  }
  row(lineNo, rows, tally, problems);
  return true;
}

void PriceCsvReader::row(int lineNo, PriceRows& rows, ImportTally& tally,
                         std::vector<ImportProblem>& problems) {
  auto bad = [&](const std::string& why) { problems.push_back({fileName_, lineNo, why}); };
  auto field = [&](int c) -> const std::string& {
    return fields_[static_cast<std::size_t>(column_[c])];
  };
  if (static_cast<int>(fields_.size()) < needed_) return bad("too few fields");
  const SourceCode code = column_[Code] >= 0 ? parseStockCode(field(Code)) : fileCode_;
  // A wide database takes letters only where the code rules allow them (130A, not 130B).
  if (!code.valid() || (wide_ && code.key() == marketdb::NoStockCode)) {
    const std::string& given = column_[Code] >= 0 ? field(Code) : code.text();
    return bad("'" + given + "' is not a stock code (as 7203, 72030, 7203.T or 130A)");
  }
  const int fullDate = parseDate(field(Date), wide_ ? WideYears : ClassicYears);
  if (fullDate == 0)
    return bad("'" + field(Date) +
               (wide_ ? "' is not a date 1900-01-01..2099-12-31"
                      : "' is not a date 1946-01-01..2045-12-31") +
               " (yyyy-mm-dd, yyyy/mm/dd or yyyymmdd)");
  double values[5] = {};
  static const char* const labels[5] = {"Open", "High", "Low", "Close", "Volume"};
  for (int k = 0; k < 5; ++k) {
    const std::string& f = field(Open + k);
    if (!parseNumber(f, values[k], k == 4))
      return bad(std::string(labels[k]) + " '" + f + "' is not a number");
    values[k] = std::floor(values[k] + 0.5);  // whole yen and shares
  }
  for (int k = 0; k < 4; ++k)
    if (values[k] == 0) return bad(std::string(labels[k]) + " is 0: a day without a price");
  if (values[1] < values[2]) return bad("High " + field(High) + " is below Low " + field(Low));
  if (values[4] > MaxCsvVolume)
    return bad("Volume " + field(Volume) + " is beyond what a daily price file holds (10^15)");
  if (!code.number && !wide_) {
    ++tally.lettered[code.letters];
    return;
  }
  const marketdb::StockCode key = code.key();
  if (fullDate <= after_) {
    // Days the database holds already give only the previous close of the first new day.
    auto [it, added] = tally.priorClose.try_emplace(key, fullDate, 0);
    if (added || fullDate > it->second.first) {
      it->second = {fullDate, values[3] > 2e9 ? 2000000000 : static_cast<int>(values[3])};
    }
    return;
  }
  const double highest = wide_ ? WideMaxCsvPrice : ClassicMaxCsvPrice;
  if (values[0] > highest || values[1] > highest || values[2] > highest || values[3] > highest) {
    ++tally.aboveRange[key];
    return;
  }
  CsvPriceRow r;
  r.fullDate = fullDate;
  r.source = source_;
  r.line = lineNo;
  r.code = key;
  r.open = static_cast<std::int32_t>(values[0]);
  r.high = static_cast<std::int32_t>(values[1]);
  r.low = static_cast<std::int32_t>(values[2]);
  r.close = static_cast<std::int32_t>(values[3]);
  r.volume = values[4];
  rows.push_back(r);
}

bool PriceCsvReader::finish(std::vector<ImportProblem>& problems) {
  if (state_ == State::Header) {
    problems.push_back({fileName_, 0, "no header line"});
    state_ = State::Unusable;
  }
  return state_ == State::Rows;
}

bool parsePriceCsv(std::string_view text, const std::string& fileName, const SourceCode& fileCode,
                   int source, int afterFullDate, PriceRows& rows, ImportTally& tally,
                   std::vector<ImportProblem>& problems, bool wide) {
  PriceCsvReader reader(fileName, fileCode, source, afterFullDate, wide);
  BoundedLines lines;
  auto onLine = [&](std::string_view line, int lineNo, bool tooLong) {
    reader.line(line, lineNo, tooLong, rows, tally, problems);
  };
  lines.feed(text, onLine);
  lines.end(onLine);
  return reader.finish(problems);
}

std::string fitName(const std::string& cp932) {
  std::string name;
  name.reserve(16);
  for (std::size_t pos = 0; pos < cp932.size();) {
    const pelinor::text::Cp932Char ch = decodeAt(cp932, pos);
    std::size_t len = static_cast<std::size_t>(std::max(ch.bytes, 1));
    const char* bytes = cp932.data() + pos;
    pos += len;
    const auto first = static_cast<unsigned char>(bytes[0]);
    if (len == 1 && (first <= 0x20 || first == 0x7F)) {
      bytes = FullWidthBlank;
      len = 2;
    } else if (!ch.valid) {
      bytes = "?";
      len = 1;
    }
    if (name.size() + len > 14) break;
    name.append(bytes, len);
  }
  while (name.size() + 2 <= 14) name.append(FullWidthBlank, 2);
  if (name.size() < 14) name.push_back('_');
  return name;
}

StockLabels parseNameList(const std::string& text, const std::string& fileName,
                          std::vector<ImportProblem>& problems, bool wide) {
  StockLabels labels;
  const bool utf8 = validUtf8(text);
  const std::vector<std::string> lines = textLines(text);
  std::vector<std::string> fields;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const int lineNo = static_cast<int>(n) + 1;
    if (trim(lines[n]).empty()) continue;
    auto bad = [&](const std::string& why) { problems.push_back({fileName, lineNo, why}); };
    if (!splitCsv(lines[n], fields) || fields.size() < 2) {
      bad("not code,name");
      continue;
    }
    const SourceCode parsed = parseStockCode(fields[0]);
    if (!parsed.valid() || (wide && parsed.key() == marketdb::NoStockCode)) {
      if (n == 0) continue;  // a header line
      bad("'" + fields[0] + "' is not a stock code (as 7203 or 130A)");
      continue;
    }
    if (!parsed.number && !wide) continue;  // a stock the database cannot hold
    const marketdb::StockCode code = parsed.key();
    if (fields[1].empty()) {
      bad("the name is empty");
      continue;
    }
    StockLabel label;
    label.name = fitName(utf8 ? toCp932(fields[1]) : fields[1]);
    if (fields.size() >= 3 && !fields[2].empty()) {
      const std::string& m = fields[2];
      const int market = m.size() == 3 && std::all_of(m.begin(), m.end(), isDigit)
                             ? std::atoi(m.c_str())
                             : 0;
      if (market != 801 && market != 802 && (market < 811 || market > 814)) {
        bad("market '" + m + "' is not one of 801, 802, 811, 812, 813, 814");
        continue;
      }
      label.market = market;
    }
    if (labels.count(code)) {
      bad("code " + parsed.text() + " is listed before; the first line counts");
      continue;
    }
    labels[code] = label;
  }
  return labels;
}

std::set<std::string> parseCodeList(const std::string& text, const std::string& fileName,
                                    std::vector<ImportProblem>& problems) {
  std::set<std::string> codes;
  const std::vector<std::string> lines = textLines(text);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string line = trim(lines[n]);
    if (line.empty()) continue;
    std::string first = line.substr(0, line.find_first_of(", \t"));
    if (first.size() >= 2 && first.front() == '"' && first.back() == '"')
      first = first.substr(1, first.size() - 2);
    const SourceCode code = parseStockCode(first);
    if (!code.valid()) {
      if (n > 0) problems.push_back({fileName, static_cast<int>(n) + 1,
                                     "'" + first + "' is not a stock code (as 7203 or 130A)"});
      continue;  // the first line may be a header
    }
    codes.insert(code.text());
  }
  return codes;
}

ImportPlan planImport(PriceRows rows, const ImportTally& tally, const ImportChoice& choice,
                      const std::vector<std::string>& sourceNames,
                      std::vector<ImportProblem>& problems) {
  ImportPlan plan;
  auto isChosen = [&](const std::string& code) {
    return !choice.chosen || choice.chosen->count(code) > 0;
  };
  for (const auto& [code, lines] : tally.lettered) {
    if (isChosen(code)) plan.lettered.push_back(code);
    else plan.notChosen.push_back(code);
  }
  using marketdb::codeText;
  std::set<marketdb::StockCode> left;  // codes left out
  for (const auto& [code, lines] : tally.aboveRange) {
    left.insert(code);
    if (isChosen(codeText(code))) plan.aboveRange.push_back(codeText(code));
    else plan.notChosen.push_back(codeText(code));
  }

  // Each stock's days in order; the order read breaks ties, so that the first row of a date
  // counts.
  std::sort(rows.begin(), rows.end(), [](const CsvPriceRow& a, const CsvPriceRow& b) {
    if (a.code != b.code) return a.code < b.code;
    if (a.fullDate != b.fullDate) return a.fullDate < b.fullDate;
    return a.source != b.source ? a.source < b.source : a.line < b.line;
  });
  // The stocks that stay: chosen, within range, and held already or among the first new ones.
  std::vector<marketdb::StockCode> newCodes;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const marketdb::StockCode code = rows[i].code;
    if (i > 0 && rows[i - 1].code == code) continue;
    if (left.count(code)) continue;
    if (!isChosen(codeText(code))) {
      plan.notChosen.push_back(codeText(code));
      left.insert(code);
    } else if (!choice.held.count(code)) {
      newCodes.push_back(code);
    }
  }
  const std::size_t free = static_cast<std::size_t>(
      std::max(0, choice.stockLimit - static_cast<int>(choice.held.size())));
  for (std::size_t i = free; i < newCodes.size(); ++i) {
    plan.beyondLimit.push_back(codeText(newCodes[i]));
    left.insert(newCodes[i]);
  }
  std::sort(plan.notChosen.begin(), plan.notChosen.end());

  // The rows kept are moved to the front in place: a whole market's rows are not held twice.
  std::size_t kept = 0;
  int lastClose = 0;
  marketdb::StockCode previousCode = marketdb::NoStockCode;
  int previousDate = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const CsvPriceRow r = rows[i];
    if (left.count(r.code)) continue;
    const bool first = r.code != previousCode;
    const bool again = !first && r.fullDate == previousDate;
    previousCode = r.code;
    previousDate = r.fullDate;
    if (first) {
      ++plan.stocks;
      auto prior = tally.priorClose.find(r.code);
      lastClose = prior != tally.priorClose.end() ? prior->second.second : r.close;
    } else if (again) {
      problems.push_back({sourceNames.at(static_cast<std::size_t>(r.source)), r.line,
                          "a second line for code " + codeText(r.code) + " on " +
                              yymmdd(r.fullDate) + "; the first one counts"});
      continue;
    }
    const int change = r.close - lastClose;
    lastClose = r.close;
    const int widest = choice.wide ? WideMaxCsvPrice : ClassicMaxCsvPrice;
    if (change < -widest - (choice.wide ? 0 : 1) || change > widest) {
      problems.push_back({sourceNames.at(static_cast<std::size_t>(r.source)), r.line,
                          "the change " + std::to_string(change) +
                              " from the previous close does not fit a day record"});
      continue;
    }
    rows[kept] = r;
    rows[kept++].change = change;
  }
  rows.resize(kept);
  rows.shrink_to_fit();

  std::sort(rows.begin(), rows.end(), [](const CsvPriceRow& a, const CsvPriceRow& b) {
    return a.fullDate != b.fullDate ? a.fullDate < b.fullDate : a.code < b.code;
  });
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (plan.days.empty() || plan.days.back().fullDate != rows[i].fullDate)
      plan.days.push_back({rows[i].fullDate, i, 0});
    ++plan.days.back().count;
  }
  plan.rows = std::move(rows);
  return plan;
}

std::string dailyFileName(char kind, int fullDate) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%06d", kind, fullDate % 1000000);
  return buf;
}

std::string dailyFileText(const ImportPlan& plan, const ImportPlan::Day& day,
                          const StockLabels& labels, char kind, bool wide) {
  std::string text;
  text.reserve(day.count * 72 + 20);
  const int defaultMarket = kind == 'W' ? 801 : 802;
  // The extended form names itself on its first line and carries the full date.
  if (wide) text += "#PELWIDE DAILY 1\n";
  const std::string date = wide ? std::to_string(day.fullDate) : yymmdd(day.fullDate);
  for (std::size_t i = day.first; i < day.first + day.count; ++i) {
    const CsvPriceRow& r = plan.rows[i];
    auto label = labels.find(r.code);
    const std::string name =
        label != labels.end() ? label->second.name : fitName(marketdb::codeText(r.code));
    const int market =
        label != labels.end() && label->second.market ? label->second.market : defaultMarket;
    // "name",open,high,low,close,change,volume,date,market,code: the classic code x 10, or the
    // extended form's five characters. Every value is bounded (prices within the kind's range,
    // the volume a whole number of at most 10^15), so each is written exactly.
    char digits[24];
    auto number = [&](long long v) {
      text.push_back(',');
      text.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
    };
    text.push_back('"');
    text += name;
    text.push_back('"');
    for (int v : {r.open, r.high, r.low, r.close, r.change}) number(v);
    number(static_cast<long long>(r.volume));
    text.push_back(',');
    text += date;
    number(market);
    if (wide) {
      text.push_back(',');
      text += marketdb::codeSourceText(r.code);
    } else {
      number(marketdb::codeNumber(r.code) * 10);
    }
    text.push_back('\n');
  }
  return text;
}

}  // namespace dbprogram
