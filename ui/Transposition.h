// Swapping rows and columns: the shown table is copied transposed into the
// other grid, which is then shown in its place.
#ifndef MARVESK_UI_TRANSPOSITION_H_
#define MARVESK_UI_TRANSPOSITION_H_

#include "core/Result.h"

class TfrMarvesk;

namespace ui {

class StringGrid;

class Transposition {
 public:
  explicit Transposition(TfrMarvesk& form) : form_(form) {}

  // Copies `source` transposed into `target`, with the progress bar.
  core::Result Copy(StringGrid* source, StringGrid* target);
  // Switches to the other view; when the copy does not fit, the shown table
  // stays as it was.
  void Switch();

 private:
  TfrMarvesk& form_;
};

}  // namespace ui

#endif  // MARVESK_UI_TRANSPOSITION_H_
