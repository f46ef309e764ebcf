#include "ui/FileOperations.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

#include "core/FileUtil.h"
#include "core/Loader.h"
#include "core/Writer.h"
#include "ui/BannerStrip.h"
#include "ui/ButtonBar.h"
#include "ui/Codec.h"
#include "ui/RangePanel.h"
#include "ui/Search.h"
#include "ui/StatusBar.h"
#include "ui/StringGrid.h"
#include "ui/Undo.h"
#include "ui/platform/EscapeWatch.h"
#include "ui/platform/Shell.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace ui {
namespace {

QString FileNameOf(const QString& path) { return FromBytes(core::NamePart(Bytes(path))); }

// Connects the core load to the window: status texts, progress bar, the
// Escape watch and the continue question.
class WindowLoadObserver final : public core::LoadObserver {
 public:
  WindowLoadObserver(TfrMarvesk& form, EscapeWatch& watch) : form_(form), watch_(watch) {}

  char ConfiguredSeparator() override { return form_.SeparatorChar(); }

  void ReadingStarted() override {
    form_.StatusBar1->show();
    form_.ProgressBar1->show();
    form_.ProgressBar1->setMaximum(10000);
    form_.ProgressBar1->setValue(0);
    form_.StatusBar1->SetPanelText(
        0, QStringLiteral("Laden ") + FileNameOf(form_.OpenDialog1.file_name));
    form_.StatusBar1->SetPanelText(1, QStringLiteral("Mit ESC-Taste abbrechen"));
    watch_.Pump(/*force=*/true);
  }

  void Progress(int position, int64_t stored_rows) override {
    // The bar and the text move every 100 lines at most, and are painted no
    // more often than the watch's interval, so a big file is not slowed down.
    if (!watch_.Due()) return;
    form_.ProgressBar1->setValue(position);
    form_.StatusBar1->SetPanelText(0, QStringLiteral("Laden ") + QString::number(stored_rows));
    watch_.Pump();
  }

  bool EscapePressed() override { return watch_.IsPressed(); }

  bool ConfirmContinue() override {
    const QString question = QStringLiteral("Laden ") + FileNameOf(form_.OpenDialog1.file_name) +
                             QStringLiteral(" ist noch nicht beendet\rFortsetzen?");
    for (;;) {
      // A box closed without a button (close box, Escape) is no answer.
      const int answer = ShowMessage(form_.prompter(), &form_, Prompter::Kind::kWarning, question,
                                     Prompter::Buttons::kYesNo);
      if (answer != Prompter::kResultYes && answer != Prompter::kResultNo) continue;
      // An Escape still held, or pressed to close the box, is no answer.
      if (watch_.IsPressed()) continue;
      return answer == Prompter::kResultYes;
    }
  }

 private:
  TfrMarvesk& form_;
  EscapeWatch& watch_;
};

class WindowWriteObserver final : public core::WriteObserver {
 public:
  WindowWriteObserver(QProgressBar* bar, EscapeWatch& watch) : bar_(bar), watch_(watch) {}
  void Progress(int row) override {
    if (!watch_.Due()) return;
    bar_->setValue(row);
    watch_.Pump();
  }
  bool EscapePressed() override { return watch_.IsPressed(); }

 private:
  QProgressBar* bar_;
  EscapeWatch& watch_;
};

// Ends the grid's detachment from its view however the load ends.
struct EndUpdate {
  StringGrid* grid;
  ~EndUpdate() { grid->EndUpdate(); }
};

}  // namespace

