#include "ui/Search.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <optional>
#include <string>

#include "core/Edit.h"
#include "ui/Builders.h"
#include "ui/Codec.h"
#include "ui/StringGrid.h"
#include "ui/ut_Marvesk.h"

namespace ui {

void Search::Connect() {
  TfrMarvesk* form = &form_;
  new EventHook(edSuchen, [form](QEvent* e) {
    return e->type() == QEvent::KeyPress && form->edSuchenKeyPress(static_cast<QKeyEvent*>(e));
  });
  new MouseButtonFilter(sbSuchen, [form](Qt::MouseButton button) {
    RunGuarded(form->prompter(), form, [form, button] { form->sbSuchenMouseDown(button); });
  });
}

void Search::Find(const QString& text, bool forward) {
  StringGrid* grid = form_.VisibleGrid();
  // The text is looked for as the grid would store it if typed into a cell.
  const std::string bytes = EncodeCell(text, grid->table().utf8());
  core::SearchCursor cursor{SearchCol, SearchRow};
  const std::optional<core::CellPos> hit = forward
                                               ? core::SearchForward(grid->table(), bytes, cursor)
                                               : core::SearchBackward(grid->table(), bytes, cursor);
  SearchCol = cursor.col;
  SearchRow = cursor.row;
  if (!hit) return;
  // Moving there runs the grids' click handling once per change; the hit's
  // own cursor and flag come after it.
  grid->SetCol(hit->col);
  grid->SetRow(hit->row);
  SearchCol = hit->col;
  SearchRow = hit->row;
  SearchHit = true;
}

void Search::SearchForward(const QString& text) { Find(text, true); }
void Search::SearchBackward(const QString& text) { Find(text, false); }

bool Search::edSuchenKeyPress(QKeyEvent* key) {
  if (key->text().isEmpty()) return false;  // keys that type nothing are no key press
  SearchHit = false;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    SearchForward(edSuchen->text());
    return true;  // swallowed: the focus stays for the next Enter
  }
  SearchRow = 1;
  SearchCol = 0;
  return false;
}

void Search::sbSuchenMouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) {
    SearchBackward(edSuchen->text());
  } else {
    SearchForward(edSuchen->text());
  }
  StringGrid* grid = form_.StringGrid1->isVisible() ? form_.StringGrid1 : form_.StringGrid2;
  grid->viewport()->repaint();
  grid->setFocus();
}

}  // namespace ui
