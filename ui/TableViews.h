// The two table grids of the main window: StringGrid1 holds the table as
// loaded, StringGrid2 the transposed table, made anew at each switch. Which
// grid is shown (the one deletion, search and the width field act on) and
// which one Speichern writes is decided here and nowhere else.
#ifndef MARVESK_UI_TABLEVIEWS_H_
#define MARVESK_UI_TABLEVIEWS_H_

#include <QObject>

class QToolButton;
class QWidget;

namespace ui {

class StringGrid;

class TableViews final : public QObject {
  Q_OBJECT

 public:
  // Both grids are children of `window`; StringGrid2 starts hidden.
  explicit TableViews(QWidget* window);

  StringGrid& loaded() const { return *grid1_; }      // StringGrid1
  StringGrid& transposed() const { return *grid2_; }  // StringGrid2

  // StringGrid1 unless it has been hidden, else StringGrid2 (whether the
  // window itself is on screen does not matter).
  StringGrid& Shown() const;
  // StringGrid2 while the view is marked as transposed, else StringGrid1.
  StringGrid& Saving() const;
  // A table is on screen: one of the grids is not hidden.
  bool TableShown() const;

  // The mark of the tool button tells which grid is shown; it follows
  // SetTransposed.
  void SetMark(QToolButton* mark) { mark_ = mark; }
  bool IsTransposed() const { return transposed_; }
  void SetTransposed(bool transposed);

  // Shows `grid` (one of the two) and hides the other.
  void ShowOnly(StringGrid& grid);
  void HideBoth();

 signals:
  // The current cell of `grid` was chosen (a click, keys, the program).
  void cellChosen(StringGrid* grid);
  // The mouse moved over the cells of `grid`.
  void mouseMoved(StringGrid* grid);

 private:
  StringGrid* grid1_;
  StringGrid* grid2_;
  QToolButton* mark_ = nullptr;
  bool transposed_ = false;
};

}  // namespace ui

#endif  // MARVESK_UI_TABLEVIEWS_H_
