#include "marketdb/wide_format.h"

#include <string_view>

#include "platform/text/cp932.h"

namespace marketdb {

using pelinor::text::format;

namespace {

const char* tagOf(WideText which) {
  switch (which) {
    case WideText::System: return "SYS";
    case WideText::Settings: return "WIN";
    case WideText::Index: return "IDX";
  }
  return "";
}

}  // namespace

std::string wideMagicLine(WideText which) {
  return format("PELWIDE %s %d\n", tagOf(which), WideFormatVersion);
}

std::string fileLine(const char* fileName, int line) {
  return format(SJ("%s の%d行目").c_str(), fileName, line);
}

WideCheck unknownFormat(const std::string& where, int line) {
  return {false, line, format(SJ("%s は認識できない形式なので処理しません").c_str(), where.c_str())};
}

WideCheck laterVersion(const std::string& where, int line, unsigned long version) {
  return {false, line,
          format(SJ("%s は版%luの形式で、このプログラムは版%dまでしか扱えません").c_str(),
                 where.c_str(), version, WideFormatVersion)};
}

WideCheck damagedHeader(const std::string& where) {
  return {false, 0, format(SJ("%s の見出しが壊れているので処理しません").c_str(), where.c_str())};
}

WideCheck checkWideMagic(std::string_view text, WideText which, const char* fileName,
                         std::size_t& bodyAt) {
  const std::string where = fileLine(fileName, 1);
  const std::size_t end = text.find('\n');
  if (end == std::string_view::npos) return unknownFormat(where, 1);
  const std::string_view line(text.data(), end);
  const std::string prefix = std::string("PELWIDE ") + tagOf(which) + " ";
  if (line.substr(0, prefix.size()) != prefix) return unknownFormat(where, 1);

  // The version: a plain decimal number without a sign or leading zeros. Anything else is a
  // damaged magic line, never a version to guess at.
  const std::string_view digits = line.substr(prefix.size());
  if (digits.empty() || digits.size() > 9 || digits[0] == '0') return unknownFormat(where, 1);
  unsigned long version = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return unknownFormat(where, 1);
    version = version * 10 + static_cast<unsigned long>(c - '0');
  }
  if (version > static_cast<unsigned long>(WideFormatVersion))
    return laterVersion(where, 1, version);
  bodyAt = end + 1;
  return {};
}

}  // namespace marketdb
