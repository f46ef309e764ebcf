// The grid widget: a QTableView over a model that reads a core::Table.
//
// The table's header row 0 and header column 0 are shown by the view's
// header sections; data cell (c, r) of the table is model index (r-1, c-1).
// There is no item per cell: the model answers from the table on demand, and
// rows have one fixed height, so a table of millions of rows opens and
// scrolls like a small one. Column widths belong to the grid, not the table,
// and survive reloads the way a string grid keeps them.
#ifndef MARVESK_UI_STRINGGRID_H_
#define MARVESK_UI_STRINGGRID_H_

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/Table.h"

namespace ui {

class GridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  GridModel(core::Table* table, int fixed, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Writes a cell the editor changed (col, row of the table) and tells the
  // view; without it the model writes the cell itself.
  std::function<void(int col, int row, const std::string& bytes)> write_cell;
  // Told how many typed characters the table's code page could not hold.
  std::function<void(int count)> lost_characters;

  // Brackets a change of the table that did not go through the model.
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void CellsChanged(int left, int top, int right, int bottom);

 private:
  core::Table* table_;
  int fixed_;  // 1: row 0 and column 0 are headers; 0: every cell is data
};

class StringGrid : public QTableView {
  Q_OBJECT

 public:
  // `fixed`: one fixed header row and column (the table grids), or none (the
  // hidden block clipboard).
  explicit StringGrid(QWidget* parent = nullptr, bool fixed = true);
  ~StringGrid() override;

  core::Table& table() { return *table_; }
  const core::Table& table() const { return *table_; }
  GridModel* gridModel() const { return model_; }

  int ColCount() const { return table_->ColCount(); }
  int RowCount() const { return table_->RowCount(); }
  void SetColCount(int n);
  void SetRowCount(int n);
  QString Cells(int col, int row) const;
  void SetCells(int col, int row, const QString& text);

  // The current cell, in table coordinates (data cells start at 1).
  int Col() const;
  int Row() const;
  // Moving the current cell to another cell runs the click handling
  // (cellClicked), as a click on it would; the same cell runs nothing.
  void SetCol(int col);
  void SetRow(int row);

  // Width of column i in pixels; column 0 is the header column.
  int ColWidth(int i) const;
  void SetColWidth(int i, int width);
  // Every data column that exists now gets `width`; columns a later load
  // adds start at the default width. Cheap for any number of columns.
  void SetDataColWidths(int width);
  void SetRowHeight0(int height);

  // Row and column dragging (moves the data, as a string grid does).
  void SetRowColMoving(bool on);
  bool RowColMoving() const { return moving_; }
  // Moves row or column `from` of the table to `to`, the rows or columns
  // between shifting by one, as a drag does (a column takes its width
  // along); the current cell follows.
  void MoveSection(Qt::Orientation o, int from, int to);
  // Moves the data as a drag asks (table numbers); without it the grid
  // moves them itself.
  std::function<void(Qt::Orientation o, int from, int to)> move_requested;

  // Around changes made to table() directly: the view forgets nothing else.
  void BeginUpdate();
  void EndUpdate();
  // The current cell becomes the first data cell without running the click
  // handling (inside an update: once the update ends), as for a new table.
  void StartAtFirstCell();

  void setVisible(bool visible) override;

  // The background of data cell (col, row) as the window's painting rule
  // gives it; 0 for the plain window colour. Asked for every painted cell.
  using CellColourFn = std::function<QRgb(int col, int row)>;
  void SetCellColour(CellColourFn f) { cell_colour_ = std::move(f); }
  QRgb CellColour(int col, int row) const { return cell_colour_ ? cell_colour_(col, row) : 0; }
  bool Fixed() const { return fixed_; }

  // The window's key handling, for keys pressed in the grid and in its cell
  // editor, which hands its keys on first (`editing` true). `down` returns
  // true to take the key away from the grid or editor.
  using KeyDownFn = std::function<bool(QKeyEvent* key, bool editing)>;
  using KeyUpFn = std::function<void(QKeyEvent* key)>;
  void SetKeyHandlers(KeyDownFn down, KeyUpFn up) {
    key_down_ = std::move(down);
    key_up_ = std::move(up);
  }
  bool HandleKeyDown(QKeyEvent* key, bool editing) { return key_down_ && key_down_(key, editing); }
  void HandleKeyUp(QKeyEvent* key) {
    if (key_up_) key_up_(key);
  }
  // The selected block in table coordinates (the current cell without one).
  int SelLeft() const;
  int SelTop() const;
  int SelRight() const;
  int SelBottom() const;
  // The cell editor is open.
  bool Editing() const { return state() == QAbstractItemView::EditingState; }
  // Opens the cell editor on the current cell; closes it, keeping its text,
  // when it is open.
  void ToggleEditor();

 signals:
  // The current cell was chosen: by a click, by keys or by the program.
  void cellClicked();
  // The mouse moved over the cells, with or without a button held.
  void mouseMoved();

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void changeEvent(QEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void OnSectionMoved(Qt::Orientation o, int logical, int old_visual, int new_visual);
  void OnSectionResized(int logical, int old_size, int new_size);
  void ApplyWidths();
  // The header column: its set width, or wider when the row numbers need it.
  void FitHeaderColumn();
  void SetCurrent(int col, int row, bool notify);

  std::unique_ptr<core::Table> table_;
  GridModel* model_;
  bool fixed_;
  bool moving_ = false;
  int default_col_width_ = 80;
  int header_width_ = 50;      // the header column's width as set
  std::map<int, int> widths_;  // columns (1-based) whose width differs from the default
  // Columns first..even_upto_ have even_width_ unless widths_ says
  // otherwise (set for all columns at once by SetDataColWidths).
  int even_width_ = 80;
  int even_upto_ = -1;
  int update_depth_ = 0;
  int saved_col_ = 1;
  int saved_row_ = 1;
  bool quiet_ = false;  // current-cell changes made by the grid itself
  bool mouse_pressing_ = false;
  bool hiding_ = false;
  bool clicked_by_press_ = false;
  QRect SelectedBlock() const;

  CellColourFn cell_colour_;
  KeyDownFn key_down_;
  KeyUpFn key_up_;
};

}  // namespace ui

#endif  // MARVESK_UI_STRINGGRID_H_
