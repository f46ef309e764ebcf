// The button bar `plMenu` at the foot of the main window: the counters, the
// width and search fields and the speed buttons. It builds and lays out its
// controls; what they do is connected by the window.
#ifndef MARVESK_UI_BUTTONBAR_H_
#define MARVESK_UI_BUTTONBAR_H_

class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;

namespace ui {

class ButtonBar {
 public:
  explicit ButtonBar(QWidget* window);

  // The counters of a table of `cols` x `rows` cells, headers included.
  void SetCounters(int cols, int rows);
  void ClearCounters();
  // The controls that only make sense with a table loaded.
  void ShowTableControls(bool shown);

  QFrame* plMenu;
  QLabel* lbX;
  QLabel* lbY;
  QLineEdit* edBreite;
  QLineEdit* edSuchen;
  QToolButton* sbSuchen;
  QToolButton* sbLaden_TXT;
  QFrame* ToolBar1;
  QToolButton* tbRow_Col;
  QToolButton* sbLoeschen;
  QToolButton* sbExcel;
  QToolButton* sbSpeichern;
  QToolButton* sbAbout;
  QToolButton* sbExit;

 private:
  void BuildFields();
  void BuildButtons();
};

}  // namespace ui

#endif  // MARVESK_UI_BUTTONBAR_H_