void FileOperations::Load(bool reload) {
  form_.search().Restart();
  ButtonBar& bar = form_.bar();
  bar.plMenu->hide();
  form_.OpenDialog1.initial_dir = form_.settings.LastDir;
  if (!reload && !form_.prompter().OpenFile(&form_, form_.OpenDialog1)) {
    bar.plMenu->show();
    return;
  }

  EscapeWatch watch(&form_);
  form_.ProgressBar1->show();
  watch.Pump(/*force=*/true);
  // The grid stays detached from the view until the load is over: it is
  // hidden and not repainted per cell.
  StringGrid* grid = form_.StringGrid1;
  grid->BeginUpdate();
  EndUpdate end_update{grid};
  ClearForLoad();
  const QString path = form_.OpenDialog1.file_name;
  if (path.isEmpty()) {
    // Nothing to read: back to a usable view rather than a bare window.
    form_.ProgressBar1->hide();
    form_.InitView();
    return;
  }
  form_.settings.LastDir = FromBytes(core::DirectoryPart(Bytes(path)));

  const QCheckBox* automatic = form_.about().cbTrZAutom;
  const bool auto_detect = automatic->isChecked() && !automatic->isHidden();
  WindowLoadObserver observer(form_, watch);
  const core::LoadResult result =
      core::LoadTable(Bytes(path), auto_detect, grid->table(), observer);
  if (!ShowOutcome(result)) return;
  form_.SetCounters(*grid);
  form_.StatusBar1->hide();
  form_.ProgressBar1->hide();
  grid->show();
  bar.plMenu->show();
}

void FileOperations::ClearForLoad() {
  StringGrid* grid = form_.StringGrid1;
  form_.undo().Clear();  // nothing of the old table can come back
  core::ClearGrid(grid->table());
  // A new table starts at its first data cell, as a cleared grid does,
  // before anything looks at the current cell.
  grid->StartAtFirstCell();
  grid->hide();
  form_.StringGrid2->hide();
  form_.bar().tbRow_Col->setChecked(false);
  form_.bar().ShowTableControls(true);
}

bool FileOperations::ShowOutcome(const core::LoadResult& result) {
  switch (result.status.code()) {
    case core::Code::kOpenFailed:
      form_.ProgressBar1->hide();
      form_.ex().ShowWarning(FromBytes(result.status.message()));
      form_.InitView();
      return false;
    case core::Code::kOutOfMemory:
      form_.ex().ShowWarning(FromBytes(result.status.message()));
      form_.StringGrid1->show();
      return true;
    case core::Code::kReadFailed:
      form_.ex().ShowWarning(FromBytes(result.status.message()));
      return true;
    default:
      return true;
  }
}

void FileOperations::Save(StringGrid* grid, bool with_tab) {
  char separator = with_tab ? '\t' : form_.SeparatorChar();
  form_.SaveDialog1.default_ext = QStringLiteral("csv");
  form_.SaveDialog1.initial_dir = form_.settings.LastDir;
  if (!form_.prompter().SaveFile(&form_, form_.SaveDialog1)) return;
  const QString path = form_.SaveDialog1.file_name;
  if (form_.ex().UpperExt(path) == QLatin1String(".CSV")) separator = ';';
  form_.settings.LastDir = FromBytes(core::DirectoryPart(Bytes(path)));
  form_.OpenDialog1.file_name = path;

  EscapeWatch watch(&form_);
  ButtonBar& bar = form_.bar();
  bar.plMenu->hide();
  form_.StatusBar1->SetPanelText(0, QStringLiteral("Laden ") + path);
  form_.StatusBar1->show();
  form_.ProgressBar1->show();
  form_.ProgressBar1->setMaximum(std::max(grid->RowCount() - 1, 0));
  form_.ProgressBar1->setValue(0);
  watch.Pump(/*force=*/true);
  WindowWriteObserver observer(form_.ProgressBar1, watch);
  const core::WriteResult result =
      core::WriteTable(grid->table(), Bytes(path), separator, &observer, /*sync=*/true);
  form_.ProgressBar1->hide();
  form_.StatusBar1->hide();
  bar.plMenu->show();
  if (result.status.code() == core::Code::kCreateFailed ||
      result.status.code() == core::Code::kWriteFailed) {
    form_.ex().ShowWarning(FromBytes(result.status.message()));
  }
}

void FileOperations::OpenInSpreadsheet() {
  form_.OpenDialog1.initial_dir = form_.settings.LastDir;
  if (!form_.prompter().OpenFile(&form_, form_.OpenDialog1)) return;
  const QString file = form_.OpenDialog1.file_name;
  form_.settings.LastDir = FromBytes(core::DirectoryPart(Bytes(file)));
  form_.shell().OpenInSpreadsheet(&form_, file, form_.settings.LastDir);
}

}  // namespace ui
