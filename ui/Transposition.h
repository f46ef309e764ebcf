// Swapping rows and columns: the tool button `tbRow_Col` copies the shown
// table transposed into the other grid, which is then shown in its place;
// the button's mark tells which grid is shown.
#ifndef MARVESK_UI_TRANSPOSITION_H_
#define MARVESK_UI_TRANSPOSITION_H_

#include <QObject>

class QProgressBar;
class QToolButton;
class QWidget;

namespace ui {

class Prompter;
class StringGrid;
class TableEdits;
class TableViews;

class Transposition final : public QObject {
  Q_OBJECT

 public:
  Transposition(QWidget* window, TableViews& views, TableEdits& edits, QToolButton* tbRow_Col,
                QProgressBar* bar, Prompter& prompter);

 signals:
  // The switch begins: the search starts afresh.
  void switching();
  // `grid` is now shown, holding the other view of the table.
  void switched(StringGrid* grid);

 private:
  // Switches to the other view; when the copy does not fit, the shown table
  // stays as it was.
  void tbRow_ColClick();

  QWidget* window_;
  TableViews& views_;
  TableEdits& edits_;
  QProgressBar* bar_;
  Prompter& prompter_;
};

}  // namespace ui

#endif  // MARVESK_UI_TRANSPOSITION_H_
