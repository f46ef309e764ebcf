#include "ui/TableEdits.h"

#include <QKeyEvent>

#include "ui/Codec.h"
#include "ui/StringGrid.h"
#include "ui/platform/Prompter.h"

namespace ui {

TableEdits::TableEdits(Prompter& prompter, QObject* parent) : QObject(parent), prompter_(prompter) {
  setObjectName(QStringLiteral("TableEdits"));
}

void TableEdits::Attach(StringGrid& grid) {
  StringGrid* g = &grid;
  g->gridModel()->lost_characters = [this](int count) { ReportLost(count); };
  g->gridModel()->write_cell = [this, g](int col, int row, const std::string& bytes) {
    const core::TableChange cell = core::TableChange::Cells({col, row, col, row});
    (void)Apply(*g, cell, [&](core::Table& table) {
      table.Set(col, row, bytes);
      return core::Result::Ok();
    });
  };
  g->move_requested = [this, g](Qt::Orientation o, int from, int to) { Move(*g, o, from, to); };
}

core::History& TableEdits::For(StringGrid& grid) {
  if (owner_ != &grid) {
    history_.Clear();
    owner_ = &grid;
  }
  return history_;
}

core::Result TableEdits::Apply(StringGrid& grid, const core::TableChange& change, const Run& run) {
  const bool recorded = For(grid).Record(grid.table(), change);
  const bool shape = change.Shape();
  // Rows and columns that go are a new shape for the view.
  if (shape) grid.BeginUpdate();
  const core::Result result = run(grid.table());
  if (shape) {
    grid.EndUpdate();
    emit shapeChanged(&grid);
  } else {
    const core::Block& b = change.block;
    grid.gridModel()->CellsChanged(b.left, b.top, b.right, b.bottom);
  }
  if (!result.ok()) {
    if (recorded) history_.Forget();
  } else {
    Changed(recorded);
  }
  return result;
}

void TableEdits::Changed(bool recorded) {
  if (recorded) undo_states_.push_back(state_);
  state_ = ++last_state_;
  redo_states_.clear();
  Sync();
}

void TableEdits::MarkClean() {
  clean_ = state_;
  Announce();
}

void TableEdits::Announce() {
  if (Modified() == announced_modified_) return;
  announced_modified_ = Modified();
  emit modifiedChanged(announced_modified_);
}

void TableEdits::Sync() {
  auto trim = [](std::vector<uint64_t>& states, size_t kept) {
    if (states.size() > kept) states.erase(states.begin(), states.end() - static_cast<long>(kept));
  };
  trim(undo_states_, history_.UndoSteps());
  trim(redo_states_, history_.RedoSteps());
  Announce();
}

void TableEdits::ReportLost(int count) {
  if (count > 0) emit charactersLost(count);
}

core::Result TableEdits::Replace(StringGrid& grid, const Run& run) {
  grid.BeginUpdate();
  const core::Result result = run(grid.table());
  grid.EndUpdate();
  return result;
}

void TableEdits::Move(StringGrid& grid, Qt::Orientation o, int from, int to) {
  grid.MoveSection(o, from, to);
  For(grid).RecordMove(o == Qt::Vertical, from, to);
  Changed(/*recorded=*/true);
}

void TableEdits::Clear() {
  history_.Clear();
  owner_ = nullptr;
  Sync();
}

bool TableEdits::KeyDown(StringGrid& grid, QKeyEvent* key) {
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if (key->key() == Qt::Key_Z && mods == Qt::ControlModifier) {
    Step(grid, /*undo=*/true);
    return true;
  }
  if ((key->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
      (key->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier))) {
    Step(grid, /*undo=*/false);
    return true;
  }
  return false;
}

void TableEdits::Step(StringGrid& grid, bool undo) {
  if (owner_ != &grid) return;
  if (undo ? !history_.CanUndo() : !history_.CanRedo()) return;
  const bool shape =
      (undo ? history_.PeekUndo() : history_.PeekRedo()) == core::HistoryChange::Kind::kShape;
  if (shape) grid.BeginUpdate();
  core::HistoryChange change;
  const core::Result done =
      undo ? history_.Undo(grid.table(), change) : history_.Redo(grid.table(), change);
  if (shape) grid.EndUpdate();
  if (!done.ok()) {
    ShowWarning(prompter_, FromBytes(done.message()));
    return;
  }
  std::vector<uint64_t>& from = undo ? undo_states_ : redo_states_;
  std::vector<uint64_t>& to = undo ? redo_states_ : undo_states_;
  to.push_back(state_);
  state_ = from.empty() ? ++last_state_ : from.back();
  if (!from.empty()) from.pop_back();
  Sync();
  Show(grid, change);
}

void TableEdits::Show(StringGrid& grid, const core::HistoryChange& change) {
  switch (change.kind) {
    case core::HistoryChange::Kind::kCells: {
      const core::Block& b = change.block;
      grid.gridModel()->CellsChanged(b.left, b.top, b.right, b.bottom);
      // What changed comes into sight; the current cell stays.
      grid.scrollTo(grid.model()->index(b.top - 1, b.left - 1));
      break;
    }
    case core::HistoryChange::Kind::kShape:
      emit shapeChanged(&grid);
      break;
    case core::HistoryChange::Kind::kMove:
      grid.MoveSection(change.row ? Qt::Vertical : Qt::Horizontal, change.from, change.to);
      break;
  }
}

}  // namespace ui
