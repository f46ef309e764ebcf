// The progress bar of the main window during an edit of the table (removing
// a run, block operations): shown before the work starts, moved at most
// every 30 ms, hidden at the end. No events run in between: the edit goes
// to its end without the user acting on the window.
#ifndef MARVESK_UI_EDITPROGRESS_H_
#define MARVESK_UI_EDITPROGRESS_H_

#include <QElapsedTimer>
#include <QLayout>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>

#include "core/Edit.h"

namespace ui {

class EditProgress final : public core::EditObserver {
 public:
  EditProgress(QProgressBar* bar, QWidget* window) : bar_(bar), window_(window) {}

  void Started(int maximum) override {
    bar_->setMaximum(std::max(maximum, 0));
    bar_->setValue(0);
    bar_->show();
    // Laid out and painted now, before the work, without running events.
    // The rest of the window repaints after the edit, when the grid shows
    // its result.
    if (window_->layout()) window_->layout()->activate();
    bar_->repaint();
    shown_.start();
  }
  void Progress(int position) override {
    if (shown_.elapsed() < kIntervalMs) return;
    bar_->setValue(std::min(position, bar_->maximum()));
    shown_.start();
  }
  void Finished() override {
    bar_->hide();
    if (window_->layout()) window_->layout()->activate();
  }

 private:
  static constexpr int kIntervalMs = 30;
  QProgressBar* bar_;
  QWidget* window_;
  QElapsedTimer shown_;
};

}  // namespace ui

#endif  // MARVESK_UI_EDITPROGRESS_H_
