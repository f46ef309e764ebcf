// The button bar `plMenu` at the foot of the main window: it builds and lays
// out the counters, the width and search fields and the speed buttons. The
// part that a control belongs to is handed it and handles it; the bar itself
// only shows the counters and which controls a loaded table brings.
#ifndef MARVESK_UI_BUTTONBAR_H_
#define MARVESK_UI_BUTTONBAR_H_

#include <vector>

class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;

namespace ui {

class ButtonBar {
 public:
  explicit ButtonBar(QWidget* window);
  ButtonBar(const ButtonBar&) = delete;
  ButtonBar& operator=(const ButtonBar&) = delete;

  // The counters of a table of `cols` x `rows` cells, headers included.
  void SetCounters(int cols, int rows);
  void ClearCounters();
  // The controls that only make sense with a table loaded.
  void ShowTableControls(bool shown);
  // Lays the bar out for a window `width` pixels wide: the buttons with
  // their captions where they fit, as icons beside each other where not.
  void Arrange(int width);
  // The narrowest window that shows every control of the bar.
  static int MinimumWidth();
  // The width below which the buttons lose their captions.
  static int FullWidth();

  QFrame* plMenu() const { return plMenu_; }
  QLineEdit* edBreite() const { return edBreite_; }
  QLineEdit* edSuchen() const { return edSuchen_; }
  QToolButton* sbSuchen() const { return sbSuchen_; }
  QToolButton* sbLaden_TXT() const { return sbLaden_TXT_; }
  QToolButton* tbRow_Col() const { return tbRow_Col_; }
  QToolButton* sbLoeschen() const { return sbLoeschen_; }
  QToolButton* sbExcel() const { return sbExcel_; }
  QToolButton* sbSpeichern() const { return sbSpeichern_; }
  QToolButton* sbAbout() const { return sbAbout_; }
  QToolButton* sbExit() const { return sbExit_; }

 private:
  void BuildFields();
  void BuildButtons();
  // The buttons from left to right, with their places in the full bar.
  struct Placed {
    QWidget* control;
    int x, width;
  };
  std::vector<Placed> placed_;
  bool compact_ = false;

  QFrame* plMenu_;
  QLabel* lbX_;
  QLabel* lbY_;
  QLineEdit* edBreite_;
  QLineEdit* edSuchen_;
  QToolButton* sbSuchen_;
  QToolButton* sbLaden_TXT_;
  QFrame* ToolBar1_;
  QToolButton* tbRow_Col_;
  QToolButton* sbLoeschen_;
  QToolButton* sbExcel_;
  QToolButton* sbSpeichern_;
  QToolButton* sbAbout_;
  QToolButton* sbExit_;
};

}  // namespace ui

#endif  // MARVESK_UI_BUTTONBAR_H_
