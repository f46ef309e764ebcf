// The floating panel `plLoeschen` that clears or removes a run of columns or
// rows of the shown grid: its controls and handlers, the run bounds the grids
// paint, and dragging the panel over the window.
#ifndef MARVESK_UI_RANGEPANEL_H_
#define MARVESK_UI_RANGEPANEL_H_

#include <QPoint>
#include <QRgb>
#include <cstdint>
#include <string>

#include "core/Range.h"

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class TfrMarvesk;

namespace ui {

class StringGrid;

class RangePanel {
 public:
  explicit RangePanel(TfrMarvesk& form);

  // Connects the panel's controls to the window's handlers.
  void Connect();

  // A cell of a grid was chosen: its column or row (as the panel is set to)
  // goes into the field the panel points at.
  void CellChosen(int col, int row);

  // The operations, on plain values of the controls.
  void ReadRange(const StringGrid& grid);
  void RefreshRange();
  void ClearRange(StringGrid& grid);
  void DeleteRange(StringGrid& grid);
  std::string DeleteConfirmText() const;
  void MovePanel(int x, int y);

  // The handlers.
  void sbLoeschenClick();
  void sbLoesch_ExitClick();
  // True when the key is taken away from the field.
  bool FieldKeyPress(QLineEdit* field, QKeyEvent* key);
  void GridMouseMove(StringGrid& grid);
  void sbOKMouseMove();
  void sbOKClick();
  void plLoeschenMouseDown(QPoint at);
  void FormMouseMove(QPoint at);
  void FormMouseUp(QPoint at);

  // The painting rule's colour for the run: light red to remove, light
  // orange to empty; 0 when (col, row) is outside the shown run.
  QRgb RunColour(int col, int row) const;

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

 private:
  void BuildFields();
  core::RangeAxis Axis() const;
  core::RangeMode Mode() const;
  core::RangeFields Fields() const;
  // Writes corrected field texts back; unchanged fields are not touched.
  void PutFields(const core::RangeFields& fields);
  void SetBounds(const core::RangeBounds& bounds);

  TfrMarvesk& form_;
};

}  // namespace ui

#endif  // MARVESK_UI_RANGEPANEL_H_
