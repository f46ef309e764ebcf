// The one way a grid's table changes. Every change goes through Apply: its
// undo step is recorded first (and forgotten again when the change fails),
// the change runs, and the view is told exactly what changed. Cell edits,
// Del, pastes, the range panel, drags, undo and redo all come here; a whole
// new table (a load, a transposition, the block clipboard) goes through
// Replace.
//
// Ctrl+Z takes the last change back, Ctrl+Y and Ctrl+Shift+Z make it again.
// The steps belong to the table of one grid; a change of another grid's
// table starts a fresh history, and so do a load and a switch of the view.
#ifndef MARVESK_UI_TABLEEDITS_H_
#define MARVESK_UI_TABLEEDITS_H_

#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/Edit.h"
#include "core/History.h"
#include "core/Result.h"

class QKeyEvent;

namespace ui {

class Prompter;
class StringGrid;

class TableEdits final : public QObject {
  Q_OBJECT

 public:
  using Run = std::function<core::Result(core::Table&)>;

  TableEdits(Prompter& prompter, QObject* parent);

  // Takes over the cell editor's writes and the drags of `grid`.
  void Attach(StringGrid& grid);

  // `change` says what `run` may touch: that is what the undo step keeps
  // and what the view is told.
  core::Result Apply(StringGrid& grid, const core::TableChange& change, const Run& run);
  // Runs `run` on `grid`'s table with the view detached, then shows the
  // table anew. Records nothing.
  core::Result Replace(StringGrid& grid, const Run& run);
  // Moves row or column `from` of `grid`'s table to `to`, as a drag does.
  void Move(StringGrid& grid, Qt::Orientation o, int from, int to);
  // Nothing before now can be taken back.
  void Clear();

  // The table differs from the one last read or written: a change was made
  // and not taken back. Undo back to that table counts as no change.
  bool Modified() const { return state_ != clean_; }
  // The table as it stands is the file's (a load or a save ended).
  void MarkClean();

  // `count` typed or pasted characters had no byte in the table's code page
  // and went in as '?'.
  void ReportLost(int count);

  // Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z in `grid`; true when the key was one.
  bool KeyDown(StringGrid& grid, QKeyEvent* key);

  // For tests: the steps held.
  const core::History& history() const { return history_; }
  core::History& history() { return history_; }

 signals:
  // Rows or columns of `grid`'s table came or went.
  void shapeChanged(StringGrid* grid);
  void charactersLost(int count);
  // Modified() turned to `modified`.
  void modifiedChanged(bool modified);

 private:
  core::History& For(StringGrid& grid);
  void Step(StringGrid& grid, bool undo);
  void Show(StringGrid& grid, const core::HistoryChange& change);
  // A change went in, with an undo step (`recorded`) or without one.
  void Changed(bool recorded);
  // The states that undo and redo lead to, as many as the history keeps.
  void Sync();
  // Tells modifiedChanged when Modified() turned.
  void Announce();

  Prompter& prompter_;
  core::History history_;
  StringGrid* owner_ = nullptr;  // the grid whose table the steps belong to
  // Each table the edits lead to gets a number; undo and redo go back to
  // the numbers the steps came from.
  uint64_t state_ = 0;
  uint64_t clean_ = 0;
  uint64_t last_state_ = 0;
  std::vector<uint64_t> undo_states_;  // the state before each undo step
  std::vector<uint64_t> redo_states_;  // the state each redo step leads to
  bool announced_modified_ = false;
};

}  // namespace ui

#endif  // MARVESK_UI_TABLEEDITS_H_
