// The main window: button bar, the two table grids, status line, progress
// bar, the floating deletion panel and the banner strip.
#ifndef MARVESK_UI_UT_MARVESK_H_
#define MARVESK_UI_UT_MARVESK_H_

#include <QWidget>

#include "core/Loader.h"
#include "core/Settings.h"
#include "ui/platform/Prompter.h"

class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QToolButton;
class QVBoxLayout;

namespace ui {
class StatusBar;
class StringGrid;
}  // namespace ui

class TfrMarvesk : public QWidget {
  Q_OBJECT

 public:
  explicit TfrMarvesk(QWidget* parent = nullptr);
  ~TfrMarvesk() override;

  // Handlers.
  void FormActivate();
  void InitView();
  void FormResize();
  void sbExitClick();
  void sbLaden_TXTClick();
  void sbLaden_TXTMouseMove();
  void sbSpeichernMouseMove();
  void StringGrid1Click();
  void StringGrid2Click();
  void tbRow_ColClick();
  void sbSpeichernMouseDown(Qt::MouseButton button);
  void sbSpeichernClick();
  void sbExcelClick();

  // Loads the file chosen in the open dialog, or with `reload` the file the
  // open dialog already holds.
  void LoadTable(bool reload);
  char SeparatorChar();
  // Copies `source` transposed into `target`, with the progress bar.
  core::Result TransposeGrid(ui::StringGrid* source, ui::StringGrid* target);
  // Writes `grid` into a file named in the save dialog.
  void SaveTable(ui::StringGrid* grid);
  void LoadSettings();
  void SaveSettings();

  // The grid that deletion, search and the width field act on.
  ui::StringGrid* VisibleGrid() const;
  // The grid that Speichern writes.
  ui::StringGrid* SavingGrid() const;
  bool activated() const { return activated_; }

  // Controls.
  QProgressBar* ProgressBar1;
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
  ui::StringGrid* StringGrid1;
  ui::StringGrid* StringGrid2;
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
  ui::StringGrid* sgh;
  QFrame* plWerbung;
  QFrame* plL;
  QWidget* WebBrowser1;  // the banner's browser; destroyed when the window closes
  QFrame* plR;
  ui::StatusBar* StatusBar1;
  ui::FileDialogState OpenDialog1;
  ui::FileDialogState SaveDialog1;

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void BuildControls();
  void ApplyGridOptions();
  void GridClick(ui::StringGrid* grid);
  void RepaintWindow();
  void SetCounters(const ui::StringGrid& grid);
  QString SettingsPath() const;
  core::SettingsValues CurrentSettings() const;

  QVBoxLayout* layout_ = nullptr;
  bool activated_ = false;
  bool browser_destroyed_ = false;
};

#endif  // MARVESK_UI_UT_MARVESK_H_
