#include "platform/host/headless_driver.h"

#include <algorithm>

#include "platform/text/cp932.h"

namespace {

// A message box is shown as one line, so line breaks inside its text become spaces.
std::string oneLine(std::string s) {
  std::replace_if(
      s.begin(), s.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return s;
}

}  // namespace

HeadlessDriver::HeadlessDriver(SDIDecFrame& frame, TSize clientSize, std::ostream& out)
    : frame_(frame),
      size_{std::max(clientSize.cx, 0), std::max(clientSize.cy, 0)},
      out_(out),
      raster_(size_.cx, size_.cy),
      recording_(size_.cx, size_.cy),
      overlayRecording_(size_.cx, size_.cy) {
  if (TWindow* w = window()) w->AttachHost(this);
}

HeadlessDriver::~HeadlessDriver() {
  if (TWindow* w = window(); w && w->host() == this) w->AttachHost(nullptr);
}

void HeadlessDriver::start() {
  TWindow* w = window();
  if (closed_ || !w) return;
  w->SetupWindow();
  // A window is painted in full when it is first shown.
  invalidate(true);
  paintIfInvalid();
}

bool HeadlessDriver::menu(int id) {
  const Menu* bar = frame_.menu();
  if (!bar) return false;
  bool onBar = std::any_of(bar->items.begin(), bar->items.end(),
                           [id](const MenuItem& item) { return item.id == id; });
  if (!onBar) return false;
  if (TWindow* w = window(); w && !closed_) {
    w->EvCommand(id);
    paintIfInvalid();
  }
  return true;
}

void HeadlessDriver::key(unsigned virtualKey, unsigned flags) {
  TWindow* w = window();
  if (!w || closed_) return;
  if (isQuitChord(virtualKey, flags)) {
    closeRequest(*w, 0);
  } else {
    w->EvKeyDown(virtualKey, 1, flags);
  }
  paintIfInvalid();
}

void HeadlessDriver::move(int x, int y) {
  if (TWindow* w = window(); w && !closed_) {
    pointer_ = TPoint{x, y};
    w->EvMouseMove(0, pointer_);
    paintIfInvalid();
  }
}

void HeadlessDriver::wheel(int notches) {
  if (TWindow* w = window(); w && !closed_) {
    w->EvMouseWheel(0, notches, pointer_);
    paintIfInvalid();
  }
}

void HeadlessDriver::drag(int x1, int y1, int x2, int y2) {
  TWindow* w = window();
  if (!w || closed_) return;
  pointer_ = TPoint{x1, y1};
  w->EvMouseMove(0, pointer_);
  paintIfInvalid();
  for (int step = 0; step < 3 && (w = window()) && !closed_; ++step) {
    if (step == 0) {
      w->EvLButtonDown(MK_LBUTTON, pointer_);
    } else if (step == 1) {
      pointer_ = TPoint{x2, y2};
      w->EvMouseMove(MK_LBUTTON, pointer_);
    } else {
      w->EvLButtonUp(0, pointer_);
    }
    paintIfInvalid();
  }
}

void HeadlessDriver::leave() {
  if (TWindow* w = window(); w && !closed_) {
    w->EvMouseLeave();
    paintIfInvalid();
  }
}

void HeadlessDriver::click(int x, int y) {
  if (TWindow* w = window(); w && !closed_) {
    w->EvLButtonDown(MK_LBUTTON, TPoint{x, y});
    paintIfInvalid();
  }
}

void HeadlessDriver::dblclick(int x, int y) {
  if (TWindow* w = window(); w && !closed_) {
    w->EvLButtonDblClk(0, TPoint{x, y});
    paintIfInvalid();
  }
}

void HeadlessDriver::size(int width, int height) {
  TWindow* w = window();
  if (!w || closed_) return;
  size_ = {std::max(width, 0), std::max(height, 0)};
  raster_.resize(size_.cx, size_.cy);
  recording_.resize(size_.cx, size_.cy);
  overlayRecording_.resize(size_.cx, size_.cy);
  overlay_.forget();
  // Whether a resize repaints is up to the window: it invalidates in its size handler.
  w->EvSize(SIZE_RESTORED, size_);
  paintIfInvalid();
}

void HeadlessDriver::paint() {
  if (!window() || closed_) return;
  invalidate(true);
  paintIfInvalid();
}

void HeadlessDriver::paintOverlay() {
  overlayInvalid_ = false;
  overlay_.repaint(*window(), raster_, recordingOn_ ? &overlayRecording_ : nullptr);
  ++overlayPaintCount_;
}

void HeadlessDriver::invalidate(bool erase) {
  invalid_ = true;
  erase_ = erase_ || erase;
}

void HeadlessDriver::closeRequest(TWindow&, int result) {
  if (closed_) return;  // the first request decides the result
  closed_ = true;
  closeResult_ = result;
}

int HeadlessDriver::messageBox(std::string_view textCp932, std::string_view captionCp932,
                               unsigned) {
  std::string line = "[";
  line += pelinor::text::toUtf8(captionCp932);
  line += "] ";
  line += pelinor::text::toUtf8(textCp932);
  line = oneLine(std::move(line));
  out_ << line << '\n';
  out_.flush();
  messages_.push_back(std::move(line));
  return IDOK;
}

// Ends an event as the message loop would: a window that asked to close is destroyed without
// another paint; otherwise a pending invalidation is painted, and a close request made during
// that paint destroys the window after it. An invalidation made while painting asks for the
// next paint, which follows at once (as a real window is painted again when its own paint left
// it invalid); a window that keeps invalidating itself is stopped after MaxChainedPaints.
void HeadlessDriver::paintIfInvalid() {
  constexpr int MaxChainedPaints = 16;
  for (int chained = 0; chained < MaxChainedPaints; ++chained) {
    TWindow* w = window();
    if (!w || closed_ || !invalid_) break;
    bool erase = erase_;
    invalid_ = false;
    erase_ = false;
    if (erase) raster_.clear(w->GetBkgndColor());
    recording_.clear();
    TeeDevice tee(raster_, recording_);
    TDC dc(recordingOn_ ? static_cast<DrawDevice&>(tee) : raster_);
    dc.SetMapMode(MM_TEXT);
    TRect rect{0, 0, size_.cx, size_.cy};
    w->Paint(dc, erase, rect);
    ++paintCount_;
    // A new frame: the overlay goes over it, as after every paint.
    overlay_.forget();
    overlayInvalid_ = true;
  }
  invalid_ = false;
  erase_ = false;
  if (overlayInvalid_ && !closed_ && window()) paintOverlay();
  if (closed_ && window()) {
    invalid_ = false;
    frame_.DestroyClient();
  }
}
