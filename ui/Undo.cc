#include "ui/Undo.h"

#include <QKeyEvent>

#include "ui/Codec.h"
#include "ui/StringGrid.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace ui {

Undo::Undo(TfrMarvesk& form) : form_(form) {}

void Undo::Connect() {
  for (StringGrid* grid : {form_.StringGrid1, form_.StringGrid2}) {
    grid->gridModel()->before_edit = [this, grid](int col, int row) {
      BeforeCells(*grid, core::Block{col, row, col, row});
    };
    grid->moved = [this, grid](Qt::Orientation o, int from, int to) {
      For(*grid).RecordMove(o == Qt::Vertical, from, to);
    };
  }
}

core::History& Undo::For(StringGrid& grid) {
  if (owner_ != &grid) {
    history_.Clear();
    owner_ = &grid;
  }
  return history_;
}

bool Undo::BeforeCells(StringGrid& grid, const core::Block& block) {
  return For(grid).RecordCells(grid.table(), block);
}

void Undo::Clear() {
  history_.Clear();
  owner_ = nullptr;
}

bool Undo::KeyDown(StringGrid& grid, QKeyEvent* key) {
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if (key->key() == Qt::Key_Z && mods == Qt::ControlModifier) {
    UndoStep(grid);
    return true;
  }
  if ((key->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
      (key->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))) {
    RedoStep(grid);
    return true;
  }
  return false;
}

void Undo::UndoStep(StringGrid& grid) { Step(grid, true); }
void Undo::RedoStep(StringGrid& grid) { Step(grid, false); }

void Undo::Step(StringGrid& grid, bool undo) {
  if (owner_ != &grid) return;
  if (undo ? !history_.CanUndo() : !history_.CanRedo()) return;
  const bool shape =
      (undo ? history_.PeekUndo() : history_.PeekRedo()) == core::HistoryChange::Kind::kShape;
  // Rows and columns that come or go are a new shape for the view.
  if (shape) grid.BeginUpdate();
  core::HistoryChange change;
  const core::Result done =
      undo ? history_.Undo(grid.table(), change) : history_.Redo(grid.table(), change);
  if (shape) grid.EndUpdate();
  if (!done.ok()) {
    form_.ex().ShowWarning(FromBytes(done.message()));
    return;
  }
  Show(grid, change);
}

void Undo::Show(StringGrid& grid, const core::HistoryChange& change) {
  switch (change.kind) {
    case core::HistoryChange::Kind::kCells: {
      const core::Block& b = change.block;
      grid.gridModel()->CellsChanged(b.left, b.top, b.right, b.bottom);
      // What changed comes into sight; the current cell stays.
      grid.scrollTo(grid.model()->index(b.top - 1, b.left - 1));
      break;
    }
    case core::HistoryChange::Kind::kShape:
      form_.SetCounters(grid);
      break;
    case core::HistoryChange::Kind::kMove:
      grid.MoveSection(change.row ? Qt::Vertical : Qt::Horizontal, change.from, change.to);
      break;
  }
}

}  // namespace ui
