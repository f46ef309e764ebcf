// The keyboard block operations and the column width: the hidden block
// clipboard `sgh`, the modifier keys as the grids saw them, the Enter walk
// through the cells, the width field of the button bar, and blocks
// exchanged with other programs through the system clipboard.
#ifndef MARVESK_UI_BLOCKOPS_H_
#define MARVESK_UI_BLOCKOPS_H_

#include <QObject>

namespace core {
class Table;
}

class QKeyEvent;
class QLineEdit;
class QProgressBar;
class QWidget;

namespace ui {

class Prompter;
class StringGrid;
class TableEdits;
class TableViews;

class BlockOps final : public QObject {
  Q_OBJECT

 public:
  // `sgh` is a hidden child of `window`; the operations show their progress
  // in `bar`; `edBreite` is the width field of the button bar.
  BlockOps(QWidget* window, TableViews& views, TableEdits& edits, QLineEdit* edBreite,
           QProgressBar* bar, Prompter& prompter);

  // A key went down in `grid` or its open editor: the block keys, the
  // modifiers and the Enter walk. True when the key is taken away.
  bool KeyDown(StringGrid& grid, QKeyEvent* key, bool editing);
  void KeyUp(QKeyEvent* key);
  // The modifiers count as up: a shortcut took the key they went down with,
  // and a window it opened may have taken their release.
  void ForgetModifiers() {
    CtrlDown = false;
    ShiftDown = false;
  }
  // The width field shows the width of the first data column of `grid`.
  void ShowWidthOf(const StringGrid& grid);

  // For tests: the modifiers as the grids saw them.
  bool ctrl_down() const { return CtrlDown; }
  bool shift_down() const { return ShiftDown; }

 private:
  void ClearSelection(StringGrid& grid);
  void CopySelection(StringGrid& grid);
  void PasteBlock(StringGrid& grid);
  void ApplyColWidth();
  // True when the key is taken away from the field.
  bool edBreiteKeyPress(QKeyEvent* key);
  // The selected block to the system clipboard as TAB-separated lines, and
  // such text from it into the grid at the selection's top-left cell.
  void CopyToClipboard(StringGrid& grid);
  void PasteFromClipboard(StringGrid& grid);
  // Enter: one cell on in reading order, then the editor opened on it; at
  // the last cell the editor is opened or closed. True when handled here.
  bool EnterWalk(StringGrid& grid, bool editing);
  // Pastes `clip` at the selection's top-left cell of `grid`.
  void PasteTable(const core::Table& clip, StringGrid& grid);

  QWidget* window_;
  TableViews& views_;
  TableEdits& edits_;
  QLineEdit* edBreite_;
  QProgressBar* bar_;
  Prompter& prompter_;
  // The block clipboard: a grid that is never shown, shared by both views.
  StringGrid* sgh;
  bool CtrlDown = false;
  bool ShiftDown = false;
};

}  // namespace ui

#endif  // MARVESK_UI_BLOCKOPS_H_
