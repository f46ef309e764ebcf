// The main window: it composes its parts (the two table grids, the button
// bar, the range panel, the search, the block operations, the banner strip,
// file operations, transposition and the table's edits), lays them out and
// connects them. What is the window's own stays here: the start-up on the
// first activation, the view states, the settings, the info window, Exit
// and closing.
#ifndef MARVESK_UI_UT_MARVESK_H_
#define MARVESK_UI_UT_MARVESK_H_

#include <QString>
#include <QWidget>
#include <memory>

#include "core/Settings.h"

class QDragEnterEvent;
class QDropEvent;
class QProgressBar;
class QVBoxLayout;
class TfrAbout;

namespace ui {
class BannerStrip;
class BlockOps;
class ButtonBar;
class FileOperations;
class Prompter;
class RangePanel;
class Search;
class Shell;
class StatusBar;
class StringGrid;
class TableEdits;
class TableViews;
class Transposition;
}  // namespace ui

class TfrMarvesk : public QWidget {
  Q_OBJECT

 public:
  // `program_dir`: the program's folder (ending in the separator), empty for
  // the executable's own.
  TfrMarvesk(ui::Prompter& prompter, ui::Shell& shell, const QString& program_dir = {},
             QWidget* parent = nullptr);
  ~TfrMarvesk() override;
  // The info window; it exists before the first activation.
  void Attach(TfrAbout* about);

  // Loads `path` as "Laden" does with that file chosen in the dialog: a file
  // named on the command line or dropped onto the window.
  void OpenGivenFile(const QString& path);
  // A file to open once the start-up has run (the command line's).
  void SetStartFile(const QString& path) { start_file_ = path; }

  // Closes the window without a question about unsaved changes, as an end
  // asked for from outside must (the session ends); true when it closed.
  bool EndNow();

  // The start-up of the first activation has run.
  bool activated() const { return activated_; }
  // The folder of the program, ending with the directory separator.
  const QString& ProgramDir() const { return program_dir_; }
  // The settings as they stand (written to the settings file at closing).
  const core::SettingsValues& settings() const { return settings_; }

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate(const QString& program_dir);
  void BuildParts();
  void Arrange();
  void ConnectParts();
  void BuildShortcuts();
  void FormActivate();
  void InitView();
  void FormResize();
  // Asks whether the program is to end, naming unsaved changes.
  bool ConfirmEnd();
  void sbExitClick();
  void sbAboutClick();
  void ApplyGridOptions();
  // The painting rule of the grids: the background of data cell (col, row)
  // of `grid`, 0 for the window colour.
  QRgb CellColour(const ui::StringGrid& grid, int col, int row) const;
  // The view states of a load.
  void ShowLoading();
  void ShowTable(ui::StringGrid& grid);
  // "Marvesk", or the file's name and the program with a mark while the
  // table has unsaved changes.
  void ShowTitle();
  // Where the settings file is read and written, chosen at the first use.
  QString SettingsPath();
  void LoadSettings();
  void SaveSettings();

  ui::Prompter& prompter_;
  ui::Shell& shell_;
  TfrAbout* about_ = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  ui::StatusBar* StatusBar1 = nullptr;
  ui::TableViews* views_ = nullptr;
  ui::TableEdits* edits_ = nullptr;
  std::unique_ptr<ui::ButtonBar> bar_;
  ui::RangePanel* range_ = nullptr;
  ui::Search* search_ = nullptr;
  ui::BlockOps* blocks_ = nullptr;
  ui::BannerStrip* banner_ = nullptr;
  ui::FileOperations* files_ = nullptr;
  ui::Transposition* transposition_ = nullptr;
  QVBoxLayout* layout_ = nullptr;
  core::SettingsValues settings_;
  QString program_dir_;
  QString settings_path_;
  QString start_file_;
  bool activated_ = false;
  bool closed_ = false;     // the close handler has run
  bool end_asked_ = false;  // the closing under way needs no question
};

#endif  // MARVESK_UI_UT_MARVESK_H_
