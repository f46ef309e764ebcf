#include "ui/Transposition.h"

#include <QElapsedTimer>
#include <QLayout>
#include <QProgressBar>
#include <QToolButton>

#include "core/Transpose.h"
#include "ui/BlockOps.h"
#include "ui/ButtonBar.h"
#include "ui/Codec.h"
#include "ui/Search.h"
#include "ui/StringGrid.h"
#include "ui/Undo.h"
#include "ui/platform/EscapeWatch.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace ui {
namespace {

// The progress bar of a transposition. No other window events run during the
// copy, so the bar is painted directly.
class WindowTransposeObserver final : public core::TransposeObserver {
 public:
  WindowTransposeObserver(QProgressBar* bar, QLayout* layout) : bar_(bar), layout_(layout) {}
  void Started(int maximum) override {
    bar_->setMaximum(maximum);
    bar_->setValue(0);
    bar_->show();
    started_.start();
  }
  void Progress(int position) override {
    // A bar that flashes up for a few hundredths of a second tells nobody
    // anything and costs a relayout: paint only once the copy has run for a
    // tenth of a second, and then at most every 30 ms.
    if (started_.elapsed() < kShowAfterMs) return;
    if (painted_.isValid() && painted_.elapsed() < EscapeWatch::kIntervalMs) return;
    if (!painted_.isValid()) layout_->activate();
    bar_->setValue(position);
    bar_->repaint();
    painted_.start();
  }
  void Finished() override { bar_->hide(); }

 private:
  QProgressBar* bar_;
  QLayout* layout_;
  static constexpr qint64 kShowAfterMs = 100;
  QElapsedTimer started_;
  QElapsedTimer painted_;
};

}  // namespace

core::Result Transposition::Copy(StringGrid* source, StringGrid* target) {
  WindowTransposeObserver observer(form_.ProgressBar1, form_.layout());
  target->BeginUpdate();
  const core::Result result = core::TransposeGrid(source->table(), target->table(), &observer);
  target->EndUpdate();
  return result;
}

void Transposition::Switch() {
  form_.search().Restart();
  QToolButton* mark = form_.bar().tbRow_Col;
  const bool transposed = !mark->isChecked();
  mark->setChecked(transposed);
  StringGrid* source = transposed ? form_.StringGrid1 : form_.StringGrid2;
  StringGrid* target = transposed ? form_.StringGrid2 : form_.StringGrid1;
  const int r = source->Row();
  const int c = source->Col();
  if (transposed) {
    form_.StringGrid1->hide();
    form_.StringGrid2->show();
  } else {
    form_.StringGrid1->show();
    form_.StringGrid2->hide();
  }
  const core::Result result = Copy(source, target);
  if (!result.ok()) {
    // The copy did not fit: stay with the table that was shown, unchanged.
    mark->setChecked(!transposed);
    source->show();
    target->hide();
    form_.ex().ShowWarning(FromBytes(result.message()));
    source->setFocus();
    return;
  }
  // The other view is a new table: its history starts here.
  form_.undo().Clear();
  form_.SetCounters(*target);
  form_.blocks().ShowWidthOf(*target);
  target->setFocus();
  target->SetRow(c);
  target->SetCol(r);
}

}  // namespace ui
