// The main window: the two table grids, the status line, the progress bar
// and the window's parts (button bar, range panel, search, block operations,
// banner strip), each built and owned by a class of its own. The handlers
// keep their names here and hand the work to the part that does it.
#ifndef MARVESK_UI_UT_MARVESK_H_
#define MARVESK_UI_UT_MARVESK_H_

#include <QColor>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "core/Result.h"
#include "core/Settings.h"
#include "ui/platform/Prompter.h"

class QDragEnterEvent;
class QDropEvent;
class QKeyEvent;
class QMouseEvent;
class QProgressBar;
class QVBoxLayout;
class TfrAbout;
class TfrEX;

namespace ui {
class BannerStrip;
class BlockOps;
class ButtonBar;
class FileOperations;
class RangePanel;
class Search;
class Shell;
class StatusBar;
class StringGrid;
class Transposition;
class Undo;
}  // namespace ui

class TfrMarvesk : public QWidget {
  Q_OBJECT

 public:
  // What the main window keeps for the whole run, most of it in the
  // settings file.
  struct Settings {
    QString ProgramDir;  // ends with the directory separator
    QString LastDir;     // the dialogs start here
    bool HideBanner = false;
    bool AllowRowColMove = true;
  };

  TfrMarvesk(ui::Prompter& prompter, ui::Shell& shell, QWidget* parent = nullptr);
  ~TfrMarvesk() override;
  // The other two windows; they exist before the first activation.
  void Attach(TfrAbout* about, TfrEX* ex);

  // Handlers.
  void FormActivate();
  void InitView();
  void FormResize();
  // The banner strip.
  void werbung_pos();
  void NextBanner();
  void WebBrowser1NavigateComplete2();
  void WebBrowser1DocumentComplete();
  void sbExitClick();
  void sbLaden_TXTClick();
  void sbLaden_TXTMouseMove();
  void sbSpeichernMouseMove();
  void StringGrid1Click();
  void StringGrid2Click();
  void tbRow_ColClick();
  void sbSpeichernMouseDown(Qt::MouseButton button);
  // `with_tab`: the press was not made with the right mouse button.
  void sbSpeichernClick(bool with_tab);
  void sbExcelClick();
  void sbAboutClick();
  // Loads `path` as "Laden" does with that file chosen in the dialog: a file
  // named on the command line or dropped onto the window.
  void OpenGivenFile(const QString& path);
  // A file to open once the start-up has run (the command line's).
  void SetStartFile(const QString& path) { start_file_ = path; }

  // The search.
  bool edSuchenKeyPress(QKeyEvent* key);
  void sbSuchenMouseDown(Qt::MouseButton button);
  void SearchForward(const QString& text);
  void SearchBackward(const QString& text);

  // The block operations and the column width. The key-down handlers also
  // get the keys of an open cell editor (`editing`); true takes the key.
  bool StringGrid1KeyDown(QKeyEvent* key, bool editing);
  bool StringGrid2KeyDown(QKeyEvent* key, bool editing);
  void StringGrid1KeyUp(QKeyEvent* key);  // bound to both grids
  void ClearSelection(ui::StringGrid* grid);
  void CopySelection(ui::StringGrid* grid);
  void PasteBlock(ui::StringGrid* grid);
  void ApplyColWidth();
  bool edBreiteKeyPress(QKeyEvent* key);

  // The range panel.
  void sbLoeschenClick();
  void sbLoesch_ExitClick();
  // True when the key is taken away from the field.
  bool edAbKeyPress(QKeyEvent* key);
  bool edBisKeyPress(QKeyEvent* key);
  void edAbEnter();
  void edBisEnter();
  void StringGrid1MouseMove();
  void StringGrid2MouseMove();
  void plLoeschenMouseMove();
  void rbSpalteClick();
  void rbZeileClick();
  void rbAllesClick();
  void rbInhaltClick();
  void sbOKMouseMove();
  void sbOKClick();
  void plLoeschenMouseDown(QPoint at);
  void FormMouseMove(QPoint at);
  void FormMouseDown(QPoint at);
  void FormMouseUp(QPoint at);
  void ReadRange(ui::StringGrid* grid);
  void RefreshRange();
  void ClearRange(ui::StringGrid* grid);
  void DeleteRange(ui::StringGrid* grid);
  QString DeleteConfirmText();
  void MovePanel(int x, int y);
  // The painting rule of the grids: the background of data cell (col, row),
  // 0 for the window colour.
  QRgb StringGrid1DrawCell(int col, int row) const;
  QRgb StringGrid2DrawCell(int col, int row) const;

  // Loads the file chosen in the open dialog, or with `reload` the file the
  // open dialog already holds.
  void LoadTable(bool reload);
  char SeparatorChar();
  // Copies `source` transposed into `target`, with the progress bar.
  core::Result TransposeGrid(ui::StringGrid* source, ui::StringGrid* target);
  // Writes `grid` into a file named in the save dialog.
  void SaveTable(ui::StringGrid* grid, bool with_tab);
  void LoadSettings();
  void SaveSettings();

  // The grid that deletion, search and the width field act on.
  ui::StringGrid* VisibleGrid() const;
  // The grid that Speichern writes.
  ui::StringGrid* SavingGrid() const;
  bool activated() const { return activated_; }
  void SetCounters(const ui::StringGrid& grid);

  ui::ButtonBar& bar() const { return *bar_; }
  ui::RangePanel& range() const { return *range_; }
  ui::Search& search() const { return *search_; }
  ui::BlockOps& blocks() const { return *blocks_; }
  ui::BannerStrip& banner() const { return *banner_; }
  ui::Undo& undo() const { return *undo_; }
  TfrAbout& about() const { return *about_; }
  TfrEX& ex() const { return *ex_; }
  ui::Prompter& prompter() const { return prompter_; }
  ui::Shell& shell() const { return shell_; }
  QVBoxLayout* layout() const { return layout_; }

  // Controls of the window itself.
  QProgressBar* ProgressBar1;
  ui::StringGrid* StringGrid1;
  ui::StringGrid* StringGrid2;
  ui::StatusBar* StatusBar1;
  ui::FileDialogState OpenDialog1;
  ui::FileDialogState SaveDialog1;

  Settings settings;

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void FormCreate();
  void BuildControls();
  void ConnectControls();
  void ApplyGridOptions();
  void GridClick(ui::StringGrid* grid);
  QRgb CellColour(const ui::StringGrid* grid, int col, int row) const;
  // Where the settings file is read and written, chosen at the first use.
  QString SettingsPath();
  core::SettingsValues CurrentSettings() const;

  ui::Prompter& prompter_;
  ui::Shell& shell_;
  TfrAbout* about_ = nullptr;
  TfrEX* ex_ = nullptr;
  std::unique_ptr<ui::ButtonBar> bar_;
  std::unique_ptr<ui::RangePanel> range_;
  std::unique_ptr<ui::Search> search_;
  std::unique_ptr<ui::BlockOps> blocks_;
  std::unique_ptr<ui::BannerStrip> banner_;
  std::unique_ptr<ui::FileOperations> files_;
  std::unique_ptr<ui::Transposition> transposition_;
  std::unique_ptr<ui::Undo> undo_;
  QVBoxLayout* layout_ = nullptr;
  bool activated_ = false;
  bool closed_ = false;  // the close handler has run
  QString settings_path_;
  QString start_file_;
};

#endif  // MARVESK_UI_UT_MARVESK_H_
