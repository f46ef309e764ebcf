// The keyboard block operations and the column width: the hidden block
// clipboard `sgh`, the modifier keys as the grids saw them, and the width
// field of the button bar.
#ifndef MARVESK_UI_BLOCKOPS_H_
#define MARVESK_UI_BLOCKOPS_H_

class QLineEdit;
class QWidget;

namespace ui {

class StringGrid;

class BlockOps {
 public:
  BlockOps(QWidget* window, QLineEdit* edBreite);

  // The width field shows the width of the first data column of `grid`.
  void ShowWidthOf(const StringGrid& grid);

  QLineEdit* edBreite;
  // The block clipboard: a grid that is never shown, shared by both views.
  StringGrid* sgh;
  bool CtrlDown = false;
  bool ShiftDown = false;
};

}  // namespace ui

#endif  // MARVESK_UI_BLOCKOPS_H_
