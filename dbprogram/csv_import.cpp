#include "dbprogram/csv_import.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/text/cp932.h"

namespace dbprogram {

namespace {

using pelinor::text::decodeAt;
using pelinor::text::toCp932;

constexpr int MaxPrice = 32767;
constexpr const char* FullWidthBlank = "\x81\x40";

std::string trim(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// The lines of a text without their line ends (LF or CRLF), a leading UTF-8 byte-order mark
// removed.
std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Splits a CSV line; a field in double quotes may hold commas and doubled quotes. False when a
// quote is left open.
bool splitCsv(const std::string& line, std::vector<std::string>& fields) {
  fields.clear();
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(trim(field));
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(trim(field));
  return !quoted;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Whether a header field names the column: an English name (any case) or a Japanese one in
// UTF-8 or CP932.
bool names(const std::string& field, std::initializer_list<const char*> english,
           std::initializer_list<const char*> japanese) {
  const std::string f = lower(field);
  for (const char* e : english)
    if (f == e) return true;
  for (const char* j : japanese)
    if (field == j || field == toCp932(j)) return true;
  return false;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool validCalendarDate(int y, int m, int d) {
  if (y < 1946 || y > 2045 || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

// 2024-01-04 or 2024/01/04 (month and day of one or two digits) -> 20240104; 0 when not a date
// of the 1946..2045 window.
int parseDate(const std::string& s) {
  std::size_t pos = 0;
  int parts[3] = {};
  char separator = 0;
  for (int k = 0; k < 3; ++k) {
    const std::size_t from = pos;
    int value = 0;
    while (pos < s.size() && isDigit(s[pos]) && pos - from < 4) value = value * 10 + (s[pos++] - '0');
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
  if (pos != s.size() || !validCalendarDate(parts[0], parts[1], parts[2])) return 0;
  return parts[0] * 10000 + parts[1] * 100 + parts[2];
}

// A non-negative number ("1234", "1234.5", "1,234"); false for anything else ("null", "-").
bool parseNumber(const std::string& field, double& value) {
  std::string s;
  for (char c : field)
    if (c != ',') s += c;
  if (s.empty() || !(isDigit(s[0]) || s[0] == '.')) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(s.c_str(), &end);
  return errno == 0 && end == s.c_str() + s.size() && std::isfinite(value) && value >= 0;
}

// "7203", "7203.T" -> 7203; 0 otherwise.
int parseCode(const std::string& s) {
  if (s.size() < 4) return 0;
  for (int i = 0; i < 4; ++i)
    if (!isDigit(s[static_cast<std::size_t>(i)])) return 0;
  if (s.size() > 4 && (s[4] != '.' || s.size() == 5 || isDigit(s[5]))) return 0;
  const int code = std::atoi(s.substr(0, 4).c_str());
  return code >= 1000 ? code : 0;
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

}  // namespace

int fullDateOf(int date) {
  if (date <= 0) return 0;
  return date + (date / 10000 <= 45 ? 20000000 : 19000000);
}

int codeFromFileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.size() < 4) return 0;
  for (int i = 0; i < 4; ++i)
    if (!isDigit(name[static_cast<std::size_t>(i)])) return 0;
  if (name.size() > 4 && isDigit(name[4])) return 0;
  const int code = std::atoi(name.substr(0, 4).c_str());
  return code >= 1000 ? code : 0;
}

bool parsePriceCsv(const std::string& text, const std::string& fileName, int fileCode, int source,
                   std::vector<CsvPriceRow>& rows, std::vector<ImportProblem>& problems) {
  const std::vector<std::string> lines = textLines(text);
  std::size_t first = 0;
  while (first < lines.size() && trim(lines[first]).empty()) ++first;
  std::vector<std::string> fields;
  if (first == lines.size() || !splitCsv(lines[first], fields)) {
    problems.push_back({fileName, 0, "no header line"});
    return false;
  }
  enum { Date, Open, High, Low, Close, Volume, Code, Columns };
  int column[Columns];
  std::fill(std::begin(column), std::end(column), -1);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string& f = fields[i];
    int which = names(f, {"date"}, {"日付"})                 ? Date
                : names(f, {"open"}, {"始値"})               ? Open
                : names(f, {"high"}, {"高値"})               ? High
                : names(f, {"low"}, {"安値"})                ? Low
                : names(f, {"close"}, {"終値"})              ? Close
                : names(f, {"volume"}, {"出来高"})           ? Volume
                : names(f, {"code", "ticker", "symbol"}, {"コード", "銘柄コード"}) ? Code
                                                                              : -1;
    if (which >= 0 && column[which] < 0) column[which] = static_cast<int>(i);
  }
  for (int c = Date; c <= Volume; ++c) {
    if (column[c] < 0) {
      problems.push_back(
          {fileName, 0, "the header line does not name the columns Date, Open, High, Low, Close "
                        "and Volume"});
      return false;
    }
  }
  if (column[Code] < 0 && fileCode == 0) {
    problems.push_back({fileName, 0,
                        "neither named by a stock code (as 7203.csv) nor has it a Code column"});
    return false;
  }
  const int needed = *std::max_element(std::begin(column), std::end(column)) + 1;

  for (std::size_t n = first + 1; n < lines.size(); ++n) {
    const int lineNo = static_cast<int>(n) + 1;
    if (trim(lines[n]).empty()) continue;
    auto bad = [&](const std::string& why) { problems.push_back({fileName, lineNo, why}); };
    if (!splitCsv(lines[n], fields)) {
      bad("a quote is not closed");
      continue;
    }
    if (static_cast<int>(fields.size()) < needed) {
      bad("too few fields");
      continue;
    }
    CsvPriceRow row;
    row.source = source;
    row.line = lineNo;
    row.code = column[Code] >= 0 ? parseCode(fields[static_cast<std::size_t>(column[Code])])
                                 : fileCode;
    if (row.code == 0) {
      bad("'" + fields[static_cast<std::size_t>(column[Code])] + "' is not a stock code 1000..9999");
      continue;
    }
    row.fullDate = parseDate(fields[static_cast<std::size_t>(column[Date])]);
    if (row.fullDate == 0) {
      bad("'" + fields[static_cast<std::size_t>(column[Date])] +
          "' is not a date 1946-01-01..2045-12-31 (yyyy-mm-dd or yyyy/mm/dd)");
      continue;
    }
    double values[5] = {};
    const char* labels[5] = {"Open", "High", "Low", "Close", "Volume"};
    bool ok = true;
    for (int k = 0; k < 5 && ok; ++k) {
      const std::string& f = fields[static_cast<std::size_t>(column[Open + k])];
      if (!parseNumber(f, values[k])) {
        bad(std::string(labels[k]) + " '" + f + "' is not a number");
        ok = false;
      } else if (k < 4 && std::floor(values[k] + 0.5) > MaxPrice) {
        bad(std::string(labels[k]) + " " + f + " is above 32767, which the database cannot hold");
        ok = false;
      }
    }
    if (!ok) continue;
    row.open = static_cast<int>(std::floor(values[0] + 0.5));
    row.high = static_cast<int>(std::floor(values[1] + 0.5));
    row.low = static_cast<int>(std::floor(values[2] + 0.5));
    row.close = static_cast<int>(std::floor(values[3] + 0.5));
    row.volume = std::floor(values[4] + 0.5);
    rows.push_back(row);
  }
  return true;
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

std::map<int, StockLabel> parseNameList(const std::string& text, const std::string& fileName,
                                        std::vector<ImportProblem>& problems) {
  std::map<int, StockLabel> labels;
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
    const int code = parseCode(fields[0]);
    if (code == 0) {
      if (n == 0) continue;  // a header line
      bad("'" + fields[0] + "' is not a stock code 1000..9999");
      continue;
    }
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
      bad("code " + std::to_string(code) + " is listed before; the first line counts");
      continue;
    }
    labels[code] = label;
  }
  return labels;
}

std::vector<DailyPriceFile> buildDailyFiles(std::vector<CsvPriceRow> rows,
                                            const std::map<int, StockLabel>& labels, char kind,
                                            int afterFullDate,
                                            const std::vector<std::string>& sourceNames,
                                            std::vector<ImportProblem>& problems) {
  // Each stock's days in order (the input order breaks ties, so the first row of a date counts).
  std::stable_sort(rows.begin(), rows.end(), [](const CsvPriceRow& a, const CsvPriceRow& b) {
    return a.code != b.code ? a.code < b.code : a.fullDate < b.fullDate;
  });
  struct Line {
    int fullDate;
    int code;
    std::string text;
  };
  std::vector<Line> out;
  const int defaultMarket = kind == 'W' ? 801 : 802;
  const CsvPriceRow* previous = nullptr;  // the stock's previous row kept
  for (const CsvPriceRow& r : rows) {
    if (previous && previous->code != r.code) previous = nullptr;
    if (previous && previous->fullDate == r.fullDate) {
      problems.push_back({sourceNames.at(static_cast<std::size_t>(r.source)), r.line,
                          "a second line for code " + std::to_string(r.code) + " on " +
                              yymmdd(r.fullDate) + "; the first one counts"});
      continue;
    }
    const int change = previous ? r.close - previous->close : 0;
    previous = &r;
    if (r.fullDate <= afterFullDate) continue;
    auto label = labels.find(r.code);
    const std::string name =
        label != labels.end() ? label->second.name : fitName(std::to_string(r.code));
    const int market =
        label != labels.end() && label->second.market ? label->second.market : defaultMarket;
    char buf[160];
    std::snprintf(buf, sizeof buf, "\"%s\",%d,%d,%d,%d,%d,%.0f,%s,%d,%d\n", name.c_str(), r.open,
                  r.high, r.low, r.close, change, r.volume, yymmdd(r.fullDate).c_str(), market,
                  r.code * 10);
    out.push_back({r.fullDate, r.code, buf});
  }
  std::sort(out.begin(), out.end(), [](const Line& a, const Line& b) {
    return a.fullDate != b.fullDate ? a.fullDate < b.fullDate : a.code < b.code;
  });
  std::vector<DailyPriceFile> files;
  for (const Line& line : out) {
    if (files.empty() || files.back().fullDate != line.fullDate) {
      DailyPriceFile f;
      f.fullDate = line.fullDate;
      f.name = yymmdd(line.fullDate);
      f.name.insert(f.name.begin(), kind);
      files.push_back(std::move(f));
    }
    files.back().contents += line.text;
    ++files.back().stocks;
  }
  return files;
}

}  // namespace dbprogram
