// Loading a file into the main window, saving the shown table, and handing a
// file to the spreadsheet program: the buttons Laden, Speichern and Excel,
// the dialogs, the status texts, the progress bar, Escape and the warnings
// around the core's load and save. The dialogs' folder, filters and the
// separator come from the main window's settings, which this part updates.
#ifndef MARVESK_UI_FILEOPERATIONS_H_
#define MARVESK_UI_FILEOPERATIONS_H_

#include <QObject>
#include <QString>

#include "core/FileUtil.h"
#include "ui/platform/Prompter.h"

class QProgressBar;
class QToolButton;
class QWidget;

namespace core {
struct LoadResult;
struct SettingsValues;
}  // namespace core

namespace ui {

class ButtonBar;
class Shell;
class StatusBar;
class StringGrid;
class TableEdits;
class TableViews;

class FileOperations final : public QObject {
  Q_OBJECT

 public:
  // What the loads and saves show their progress in.
  struct Bars {
    QWidget* menu;  // the button bar, hidden while a file is read or written
    QProgressBar* progress;
    StatusBar* status;
  };

  FileOperations(QWidget* window, TableViews& views, TableEdits& edits, const ButtonBar& buttons,
                 Bars bars, core::SettingsValues& settings, Prompter& prompter, Shell& shell);

  // Loads `path` as "Laden" does with that file chosen in the dialog (a file
  // named on the command line or dropped onto the window).
  void OpenFile(const QString& path);
  // Reads the current file again (a changed separator); asks first when
  // another program changed the file since it was read or written here.
  void Reload();
  // The current file: the one loaded, saved or handed on last.
  const QString& file_name() const { return OpenDialog1.file_name; }
  // The file the table was read from or written to last; empty while no
  // table is loaded.
  const QString& document() const { return stamped_path_; }
  // Speichern as the button does: with TAB when `with_tab` (the left
  // button), otherwise with the configured separator.
  void Save(bool with_tab);

 signals:
  // "Laden" or a given file is about to load: the range panel closes.
  void opening();
  // ... and has loaded, or was not chosen: the banner goes.
  void opened();
  // Every load, a reload too, starts: the search starts afresh.
  void loadStarting();
  // The view states a load goes through, which the window shows: the empty
  // grids hidden while it reads; then `grid` holding the table, or the start
  // view when nothing could be read.
  void loading();
  void loaded(StringGrid* grid);
  void nothingLoaded();
  // document() changed.
  void documentChanged();

 private:
  void sbLaden_TXTClick();
  void sbLaden_TXTMouseMove();
  void sbSpeichernMouseMove();
  // `with_tab`: the press was not made with the right mouse button.
  void sbSpeichernClick(bool with_tab);
  void sbExcelClick();
  // Loads the file chosen in the open dialog, or with `reload` the one the
  // open dialog holds.
  void Load(bool reload);
  // Warnings and the view after the core's load; false when the start view
  // was restored.
  bool ShowOutcome(const core::LoadResult& result);
  char SeparatorChar();
  bool ShowOpenDialog();
  void ChosenFolder(const QString& path);
  // What the status line says after a load, empty when all went as asked.
  QString LoadNotice(const core::LoadResult& result) const;
  // The file as read or written here last; empty for none.
  void Stamp(const QString& path);
  // False when `path` is that file, another program changed it since, and
  // the user answers No to `question` (said after what happened).
  bool ChangedFileConfirmed(const QString& path, const QString& question);
  // False when cells would split differently once the file is read again
  // and the user does not want that.
  bool SplitCellsConfirmed(const StringGrid& grid, char separator);

  QWidget* window_;
  TableViews& views_;
  TableEdits& edits_;
  Bars bars_;
  core::SettingsValues& settings_;
  Prompter& prompter_;
  Shell& shell_;
  QToolButton* sbLaden_TXT_;
  QToolButton* sbSpeichern_;
  FileDialogState OpenDialog1;
  FileDialogState SaveDialog1;
  QString stamped_path_;
  core::FileStamp stamp_;
};

}  // namespace ui

#endif  // MARVESK_UI_FILEOPERATIONS_H_
