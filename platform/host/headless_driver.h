// Runs a frame's client window without a screen: each event goes to the window's handler and,
// when the handler invalidated the window, one paint follows, exactly as the message loop
// would. Every paint draws into a raster frame and a recording at once. The script host is a
// thin reader of script lines on top of this; tests drive windows with it directly.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/gdi/raster_device.h"
#include "platform/gdi/recording_device.h"
#include "platform/host/overlay_pixels.h"
#include "platform/window/window.h"

class HeadlessDriver : public WindowHost {
 public:
  // Message boxes are answered OK at once and written to `out` as "[CAPTION] TEXT" (UTF-8).
  HeadlessDriver(SDIDecFrame& frame, TSize clientSize, std::ostream& out);
  ~HeadlessDriver() override;

  void start();  // SetupWindow, then the first paint (as when the window is first shown)
  bool menu(int id);  // false when the id is not on the frame's menu bar
  // A key-down; `flags` holds MK_SHIFT and MK_CONTROL for keys held with it. Ctrl+Q is a close
  // request, as the window system's close button.
  void key(unsigned virtualKey, unsigned flags = 0);
  void click(int x, int y);
  void dblclick(int x, int y);
  // The pointer: a move with no button held, whole wheel notches at the pointer (positive away
  // from the user), a left-button drag (down at the first point, one move to the second with the
  // button held, up there) and the pointer leaving the client area.
  void move(int x, int y);
  void wheel(int notches);
  void drag(int x1, int y1, int x2, int y2);
  void leave();
  void size(int width, int height);
  void paint();  // a repaint that no command caused
  // Whether paints are also recorded (on unless turned off): a run that will never ask for a
  // dump draws into the raster frame alone.
  void setRecording(bool on) { recordingOn_ = on; }

  bool closed() const { return closed_; }  // a close request was made
  int closeResult() const { return closeResult_; }
  int paintCount() const { return paintCount_; }
  TWindow* window() const { return frame_.GetClientWindow(); }
  const RecordingDevice& recording() const { return recording_; }
  const RasterDevice& raster() const { return raster_; }
  // The last paint's operations: those of the window's Paint, then those of its overlay.
  std::string dump() const { return recording_.dump() + overlayRecording_.dump(); }
  int overlayPaintCount() const { return overlayPaintCount_; }
  const std::string& titleDetail() const { return titleDetail_; }  // CP932
  const std::vector<std::string>& messageBoxes() const { return messages_; }

  // WindowHost
  void invalidate(bool erase) override;
  void invalidateOverlay() override { overlayInvalid_ = true; }
  void setTitleDetail(std::string_view cp932) override { titleDetail_ = cp932; }
  TSize clientSize() const override { return size_; }
  void closeRequest(TWindow& window, int result) override;
  int messageBox(std::string_view textCp932, std::string_view captionCp932,
                 unsigned type) override;
  void setCursor(Cursor cursor) override { cursor_ = cursor; }
  void writeFailed() override { ++writeFailures_; }
  int writeFailures() const { return writeFailures_; }
  Cursor cursor() const { return cursor_; }

 private:
  void paintIfInvalid();
  void paintOverlay();  // the frame below put back where the last overlay drew, then the overlay
  SDIDecFrame& frame_;
  TSize size_;
  std::ostream& out_;
  RasterDevice raster_;
  RecordingDevice recording_;
  RecordingDevice overlayRecording_;
  OverlayPixels overlay_;  // the pixels under the last overlay
  bool overlayInvalid_ = false;
  int overlayPaintCount_ = 0;
  TPoint pointer_{};
  std::string titleDetail_;
  bool recordingOn_ = true;
  bool invalid_ = false;
  bool erase_ = false;  // the pending paint erases the background first
  bool closed_ = false;
  int closeResult_ = 0;
  int paintCount_ = 0;
  int writeFailures_ = 0;
  Cursor cursor_ = Cursor::Arrow;
  std::vector<std::string> messages_;
};
