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
#include "ui/TableViews.h"

namespace ui {

Search::Search(TableViews& views, QLineEdit* edSuchen, QToolButton* sbSuchen, Prompter& prompter,
               QObject* parent)
    : QObject(parent), views_(views), edSuchen_(edSuchen) {
  setObjectName(QStringLiteral("Search"));
  new EventHook(edSuchen, [this](QEvent* e) {
    return e->type() == QEvent::KeyPress && edSuchenKeyPress(static_cast<QKeyEvent*>(e));
  });
  QWidget* window = sbSuchen->window();
  new MouseButtonFilter(sbSuchen, [this, &prompter, window](Qt::MouseButton button) {
    RunGuarded(prompter, window, [this, button] { sbSuchenMouseDown(button); });
  });
  connect(&views, &TableViews::cellChosen, this, &Search::CellChosen);
}

void Search::CellChosen(StringGrid* grid) {
  SearchHit = false;
  SearchRow = grid->Row();
  SearchCol = grid->Col();
}

bool Search::IsHit(const StringGrid& grid, int col, int row) const {
  return SearchHit && col == grid.Col() && row == grid.Row();
}

void Search::Find(const QString& text, bool forward) {
  StringGrid& grid = views_.Shown();
  // The text is looked for as the grid would store it if typed into a cell.
  const std::string bytes = EncodeCell(text, grid.table().utf8());
  core::SearchCursor cursor{SearchCol, SearchRow};
  const std::optional<core::CellPos> hit = forward
                                               ? core::SearchForward(grid.table(), bytes, cursor)
                                               : core::SearchBackward(grid.table(), bytes, cursor);
  SearchCol = cursor.col;
  SearchRow = cursor.row;
  if (!hit) {
    emit notFound(text);
    return;
  }
  emit found();
  // Moving there runs the grids' click handling once per change; the hit's
  // own cursor and flag come after it.
  grid.SetCol(hit->col);
  grid.SetRow(hit->row);
  SearchCol = hit->col;
  SearchRow = hit->row;
  SearchHit = true;
}

bool Search::edSuchenKeyPress(QKeyEvent* key) {
  if (key->text().isEmpty()) return false;  // keys that type nothing are no key press
  SearchHit = false;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    Find(edSuchen_->text(), /*forward=*/true);
    return true;  // swallowed: the focus stays for the next Enter
  }
  SearchRow = 1;
  SearchCol = 0;
  return false;
}

void Search::sbSuchenMouseDown(Qt::MouseButton button) { SearchNext(button != Qt::RightButton); }

void Search::SearchNext(bool forward) {
  Find(edSuchen_->text(), forward);
  StringGrid& grid = views_.Shown();
  grid.viewport()->repaint();
  grid.setFocus();
}

}  // namespace ui
