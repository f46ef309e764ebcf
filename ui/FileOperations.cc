#include "ui/FileOperations.h"

#include <QProgressBar>
#include <QStringList>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <utility>

#include "core/FileUtil.h"
#include "core/Loader.h"
#include "core/Separator.h"
#include "core/Settings.h"
#include "core/Writer.h"
#include "ui/Builders.h"
#include "ui/ButtonBar.h"
#include "ui/Codec.h"
#include "ui/ProgressReport.h"
#include "ui/StatusBar.h"
#include "ui/StringGrid.h"
#include "ui/TableEdits.h"
#include "ui/TableViews.h"
#include "ui/platform/EscapeWatch.h"
#include "ui/platform/Shell.h"

namespace ui {
namespace {

const QString kOpenFilter =
    QStringLiteral("Text-Datei (*.TXT)|*.txt|CSV-Dateien (*.CSV)|*.csv|Alle-Dateien (*.*)|*.*");
const QString kSaveFilter = QStringLiteral("TXT-Datei|*.txt|CSV-Datei|*.csv");

QString FileNameOf(const QString& path) { return FromBytes(core::NamePart(Bytes(path))); }

// The core's load in the window: the progress bar and the status texts, the
// Escape watch, the continue question and the configured separator.
class LoadReport final : public core::LoadObserver {
 public:
  LoadReport(ProgressReport& bar, EscapeWatch& watch, StatusBar* status, Prompter& prompter,
             QWidget* window, QString file, std::function<char()> separator)
      : bar_(bar),
        watch_(watch),
        status_(status),
        prompter_(prompter),
        window_(window),
        file_(std::move(file)),
        separator_(std::move(separator)) {}

  // Asked only when no detection runs, once the file is open.
  char ConfiguredSeparator() override { return separator_(); }
  void Started(int maximum) override {
    status_->show();
    status_->SetPanelText(0, QStringLiteral("Laden ") + file_);
    status_->SetPanelText(1, QStringLiteral("Mit ESC-Taste abbrechen"));
    bar_.Started(maximum);
  }
  void StoredRows(int64_t rows) override { rows_ = rows; }
  void Progress(int position) override {
    // The bar and the text move at most as often as the watch paints.
    if (!watch_.Due()) return;
    status_->SetPanelText(0, QStringLiteral("Laden ") + QString::number(rows_));
    bar_.Progress(position);
  }
  void Finished() override { bar_.Finished(); }
  bool EscapePressed() override { return bar_.EscapePressed(); }

  bool ConfirmContinue() override {
    const QString question =
        QStringLiteral("Laden ") + file_ + QStringLiteral(" ist noch nicht beendet\rFortsetzen?");
    for (;;) {
      // A box closed without a button (close box, Escape) is no answer.
      const int answer = ShowMessage(prompter_, window_, Prompter::Kind::kWarning, question,
                                     Prompter::Buttons::kYesNo);
      if (answer != Prompter::kResultYes && answer != Prompter::kResultNo) continue;
      // An Escape still held, or pressed to close the box, is no answer.
      if (watch_.IsPressed()) continue;
      return answer == Prompter::kResultYes;
    }
  }

