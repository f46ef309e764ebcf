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
  painted_.invalidate();
  // Laid out and painted now, before the work starts.
  if (show_after_ms_ == 0) Paint();
}

void ProgressReport::Progress(int position) {
  if (watch_) {
    if (!watch_->Due()) return;
  } else {
    if (started_.elapsed() < show_after_ms_) return;
    if (painted_.isValid() && painted_.elapsed() < EscapeWatch::kIntervalMs) return;
  }
  bar_->setValue(std::min(position, bar_->maximum()));
  Moved();
  if (watch_) {
    watch_->Pump();
  } else {
    if (!painted_.isValid() && window_->layout()) window_->layout()->activate();
    bar_->repaint();
    painted_.start();
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
  painted_.start();
}

}  // namespace ui
