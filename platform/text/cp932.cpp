#include "platform/text/cp932.h"

#include <cstdio>

namespace pelinor::text {

Cp932Char decodeAt(std::string_view s, std::size_t pos) {
  Cp932Char c;
  c.codePoint = static_cast<unsigned char>(s[pos]);
  return c;
}
int cellCount(std::string_view cp932) { return static_cast<int>(cp932.size()); }
std::string toUtf8(std::string_view cp932) { return std::string(cp932); }
std::string toCp932(std::string_view utf8) { return std::string(utf8); }
std::string format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  return s;
}
std::string vformat(const char* fmt, va_list args) {
  char buf[1024];
  std::vsnprintf(buf, sizeof buf, fmt, args);
  return buf;
}

}  // namespace pelinor::text
