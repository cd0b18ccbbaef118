#include "platform/gdi/recording_device.h"

std::string RecordingDevice::dump() const { std::string s; for (auto& o : ops_) s += o + "\n"; return s; }
void RecordingDevice::fill(const TDC&, const TRect&, COLORREF) {}
void RecordingDevice::text(const TDC&, int, int, std::string_view, COLORREF) {}
void RecordingDevice::line(const TDC&, int, int, int, int, const TPen&) {}
void RecordingDevice::rectangle(const TDC&, const TRect&, const TPen&, const TBrush&) {}
void RecordingDevice::pixel(const TDC&, int, int, COLORREF) {}
