// The floating panel `plLoeschen` that clears or removes a run of columns or
// rows: its controls, the run bounds and the state of dragging the panel.
#ifndef MARVESK_UI_RANGEPANEL_H_
#define MARVESK_UI_RANGEPANEL_H_

#include <cstdint>

class QFrame;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QWidget;

namespace ui {

class RangePanel {
 public:
  explicit RangePanel(QWidget* window);

  // A cell of the shown grid was chosen: its column or row (as the panel is
  // set to) goes into the field the panel points at.
  void CellChosen(int col, int row);

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
};

}  // namespace ui

#endif  // MARVESK_UI_RANGEPANEL_H_
