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

void RecordingDevice::clear() {
  ops_.clear();
  texts_.clear();
  changed();
}

void RecordingDevice::format(const Op& op, std::string& out) const {
  auto number = [&out](int v) {
    out += ' ';
    out += std::to_string(v);
  };
  switch (op.kind) {
    case Op::Fill:
      out += "fill";
      number(op.a), number(op.b), number(op.c), number(op.d);
      out += ' ';
      out += hexColor(op.color);
      break;
    case Op::Text:
      out += "text";
      number(op.a), number(op.b);
      out += ' ';
      out += hexColor(op.color);
      out += ' ';
      out += quoted(std::string_view(texts_).substr(op.textAt, op.textSize));
      break;
    case Op::Line:
      out += "line";
      number(op.a), number(op.b), number(op.c), number(op.d);
      out += ' ';
      out += hexColor(op.color);
      out += ' ';
      out += styleName(op.style);
      break;
    case Op::Rect:
      out += "rect";
      number(op.a), number(op.b), number(op.c), number(op.d);
      out += ' ';
      out += hexColor(op.color);
      out += ' ';
      out += op.hollow ? std::string("none") : hexColor(op.fillColor);
      break;
    case Op::Pixel:
      out += "pixel";
      number(op.a), number(op.b);
      out += ' ';
      out += hexColor(op.color);
      break;
  }
}

const std::vector<std::string>& RecordingDevice::operations() const {
  if (!formatted_) {
    lines_.clear();
    lines_.reserve(ops_.size());
    for (const Op& op : ops_) format(op, lines_.emplace_back());
    formatted_ = true;
  }
  return lines_;
}

std::string RecordingDevice::dump() const {
  std::string out;
  for (const Op& op : ops_) {
    format(op, out);
    out += '\n';
  }
  return out;
}

void RecordingDevice::fill(const TDC&, const TRect& r, COLORREF color) {
  ops_.push_back({.kind = Op::Fill, .a = r.left, .b = r.top, .c = r.right, .d = r.bottom, .color = color});
  changed();
}

void RecordingDevice::text(const TDC&, int x, int y, std::string_view cp932, COLORREF color) {
  ops_.push_back({.kind = Op::Text, .a = x, .b = y, .color = color, .textAt = texts_.size(),
                  .textSize = cp932.size()});
  texts_.append(cp932);
  changed();
}

void RecordingDevice::line(const TDC&, int x1, int y1, int x2, int y2, const TPen& pen) {
  ops_.push_back({.kind = Op::Line, .style = pen.style, .a = x1, .b = y1, .c = x2, .d = y2,
                  .color = pen.color});
  changed();
}

void RecordingDevice::rectangle(const TDC&, const TRect& r, const TPen& pen, const TBrush& brush) {
  ops_.push_back({.kind = Op::Rect, .hollow = brush.hollow, .a = r.left, .b = r.top, .c = r.right,
                  .d = r.bottom, .color = pen.color, .fillColor = brush.color});
  changed();
}

void RecordingDevice::pixel(const TDC&, int x, int y, COLORREF color) {
  ops_.push_back({.kind = Op::Pixel, .a = x, .b = y, .color = color});
  changed();
}
