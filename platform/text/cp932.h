// Shift-JIS (code page 932) <-> Unicode.
//
// Every text this system draws or writes to a data file is a CP932 byte string. Literals are
// written in the source as UTF-8 and converted once through SJ(); terminal output is UTF-8.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace pelinor::text {

// One character of a CP932 string.
struct Cp932Char {
  char32_t codePoint = 0;  // U+FFFD when the bytes do not decode
  int bytes = 1;           // bytes taken from the string (1 or 2)
  bool valid = true;       // false: one byte that does not decode (drawn as one half-width cell),
                           // or a well-formed double byte with no character assigned
                           // (bytes 2, fullWidth, drawn as one full-width replacement cell)
  bool fullWidth = false;  // double-byte characters take two half-width cells
};

// Decodes the character starting at byte pos of s (pos < s.size()).
Cp932Char decodeAt(std::string_view s, std::size_t pos);

// The code point of one double-byte pair converted on its own by the C library (0 when it gives
// no single character): the plain conversion the decode table is checked against.
char32_t convertPairPlain(unsigned char lead, unsigned char trail);

// Number of half-width cells the string takes when drawn.
int cellCount(std::string_view cp932);

// CP932 bytes -> UTF-8; a byte that does not decode becomes U+FFFD.
std::string toUtf8(std::string_view cp932);

// UTF-8 -> CP932 bytes; a character CP932 cannot hold becomes '?'.
std::string toCp932(std::string_view utf8);

// printf-style formatting into a std::string (the format is a CP932 or ASCII string).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);

}  // namespace pelinor::text

// A UTF-8 literal converted to CP932 once, on first use.
#define SJ(utf8Literal)                                                                   \
  ([]() -> const std::string& {                                                          \
    static const std::string converted_ = ::pelinor::text::toCp932(utf8Literal);          \
    return converted_;                                                                    \
  }())
