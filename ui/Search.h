// The search: the field and button of the button bar, the cursor a search
// goes on from, and whether the current cell is a hit (painted as one).
#ifndef MARVESK_UI_SEARCH_H_
#define MARVESK_UI_SEARCH_H_

#include <QObject>
#include <QString>
#include <Qt>
#include <cstdint>

class QKeyEvent;
class QLineEdit;
class QToolButton;

namespace ui {

class Prompter;
class StringGrid;
class TableViews;

class Search final : public QObject {
  Q_OBJECT

 public:
  // The field and the button live in the button bar.
  Search(TableViews& views, QLineEdit* edSuchen, QToolButton* sbSuchen, Prompter& prompter,
         QObject* parent);

  // A new table or view: the next search starts at the first data cell.
  void Restart() {
    SearchRow = 1;
    SearchCol = 1;
  }
  // Data cell (col, row) of `grid` is the current cell holding a hit.
  bool IsHit(const StringGrid& grid, int col, int row) const;

  // Searches the shown grid as Suchen does with the left (forward) or the
  // right mouse button.
  void SearchNext(bool forward);

  // For tests: the cursor and the hit flag.
  int32_t cursor_col() const { return SearchCol; }
  int32_t cursor_row() const { return SearchRow; }
  bool hit() const { return SearchHit; }

 signals:
  // A search for `text` found no cell, or found one.
  void notFound(const QString& text);
  void found();

 private:
  // A cell of `grid` was chosen: the search goes on from there, and it is no
  // hit.
  void CellChosen(StringGrid* grid);
  // The next (previous) data cell of the shown grid holding `text` becomes
  // the current cell and the hit; without one nothing moves.
  void Find(const QString& text, bool forward);
  // True when the key is taken away from the field.
  bool edSuchenKeyPress(QKeyEvent* key);
  void sbSuchenMouseDown(Qt::MouseButton button);

  TableViews& views_;
  QLineEdit* edSuchen_;
  int32_t SearchCol = 0;
  int32_t SearchRow = 0;
  bool SearchHit = false;
};

}  // namespace ui

#endif  // MARVESK_UI_SEARCH_H_
