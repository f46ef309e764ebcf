// Undo and redo of the changes made to the shown table in the window: cell
// edits, Del on a block, pastes, emptying and removing runs in the range
// panel, rows and columns moved by drag. Ctrl+Z takes a change back,
// Ctrl+Y and Ctrl+Shift+Z make it again. The steps belong to the table of
// one grid; a load and a switch of the view start a fresh history.
#ifndef MARVESK_UI_UNDO_H_
#define MARVESK_UI_UNDO_H_

#include "core/Edit.h"
#include "core/History.h"

class QKeyEvent;
class TfrMarvesk;

namespace ui {

class StringGrid;

class Undo {
 public:
  explicit Undo(TfrMarvesk& form);
  Undo(const Undo&) = delete;
  Undo& operator=(const Undo&) = delete;

  // The grids report their cell edits and drags.
  void Connect();

  // The history for changes of `grid`'s table; the steps of another grid's
  // table go first.
  core::History& For(StringGrid& grid);
  // Before the data cells of `block` in `grid` change.
  bool BeforeCells(StringGrid& grid, const core::Block& block);
  // The change recorded last did not happen.
  void Failed() { history_.Forget(); }
  // A new table, or the other view: nothing before it can be taken back.
  void Clear();

  // Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z in `grid` (not while its editor is open).
  bool KeyDown(StringGrid& grid, QKeyEvent* key);
  void UndoStep(StringGrid& grid);
  void RedoStep(StringGrid& grid);

  const core::History& history() const { return history_; }
  core::History& history() { return history_; }

 private:
  void Step(StringGrid& grid, bool undo);
  void Show(StringGrid& grid, const core::HistoryChange& change);

  TfrMarvesk& form_;
  core::History history_;
  StringGrid* owner_ = nullptr;  // the grid whose table the steps belong to
};

}  // namespace ui

#endif  // MARVESK_UI_UNDO_H_