 private:
  ProgressReport& bar_;
  EscapeWatch& watch_;
  StatusBar* status_;
  Prompter& prompter_;
  QWidget* window_;
  QString file_;
  std::function<char()> separator_;
  int64_t rows_ = 0;
};

}  // namespace

FileOperations::FileOperations(QWidget* window, TableViews& views, TableEdits& edits,
                               const ButtonBar& buttons, Bars bars, core::SettingsValues& settings,
                               Prompter& prompter, Shell& shell)
    : QObject(window),
      window_(window),
      views_(views),
      edits_(edits),
      bars_(bars),
      settings_(settings),
      prompter_(prompter),
      shell_(shell),
      sbLaden_TXT_(buttons.sbLaden_TXT()),
      sbSpeichern_(buttons.sbSpeichern()) {
  setObjectName(QStringLiteral("FileOperations"));
  OpenDialog1.filter = kOpenFilter;
  SaveDialog1.filter = kSaveFilter;
  SaveDialog1.confirm_overwrite = true;
  ConnectGuarded(sbLaden_TXT_, &QToolButton::clicked, window, prompter,
                 [this] { sbLaden_TXTClick(); });
  ConnectGuarded(buttons.sbExcel(), &QToolButton::clicked, window, prompter,
                 [this] { sbExcelClick(); });
  new MouseButtonFilter(sbLaden_TXT_, {}, [this] { sbLaden_TXTMouseMove(); });
  // Speichern starts on the press itself, which tells the mouse button; the
  // filter takes the press, so no click follows and one press saves once.
  new MouseButtonFilter(
      sbSpeichern_,
      [this, window, &prompter](Qt::MouseButton button) {
        RunGuarded(prompter, window,
                   [this, button] { sbSpeichernClick(button != Qt::RightButton); });
      },
      [this] { sbSpeichernMouseMove(); });
}

char FileOperations::SeparatorChar() { return core::SeparatorChar(settings_.separator); }

void FileOperations::sbLaden_TXTMouseMove() {
  const QString s = QString::fromLatin1(core::SeparatorDisplay(SeparatorChar()));
  SetHint(sbLaden_TXT_, QStringLiteral("Öffnen TXT-Datei\rTrennzeichen: ") + s);
}

void FileOperations::sbSpeichernMouseMove() {
  const QString s = QString::fromLatin1(core::SeparatorDisplay(SeparatorChar()));
  SetHint(sbSpeichern_, QStringLiteral("Speichern in TXT-Excel Datei\rLinke-Maus  Trennzeichen: "
                                       "Tab\rRechte-Maus Trennzeichen: ") +
                            s);
}

void FileOperations::sbLaden_TXTClick() {
  emit opening();
  Load(/*reload=*/false);
  emit opened();
}

void FileOperations::OpenFile(const QString& path) {
  emit opening();
  // What the dialog would hold had the user picked the file there.
  OpenDialog1.file_name = path;
  Load(/*reload=*/true);
  emit opened();
}

void FileOperations::ChosenFolder(const QString& path) {
  settings_.last_dir = core::DirectoryPart(Bytes(path));
}

bool FileOperations::ShowOpenDialog() {
  OpenDialog1.initial_dir = FromBytes(settings_.last_dir);
  OpenDialog1.filter_index = settings_.open_filter_index;
  const bool chosen = prompter_.OpenFile(window_, OpenDialog1);
  settings_.open_filter_index = OpenDialog1.filter_index;
  return chosen;
}

void FileOperations::Load(bool reload) {
  emit loadStarting();
  bars_.menu->hide();
  if (!reload && !ShowOpenDialog()) {
    bars_.menu->show();
    return;
  }
  EscapeWatch watch(window_);
  bars_.progress->show();
  watch.Pump(/*force=*/true);
  edits_.Clear();  // nothing of the old table can come back
  emit loading();
  const QString path = OpenDialog1.file_name;
  StringGrid& grid = views_.loaded();
  core::LoadResult result;
  // The grid stays detached from the view until the load is over: it is
  // not repainted per cell.
  (void)edits_.Replace(grid, [&](core::Table& table) {
    // The old table's blocks serve the new one.
    core::ClearGrid(table, /*keep_storage=*/!path.isEmpty());
    // A new table starts at its first data cell, as a cleared grid does.
    grid.StartAtFirstCell();
    if (path.isEmpty()) return core::Result::Ok();
    ChosenFolder(path);
    const bool auto_detect = core::AutoDetectInForce(settings_.separator);
    ProgressReport bar(bars_.progress, window_, &watch);
    LoadReport observer(bar, watch, bars_.status, prompter_, window_, FileNameOf(path),
                        [this] { return SeparatorChar(); });
    Stamp(path);
    result = core::LoadTable(Bytes(path), auto_detect, table, observer,
                             settings_.separator.quoted_fields);
    return result.status;
  });
  edits_.MarkClean();
  if (path.isEmpty()) {
    // Nothing to read: back to a usable view rather than a bare window.
    Stamp({});
    bars_.progress->hide();
    emit nothingLoaded();
    return;
  }
  if (!ShowOutcome(result)) {
    Stamp({});
    return;
  }
  const QString notice = LoadNotice(result);
  if (notice.isEmpty()) {
    bars_.status->hide();
  } else {
    bars_.status->ShowNotice(notice);
  }
  bars_.progress->hide();
  emit loaded(&grid);
}

QString FileOperations::LoadNotice(const core::LoadResult& result) const {
  QStringList notes;
  if (result.unclosed_quote) {
    notes << QStringLiteral("Anführungszeichen am Dateiende nicht geschlossen: der Rest der Datei "
                            "steht in einem Feld");
  }
  if (result.looks_quoted) {
    notes << QStringLiteral("Die Datei scheint Felder in Anführungszeichen zu verwenden: "
                            "Info, \"Felder in Anführungszeichen\"");
  }
  if (result.stopped) {
    notes << QStringLiteral("Tabelle unvollständig: Laden abgebrochen, %1 gelesen")
                 .arg(result.stored_rows == 1
                          ? QStringLiteral("1 Zeile")
                          : QStringLiteral("%1 Zeilen").arg(result.stored_rows));
  }
  return notes.join(QStringLiteral(" – "));
}

void FileOperations::Stamp(const QString& path) {
  stamped_path_ = path;
  stamp_ = path.isEmpty() ? core::FileStamp{} : core::StampOf(Bytes(path));
  emit documentChanged();
}

bool FileOperations::ChangedFileConfirmed(const QString& path, const QString& question) {
  if (path.isEmpty() || path != stamped_path_) return true;
  const core::FileStamp now = core::StampOf(Bytes(path));
  // A file that is gone loses nothing when it is written anew.
  if (!now.exists || now == stamp_) return true;
  const QString text = QStringLiteral("Die Datei ") + path +
                       QStringLiteral(" wurde seit dem Laden oder Speichern von einem anderen "
                                      "Programm geändert.\r") +
                       question;
  return ShowMessage(prompter_, window_, Prompter::Kind::kInformation, text,
                     Prompter::Buttons::kYesNo) == Prompter::kResultYes;
}

void FileOperations::Reload() {
  if (!ChangedFileConfirmed(OpenDialog1.file_name, QStringLiteral("Trotzdem neu laden?"))) return;
  Load(/*reload=*/true);
}

bool FileOperations::ShowOutcome(const core::LoadResult& result) {
  switch (result.status.code()) {
    case core::Code::kOpenFailed:
      bars_.progress->hide();
      ShowWarning(prompter_, FromBytes(result.status.message()));
      emit nothingLoaded();
      return false;
    case core::Code::kOutOfMemory:
    case core::Code::kReadFailed:
      ShowWarning(prompter_, FromBytes(result.status.message()));
      return true;
    default:
      return true;
  }
}

void FileOperations::Save(bool with_tab) {
  StringGrid& grid = views_.Saving();
  char separator = with_tab ? '\t' : SeparatorChar();
  SaveDialog1.default_ext = QStringLiteral("csv");
  SaveDialog1.initial_dir = FromBytes(settings_.last_dir);
  SaveDialog1.filter_index = settings_.save_filter_index;
  // The dialog proposes the name of the file the table came from.
  SaveDialog1.file_name = stamped_path_;
  const bool chosen = prompter_.SaveFile(window_, SaveDialog1);
  settings_.save_filter_index = SaveDialog1.filter_index;
  if (!chosen) return;
  const QString path = SaveDialog1.file_name;
  if (QString::fromStdString(core::UpperExt(Bytes(path))) == QLatin1String(".CSV")) {
    separator = ';';
  }
  if (!SplitCellsConfirmed(grid, separator)) return;
  if (!ChangedFileConfirmed(path, QStringLiteral("Trotzdem überschreiben?"))) return;
  ChosenFolder(path);
  OpenDialog1.file_name = path;

  EscapeWatch watch(window_);
  bars_.menu->hide();
  bars_.status->SetPanelText(0, QStringLiteral("Laden ") + path);
  bars_.status->show();
  ProgressReport observer(bars_.progress, window_, &watch);
  const core::WriteResult result = core::WriteTable(grid.table(), Bytes(path), separator, &observer,
                                                    /*sync=*/true, settings_.separator.quoted_fields);
  bars_.status->hide();
  bars_.menu->show();
  if (result.status.code() == core::Code::kCreateFailed ||
      result.status.code() == core::Code::kWriteFailed) {
    ShowWarning(prompter_, FromBytes(result.status.message()));
    return;
  }
  Stamp(path);
  // A save stopped by Escape wrote part of the table only.
  if (result.status.ok()) edits_.MarkClean();
}

bool FileOperations::SplitCellsConfirmed(const StringGrid& grid, char separator) {
  // With quoted fields every cell reads back as it was written.
  if (settings_.separator.quoted_fields) return true;
  const int64_t cells = core::CellsNeedingQuotes(grid.table(), separator);
  if (cells == 0) return true;
  const QString shown = QString::fromLatin1(core::SeparatorDisplay(separator));
  const QString text =
      (cells == 1 ? QStringLiteral("1 Zelle enthält das Trennzeichen %1 oder einen Zeilenumbruch "
                                   "und wird beim erneuten Laden anders aufgeteilt.")
                        .arg(shown)
                  : QStringLiteral("%1 Zellen enthalten das Trennzeichen %2 oder einen "
                                   "Zeilenumbruch und werden beim erneuten Laden anders "
                                   "aufgeteilt.")
                        .arg(cells)
                        .arg(shown)) +
      (cells == 1
           ? QStringLiteral("\rMit \"Felder in Anführungszeichen\" (Info) bleibt sie erhalten.")
           : QStringLiteral("\rMit \"Felder in Anführungszeichen\" (Info) bleiben sie erhalten.")) +
      QStringLiteral("\rTrotzdem speichern?");
  return ShowMessage(prompter_, window_, Prompter::Kind::kInformation, text,
                     Prompter::Buttons::kYesNo) == Prompter::kResultYes;
}

void FileOperations::sbSpeichernClick(bool with_tab) { Save(with_tab); }

void FileOperations::sbExcelClick() {
  if (!ShowOpenDialog()) return;
  const QString file = OpenDialog1.file_name;
  ChosenFolder(file);
  shell_.OpenInSpreadsheet(window_, file, FromBytes(settings_.last_dir));
}

}  // namespace ui
