#include "ui/Transposition.h"

#include <QToolButton>

#include "core/Transpose.h"
#include "ui/Builders.h"
#include "ui/Codec.h"
#include "ui/ProgressReport.h"
#include "ui/StringGrid.h"
#include "ui/TableEdits.h"
#include "ui/TableViews.h"
#include "ui/platform/Prompter.h"

namespace ui {
namespace {

// The bar shows only once a copy has run this long.
constexpr int kShowAfterMs = 100;

}  // namespace

Transposition::Transposition(QWidget* window, TableViews& views, TableEdits& edits,
                             QToolButton* tbRow_Col, QProgressBar* bar, Prompter& prompter)
    : QObject(window),
      window_(window),
      views_(views),
      edits_(edits),
      bar_(bar),
      prompter_(prompter) {
  setObjectName(QStringLiteral("Transposition"));
  views.SetMark(tbRow_Col);
  ConnectGuarded(tbRow_Col, &QToolButton::clicked, window, prompter, [this] { tbRow_ColClick(); });
}

void Transposition::tbRow_ColClick() {
  emit switching();
  const bool transposed = !views_.IsTransposed();
  views_.SetTransposed(transposed);
  StringGrid& source = transposed ? views_.loaded() : views_.transposed();
  StringGrid& target = transposed ? views_.transposed() : views_.loaded();
  const int r = source.Row();
  const int c = source.Col();
  views_.ShowOnly(target);
  // No other window events run during the copy: the bar is painted directly.
  ProgressReport progress(bar_, window_, nullptr, kShowAfterMs);
  // The view left is made anew at the next switch: a big one gives its
  // memory back during the copy, so the grid leaving lets go of its table.
  source.BeginUpdate();
  const core::Result result = edits_.Replace(target, [&](core::Table& table) {
    return core::TransposeGridFreeingSource(source.table(), table, &progress);
  });
  source.EndUpdate();
  if (!result.ok()) {
    // The copy did not fit: stay with the table that was shown, unchanged.
    views_.SetTransposed(!transposed);
    views_.ShowOnly(source);
    ShowWarning(prompter_, FromBytes(result.message()));
    source.setFocus();
    return;
  }
  // The other view is a new table: its history starts here.
  edits_.Clear();
  emit switched(&target);
  target.setFocus();
  target.SetRow(c);
  target.SetCol(r);
}

}  // namespace ui
