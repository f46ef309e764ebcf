// The floating panel `plLoeschen` that clears or removes a run of columns or
// rows of the shown grid: its controls and their handlers, the run bounds
// the grids paint, and dragging the panel over the window. "Löschen" in the
// button bar opens and closes it.
#ifndef MARVESK_UI_RANGEPANEL_H_
#define MARVESK_UI_RANGEPANEL_H_

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRgb>
#include <cstdint>
#include <string>

#include "core/Range.h"

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QToolButton;
class QWidget;

namespace ui {

class Prompter;
class StringGrid;
class TableEdits;
class TableViews;

class RangePanel final : public QObject {
  Q_OBJECT

 public:
  // The panel floats over `window`; `sbLoeschen` (in the button bar) opens
  // and closes it; removals show their progress in `bar`.
  RangePanel(QWidget* window, TableViews& views, TableEdits& edits, QToolButton* sbLoeschen,
             QProgressBar* bar, Prompter& prompter);

  void Hide();
  // The painting rule's colour for the run: light red to remove, light
  // orange to empty; 0 when (col, row) is outside the shown run or the
  // panel is closed.
  QRgb RunColour(int col, int row) const;
  // The panel's focusable controls in their tab order.
  QList<QWidget*> TabOrder() const;

  // For tests: the run as last read.
  core::RangeBounds bounds() const { return {ColFrom, ColTo, RowFrom, RowTo}; }

 signals:
  // OK was clicked: the search starts afresh, whatever follows.
  void okClicked();

 private:
  void BuildChoices();
  void BuildFields();
  void Connect(Prompter& prompter);
  core::RangeAxis Axis() const;
  core::RangeMode Mode() const;
  core::RangeFields Fields() const;
  // Writes corrected field texts back; unchanged fields are not touched.
  void PutFields(const core::RangeFields& fields);
  void SetBounds(const core::RangeBounds& bounds);
  int Count(const StringGrid& grid) const;

  // A cell of `grid` was chosen: its column or row (as the panel is set to)
  // goes into the field the panel points at.
  void CellChosen(StringGrid* grid);
  void ReadRange(const StringGrid& grid);
  void RefreshRange();
  void DeleteRange(StringGrid& grid);
  void MovePanel(QPoint at);
  void sbLoeschenClick();
  // True when the key is taken away from the field.
  bool FieldKeyPress(QLineEdit* field, QKeyEvent* key);
  void GridMouseMove(StringGrid* grid);
  void sbOKMouseMove();
  void sbOKClick();
  void plLoeschenMouseDown(QPoint at);
  void PanelMouseUp(QPoint at);

  QWidget* window_;
  TableViews& views_;
  TableEdits& edits_;
  QProgressBar* bar_;
  Prompter& prompter_;

  QFrame* plLoeschen;
  QRadioButton* rbSpalte;
  QRadioButton* rbZeile;
  QFrame* Panel1;
  QRadioButton* rbAlles;
  QRadioButton* rbInhalt;
  QLabel* Label1;
  QLineEdit* edAb;
  QLabel* Label2;
  QLineEdit* edBis;
  QFrame* Panel2;
  QRadioButton* rbAb;
  QRadioButton* rbBis;
  QToolButton* sbOK;
  QToolButton* sbLoesch_Exit;

  // The run shown as pending in the grid.
  int32_t ColFrom = 0;
  int32_t ColTo = 0;
  int32_t RowFrom = 0;
  int32_t RowTo = 0;
  // Dragging the panel with the mouse.
  bool PanelDragging = false;
  int32_t DragOffsetX = 0;
  int32_t DragOffsetY = 0;
};

}  // namespace ui

#endif  // MARVESK_UI_RANGEPANEL_H_
