// The device context: mapping, pens, brushes, fonts, text, lines, rectangles and pixels.
// A TDC draws onto a DrawDevice: the raster device (an RGB frame) or the recording device
// (a list of operations in logical coordinates).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

using COLORREF = std::uint32_t;  // 0x00BBGGRR

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

enum : int { MM_TEXT = 1, MM_ANISOTROPIC = 8 };
enum : int { TRANSPARENT = 1, OPAQUE = 2 };
enum : int { PS_SOLID = 0, PS_DOT = 2, PS_DASHDOT = 3 };
enum : int { DEFAULT_CHARSET = 1, SHIFTJIS_CHARSET = 128 };
enum : int { FW_NORMAL = 400, FW_BOLD = 700 };

struct TPoint {
  int x = 0;
  int y = 0;
};

struct TSize {
  int cx = 0;
  int cy = 0;
};

struct TRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct TPen {
  COLORREF color = RGB(0, 0, 0);
  int width = 0;  // 0 = one device pixel at any scale
  int style = PS_SOLID;
  TPen() = default;
  explicit TPen(COLORREF c, int w = 0, int s = PS_SOLID) : color(c), width(w), style(s) {}
};

struct TBrush {
  COLORREF color = RGB(255, 255, 255);
  bool hollow = false;
  TBrush() = default;
  explicit TBrush(COLORREF c) : color(c) {}
  static TBrush Hollow() {
    TBrush b;
    b.hollow = true;
    return b;
  }
};

// A font request. The face "MSｺﾞｼｯｸ" (and any other face) is served by a monospaced Japanese
// gothic; a half-width character is `width` logical units wide, a full-width one twice that,
// and the cell is `height` units tall.
struct TFont {
  std::string face;  // CP932
  int height = 16;
  int width = 6;
  int weight = FW_NORMAL;
  int charset = SHIFTJIS_CHARSET;
  TFont() = default;
  TFont(std::string faceCp932, int h, int w, int wt = FW_NORMAL, int cs = SHIFTJIS_CHARSET)
      : face(std::move(faceCp932)), height(h), width(w), weight(wt), charset(cs) {}
};

class TDC;

// What a TDC draws onto. Coordinates are logical; the device maps them through the TDC.
class DrawDevice {
 public:
  virtual ~DrawDevice() = default;
  virtual TSize deviceSize() const = 0;
  virtual void fill(const TDC& dc, const TRect& logical, COLORREF color) = 0;
  virtual void text(const TDC& dc, int x, int y, std::string_view cp932, COLORREF color) = 0;
  virtual void line(const TDC& dc, int x1, int y1, int x2, int y2, const TPen& pen) = 0;
  virtual void rectangle(const TDC& dc, const TRect& logical, const TPen& pen,
                         const TBrush& brush) = 0;
  virtual void pixel(const TDC& dc, int x, int y, COLORREF color) = 0;
};

class TDC {
 public:
  explicit TDC(DrawDevice& device);

  // Mapping. MM_TEXT: one logical unit is one device pixel. MM_ANISOTROPIC: device x =
  // floor(x * viewportW / windowW) + viewport origin x (64-bit), likewise y.
  int SetMapMode(int mode);
  void SetWindowExt(const TSize& ext);
  void SetViewportExt(const TSize& ext);
  void SetViewportOrg(const TPoint& org);
  int GetMapMode() const { return mapMode_; }
  int LPtoDPx(int x) const;
  int LPtoDPy(int y) const;

  void SelectObject(const TPen& pen) { pen_ = pen; }
  void SelectObject(const TBrush& brush) { brush_ = brush; }
  void SelectObject(const TFont& font) { font_ = font; }
  const TPen& GetPen() const { return pen_; }
  const TBrush& GetBrush() const { return brush_; }
  const TFont& GetFont() const { return font_; }

  COLORREF SetTextColor(COLORREF c);
  COLORREF SetBkColor(COLORREF c);
  int SetBkMode(int mode);
  COLORREF GetTextColor() const { return textColor_; }
  COLORREF GetBkColor() const { return bkColor_; }
  int GetBkMode() const { return bkMode_; }

  // Draws the cell of the text with its top left corner at (x, y); in OPAQUE mode the cell is
  // filled with the background colour first.
  bool TextOut(int x, int y, std::string_view cp932);
  bool MoveTo(int x, int y);
  bool LineTo(int x, int y);  // excludes the end point
  TPoint GetCurrentPosition() const { return current_; }
  bool Rectangle(int left, int top, int right, int bottom);
  bool Rectangle(const TRect& r) { return Rectangle(r.left, r.top, r.right, r.bottom); }
  bool FillRect(const TRect& r, const TBrush& brush);
  COLORREF SetPixel(int x, int y, COLORREF color);

  DrawDevice& device() const { return device_; }

 private:
  DrawDevice& device_;
  int mapMode_ = MM_TEXT;
  TSize windowExt_{1, 1};
  TSize viewportExt_{1, 1};
  TPoint viewportOrg_{};
  TPen pen_{};
  TBrush brush_{};
  TFont font_{};
  COLORREF textColor_ = RGB(0, 0, 0);
  COLORREF bkColor_ = RGB(255, 255, 255);
  int bkMode_ = OPAQUE;
  TPoint current_{};
};
