// The main window's view states, as a part that loads a table asks for
// them: which bars, grids and controls show is the window's own business.
#ifndef MARVESK_UI_VIEWSTATES_H_
#define MARVESK_UI_VIEWSTATES_H_

namespace ui {

class StringGrid;

class ViewStates {
 public:
  virtual ~ViewStates() = default;
  // Nothing loaded: the bar with Laden, Excel, Info and Exit only.
  virtual void ShowStartView() = 0;
  // A load has begun: both grids hidden, the table's controls in the bar,
  // the view not transposed.
  virtual void ShowLoading() = 0;
  // `grid` holds a table: the counters, the grid and the bar.
  virtual void ShowTable(StringGrid& grid) = 0;
};

}  // namespace ui

#endif  // MARVESK_UI_VIEWSTATES_H_
