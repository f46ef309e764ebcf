#include "ui/ProgressReport.h"

#include <QLayout>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>

#include "ui/platform/EscapeWatch.h"

namespace ui {

ProgressReport::ProgressReport(QProgressBar* bar, QWidget* window, EscapeWatch* watch,
                               int show_after_ms)
    : bar_(bar), window_(window), watch_(watch), show_after_ms_(show_after_ms) {}

void ProgressReport::Started(int maximum) {
  bar_->setMaximum(std::max(maximum, 0));
  bar_->setValue(0);
  bar_->show();
  started_.start();
  painted_ns_ = -1;
  skip_ = 1;
  calls_ = 0;
  looked_ns_ = 0;
  // Laid out and painted now, before the work starts.
  if (show_after_ms_ == 0) Paint();
}

bool ProgressReport::Look() {
  if (++calls_ < skip_) return false;
  calls_ = 0;
  const qint64 now = started_.nsecsElapsed();
  const qint64 since = now - looked_ns_;
  looked_ns_ = now;
  if (since < kLookNs / 2) {
    skip_ = std::min(skip_ * 2, kMaxSkip);
  } else if (since > kLookNs * 2) {
    skip_ = std::max(skip_ / 2, 1);
  }
  return true;
}

void ProgressReport::Progress(int position) {
  if (!Look()) return;
  constexpr qint64 kMs = 1'000'000;
  if (watch_) {
    if (!watch_->Due()) return;
  } else {
    if (looked_ns_ < show_after_ms_ * kMs) return;
    if (painted_ns_ >= 0 && looked_ns_ - painted_ns_ < EscapeWatch::kIntervalMs * kMs) return;
  }
  bar_->setValue(std::min(position, bar_->maximum()));
  Moved();
  if (watch_) {
    watch_->Pump();
  } else {
    if (painted_ns_ < 0 && window_->layout()) window_->layout()->activate();
    bar_->repaint();
    painted_ns_ = started_.nsecsElapsed();
  }
}

void ProgressReport::Finished() {
  bar_->hide();
  if (window_->layout()) window_->layout()->activate();
}

bool ProgressReport::EscapePressed() { return watch_ && watch_->IsPressed(); }

void ProgressReport::Paint() {
  if (window_->layout()) window_->layout()->activate();
  if (watch_) {
    watch_->Pump(/*force=*/true);
  } else {
    bar_->repaint();
  }
  painted_ns_ = started_.nsecsElapsed();
}

}  // namespace ui
