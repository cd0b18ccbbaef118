// The recording device: one text line per drawing operation, in logical coordinates.
#include "platform/gdi/recording_device.h"

#include <cstdio>

#include "platform/text/cp932.h"

namespace {

// RRGGBB, upper case, red first.
std::string hexColor(COLORREF c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

const char* styleName(int style) {
  switch (style) {
    case PS_DOT:
      return "dot";
    case PS_DASHDOT:
      return "dashdot";
    default:
      return "solid";
  }
}

// The text as a quoted UTF-8 string. '"' and '\' are escaped with a backslash; control
// characters are written as \xHH so that every operation stays on one line.
std::string quoted(std::string_view cp932) {
  std::string utf8 = pelinor::text::toUtf8(cp932);
  std::string out = "\"";
  for (char ch : utf8) {
    unsigned char b = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (b < 0x20 || b == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
    } else {
      out += ch;
    }
  }
  out += '"';
  return out;
}

}  // namespace

std::string RecordingDevice::dump() const {
  std::string out;
  for (const std::string& op : ops_) {
    out += op;
    out += '\n';
  }
  return out;
}

void RecordingDevice::fill(const TDC&, const TRect& r, COLORREF color) {
  ops_.push_back("fill " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                 std::to_string(r.right) + " " + std::to_string(r.bottom) + " " + hexColor(color));
}

void RecordingDevice::text(const TDC&, int x, int y, std::string_view cp932, COLORREF color) {
  ops_.push_back("text " + std::to_string(x) + " " + std::to_string(y) + " " + hexColor(color) +
                 " " + quoted(cp932));
}

void RecordingDevice::line(const TDC&, int x1, int y1, int x2, int y2, const TPen& pen) {
  ops_.push_back("line " + std::to_string(x1) + " " + std::to_string(y1) + " " +
                 std::to_string(x2) + " " + std::to_string(y2) + " " + hexColor(pen.color) + " " +
                 styleName(pen.style));
}

void RecordingDevice::rectangle(const TDC&, const TRect& r, const TPen& pen, const TBrush& brush) {
  ops_.push_back("rect " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                 std::to_string(r.right) + " " + std::to_string(r.bottom) + " " +
                 hexColor(pen.color) + " " + (brush.hollow ? std::string("none") : hexColor(brush.color)));
}

void RecordingDevice::pixel(const TDC&, int x, int y, COLORREF color) {
  ops_.push_back("pixel " + std::to_string(x) + " " + std::to_string(y) + " " + hexColor(color));
}
