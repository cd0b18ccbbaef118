#include "platform/host/overlay_pixels.h"

#include "platform/gdi/damage_device.h"
#include "platform/gdi/recording_device.h"

void OverlayPixels::repaint(TWindow& window, RasterDevice& frame, RecordingDevice* recording) {
  touched_.clear();
  for (std::size_t k = used_; k-- > 0;) {
    frame.loadRect(saved_[k].rect, saved_[k].pixels);
    touched_.push_back(saved_[k].rect);
  }
  used_ = 0;
  DamageDevice damage(frame, [this, &frame](const TRect& r) {
    if (used_ == saved_.size()) saved_.emplace_back();
    Saved& s = saved_[used_++];
    s.rect = r;
    frame.saveRect(s.rect, s.pixels);
    touched_.push_back(s.rect);
  });
  if (!recording) {
    TDC dc(damage);
    window.PaintOverlay(dc);
    return;
  }
  recording->clear();
  TeeDevice tee(damage, *recording);
  TDC dc(tee);
  window.PaintOverlay(dc);
}
