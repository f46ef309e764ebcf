// The search: the field and button of the button bar, the cursor a search
// goes on from, and whether the current cell is a hit (painted as one).
#ifndef MARVESK_UI_SEARCH_H_
#define MARVESK_UI_SEARCH_H_

#include <QString>
#include <Qt>
#include <cstdint>

class QKeyEvent;
class QLineEdit;
class QToolButton;
class TfrMarvesk;

namespace ui {

class Search {
 public:
  // The search field and button live in the button bar.
  Search(TfrMarvesk& form, QLineEdit* edSuchen, QToolButton* sbSuchen)
      : edSuchen(edSuchen), sbSuchen(sbSuchen), form_(form) {}

  // Connects the field and the button to the window's handlers.
  void Connect();

  // A new table or view: the next search starts at the first data cell.
  void Restart() {
    SearchRow = 1;
    SearchCol = 1;
  }
  // A cell was chosen: the search goes on from there, and it is no hit.
  void CellChosen(int col, int row) {
    SearchHit = false;
    SearchRow = row;
    SearchCol = col;
  }

  // The next (previous) data cell of the shown grid holding `text` becomes
  // the current cell and the hit; without one nothing moves.
  void SearchForward(const QString& text);
  void SearchBackward(const QString& text);
  // True when the key is taken away from the field.
  bool edSuchenKeyPress(QKeyEvent* key);
  void sbSuchenMouseDown(Qt::MouseButton button);

  QLineEdit* edSuchen;
  QToolButton* sbSuchen;
  int32_t SearchCol = 0;
  int32_t SearchRow = 0;
  bool SearchHit = false;

 private:
  void Find(const QString& text, bool forward);

  TfrMarvesk& form_;
};

}  // namespace ui

#endif  // MARVESK_UI_SEARCH_H_
