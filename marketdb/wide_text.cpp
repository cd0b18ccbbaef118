#include "marketdb/wide_text.h"

#include <algorithm>
#include <string_view>

#include "marketdb/layout.h"
#include "marketdb/text_scan.h"
#include "platform/text/cp932.h"

namespace marketdb {

using pelinor::text::format;

namespace {

// The text after the first `lines` lines of `text`.
std::string afterLines(const std::string& text, int lines) {
  std::size_t at = 0;
  for (int i = 0; i < lines && at != std::string::npos; ++i) {
    at = text.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  return at == std::string::npos ? std::string() : text.substr(at);
}

// The first `lines` lines of `text`.
std::string firstLines(const std::string& text, int lines) {
  const std::string rest = afterLines(text, lines);
  return text.substr(0, text.size() - rest.size());
}

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool isWideDate(std::int32_t d) {
  const int year = d / 10000, month = d / 100 % 100, day = d % 100;
  if (year < 1900 || year > 2099 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// pelwide.sys

std::string formatWideSystemFile(const WideSystem& s) {
  // The colour and period lines are the classic ones.
  return wideMagicLine(WideText::System) +
         format("%4d %8d %5d %3d\n", s.sys.reserved, static_cast<int>(s.lastStoreDate),
                s.sys.referenceRecord, s.sys.storePosition) +
         afterLines(formatClassicSystemFile(s.sys), 1);
}

WideCheck parseWideSystemFile(const std::string& text, WideSystem& out) {
  std::size_t bodyAt = 0;
  WideCheck magic = checkWideMagic(text, WideText::System, WideSystemFileName, bodyAt);
  if (!magic.ok) return magic;
  TextScanner scan(text.substr(bodyAt));
  int line[4] = {};
  // The store trusts these values to place the next day: a damaged line is refused instead of
  // being read in part.
  if (scan.ints(line, 4, true) != 4 || (line[1] != 0 && !isWideDate(line[1])) ||
      line[3] < 0 || line[3] >= HistoryDays) {
    return {false, 2,
            format(SJ("%s の2行目が読めないので処理しません").c_str(), WideSystemFileName)};
  }
  out.sys.reserved = line[0];
  out.lastStoreDate = line[1];
  out.sys.referenceRecord = line[2];
  out.sys.storePosition = line[3];
  scan.ints(out.sys.colours, 19, true);
  scan.ints(out.sys.periods, 16, false);
  return {};
}

// ---------------------------------------------------------------------------------------------
// pelwide.win

std::string formatWideSettingsFile(const WideSettings& s) {
  SettingsFile win = s.win;
  std::fill(std::begin(win.codes), std::end(win.codes), NoStockCode);
  std::string out = wideMagicLine(WideText::Settings) + firstLines(formatClassicSettingsFile(win), 6);
  for (int l = 0; l < 6; ++l) {
    for (int i = 0; i < 20; ++i) {
      if (i > 0) out += ' ';
      const std::string code = codeText(s.codes[l * 20 + i]);
      out += code.empty() ? "0" : code;
    }
    out += '\n';
  }
  return out;
}

WideCheck parseWideSettingsFile(const std::string& text, WideSettings& out) {
  std::size_t bodyAt = 0;
  WideCheck magic = checkWideMagic(text, WideText::Settings, WideSettingsFileName, bodyAt);
  if (!magic.ok) return magic;
  SettingsFile& win = out.win;
  TextScanner scan(text.substr(bodyAt));

  // As the classic reader: unused positions are read like the others.
  SettingsScratch scratch;
  const auto takeUnused = [&](const int* values, int first, int end, int convertedCount) {
    scratch.take(values, first, end, convertedCount);
  };
  auto count = [](int r) { return r < 0 ? 0 : r; };
  int line1[4] = {};
  int c = count(scan.systemLine1(line1[0], win.carried, line1[2], line1[3]));
  takeUnused(line1, 0, 1, c);
  takeUnused(line1, 2, 4, c);
  scan.ints(win.colours, 19, false);
  int unused[20] = {};
  takeUnused(unused, 0, 16, count(scan.ints(unused, 16, false)));
  int line4[20] = {};
  packSettingsLine4(win, line4);
  c = count(scan.ints(line4, 20, false));
  unpackSettingsLine4(line4, win);
  takeUnused(line4, 15, 20, c);
  for (int l = 5; l <= 6; ++l) takeUnused(unused, 0, 20, count(scan.ints(unused, 20, false)));
  win.scratch = scratch.value();

  // The code positions: one word each; positions the file does not reach keep their values.
  const std::string body = text.substr(bodyAt);
  std::size_t at = std::min(scan.position(), body.size());
  for (int i = 0; i < 120; ++i) {
    while (at < body.size() && isBlank(body[at])) ++at;
    const std::size_t start = at;
    while (at < body.size() && !isBlank(body[at])) ++at;
    if (at == start) break;
    out.codes[i] = codeFromText(std::string_view(body).substr(start, at - start));
  }
  return {};
}

}  // namespace marketdb
