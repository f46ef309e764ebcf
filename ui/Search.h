// The search: the cursor a search goes on from and whether the current cell
// is a hit (painted as one).
#ifndef MARVESK_UI_SEARCH_H_
#define MARVESK_UI_SEARCH_H_

#include <cstdint>

class QLineEdit;
class QToolButton;

namespace ui {

class Search {
 public:
  // The search field and button live in the button bar.
  Search(QLineEdit* edSuchen, QToolButton* sbSuchen) : edSuchen(edSuchen), sbSuchen(sbSuchen) {}

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

  QLineEdit* edSuchen;
  QToolButton* sbSuchen;
  int32_t SearchCol = 0;
  int32_t SearchRow = 0;
  bool SearchHit = false;
};

}  // namespace ui

#endif  // MARVESK_UI_SEARCH_H_
