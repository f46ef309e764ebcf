// The main window's progress bar during a long operation of the core
// (loading, saving, transposing, edits of the table): shown when the work
// starts, moved no more often than every 30 ms, hidden when it ends.
//
// With an Escape watch, pending events (repaints, Escape) are processed at
// those points, so the operation can be stopped. Without one nothing else
// runs until the operation ends: the bar is painted directly.
#ifndef MARVESK_UI_PROGRESSREPORT_H_
#define MARVESK_UI_PROGRESSREPORT_H_

#include <QElapsedTimer>

#include "core/Progress.h"

class QProgressBar;
class QWidget;

namespace ui {

class EscapeWatch;

class ProgressReport : public core::ProgressObserver {
 public:
  // `show_after_ms`: the bar is painted only once the work has run that
  // long (a bar that flashes up for a few hundredths of a second tells
  // nobody anything and costs a relayout).
  ProgressReport(QProgressBar* bar, QWidget* window, EscapeWatch* watch = nullptr,
                 int show_after_ms = 0);

  void Started(int maximum) override;
  void Progress(int position) override;
  void Finished() override;
  bool EscapePressed() override;

 protected:
  // Runs at each point where the bar moves (for texts beside it).
  virtual void Moved() {}
  EscapeWatch* watch() const { return watch_; }

 private:
  void Paint();

  QProgressBar* bar_;
  QWidget* window_;
  EscapeWatch* watch_;
  int show_after_ms_;
  // Looks at the clock now and then: true when this call is to.
  bool Look();

  QElapsedTimer started_;
  qint64 painted_ns_ = -1;  // since started_, -1 before the first paint
  // Progress comes once a row, a million times for a big table, and a look
  // at the clock costs more than a row of many edits: the clock is read
  // every skip_ calls only, a number that follows the pace of the calls so
  // that it is read about every kLookNs. It stays small, since a row may
  // take far longer than the rows before it (a ragged table's long rows).
  static constexpr qint64 kLookNs = 500'000;
  static constexpr int kMaxSkip = 64;
  int skip_ = 1;
  int calls_ = 0;
  qint64 looked_ns_ = 0;
};

}  // namespace ui

#endif  // MARVESK_UI_PROGRESSREPORT_H_
