#include "ui/BlockOps.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <string>

#include "core/ClipText.h"
#include "core/Convert.h"
#include "core/Edit.h"
#include "core/Text.h"
#include "ui/Builders.h"
#include "ui/Codec.h"
#include "ui/ProgressReport.h"
#include "ui/StringGrid.h"
#include "ui/TableEdits.h"
#include "ui/TableViews.h"
#include "ui/platform/Prompter.h"

namespace ui {
namespace {

core::Block SelectedBlock(const StringGrid& grid) {
  return core::Block{grid.SelLeft(), grid.SelTop(), grid.SelRight(), grid.SelBottom()};
}

bool IsShortcut(const QKeyEvent& key, Qt::Key k) {
  return key.key() == k && (key.modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

// The clipboard's text is Unicode; the table's cells are bytes in its own
// encoding. Control characters pass as they are.
QString DecodeText(const std::string& bytes, bool utf8) {
  if (utf8) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  for (size_t i = 0; i < bytes.size(); ++i) {
    s[static_cast<qsizetype>(i)] =
        QChar(core::Cp1252ToUnicode(static_cast<unsigned char>(bytes[i])));
  }
  return s;
}

}  // namespace

BlockOps::BlockOps(QWidget* window, TableViews& views, TableEdits& edits, QLineEdit* edBreite,
                   QProgressBar* bar, Prompter& prompter)
    : QObject(window),
      window_(window),
      views_(views),
      edits_(edits),
      edBreite_(edBreite),
      bar_(bar),
      prompter_(prompter) {
  setObjectName(QStringLiteral("BlockOps"));
  sgh = new StringGrid(window, /*fixed=*/false);
  sgh->setObjectName(QStringLiteral("sgh"));
  sgh->setGeometry(376, 288, 185, 105);
  sgh->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgh->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgh->hide();
  // A string grid's standard size: 5 x 5 empty cells until the first copy.
  (void)edits_.Replace(*sgh, [](core::Table& table) {
    table.Reset(5, 5);
    return core::Result::Ok();
  });
  new EventHook(edBreite, [this, window](QEvent* e) {
    if (e->type() != QEvent::KeyPress) return false;
    bool take = false;
    RunGuarded(prompter_, window, [&] { take = edBreiteKeyPress(static_cast<QKeyEvent*>(e)); });
    return take;
  });
}

void BlockOps::ShowWidthOf(const StringGrid& grid) {
  edBreite_->setText(QString::number(grid.ColWidth(1)));
}

bool BlockOps::KeyDown(StringGrid& grid, QKeyEvent* key, bool editing) {
  bool take = false;
  const int k = key->key();
  // In an open editor Del deletes a character of the editor's text; emptying
  // the cell under it would empty the editor too.
  if (k == Qt::Key_Delete && !editing) {
    ClearSelection(grid);
    take = true;
  }
  if (k == Qt::Key_Shift) ShiftDown = true;
  if (k == Qt::Key_Control) CtrlDown = true;
  // Ins with a modifier works on the block clipboard only: neither the grid
  // nor the editor may take it for the system clipboard as well.
  if (CtrlDown && k == Qt::Key_Insert) {
    CopySelection(grid);
    take = true;
  }
  if (ShiftDown && k == Qt::Key_Insert) {
    PasteBlock(grid);
    take = true;
  }
  if (!editing && IsShortcut(*key, Qt::Key_C)) {
    CopyToClipboard(grid);
    take = true;
  }
  if (!editing && IsShortcut(*key, Qt::Key_V)) {
    PasteFromClipboard(grid);
    take = true;
  }
  if (!editing && IsShortcut(*key, Qt::Key_A)) {
    grid.selectAll();
    take = true;
  }
  if (k == Qt::Key_Return || k == Qt::Key_Enter) take = EnterWalk(grid, editing);
  return take;
}

void BlockOps::KeyUp(QKeyEvent* key) {
  if (key->key() == Qt::Key_Shift) ShiftDown = false;
  if (key->key() == Qt::Key_Control) CtrlDown = false;
}

bool BlockOps::EnterWalk(StringGrid& grid, bool editing) {
  // Each change of the current cell is an ordinary move: the selection
  // collapses, an open editor keeps its text and closes, the click handling
  // runs.
  bool moved = true;
  if (grid.Col() < grid.ColCount() - 1) {
    grid.SetCol(grid.Col() + 1);
  } else if (grid.Row() < grid.RowCount() - 1) {
    grid.SetRow(grid.Row() + 1);
    grid.SetCol(1);
  } else {
    moved = false;
  }
  if (!moved && editing) return false;  // the editor's own Enter closes it
  grid.ToggleEditor();
  return true;
}

void BlockOps::ClearSelection(StringGrid& grid) {
  const core::Block block = SelectedBlock(grid);
  ProgressReport progress(bar_, window_);
  (void)edits_.Apply(grid, core::TableChange::Cells(block), [&](core::Table& table) {
    core::ClearBlock(table, block, &progress);
    return core::Result::Ok();
  });
}

void BlockOps::CopySelection(StringGrid& grid) {
  ProgressReport progress(bar_, window_);
  const core::Result copied = edits_.Replace(*sgh, [&](core::Table& clip) {
    return core::CopyBlock(grid.table(), SelectedBlock(grid), clip, &progress);
  });
  if (!copied.ok()) ShowWarning(prompter_, FromBytes(copied.message()));
}

void BlockOps::PasteTable(const core::Table& clip, StringGrid& grid) {
  const int left = grid.SelLeft();
  const int top = grid.SelTop();
  const core::Block block{left, top, left + clip.ColCount() - 1, top + clip.RowCount() - 1};
  ProgressReport progress(bar_, window_);
  const core::Result pasted = edits_.Apply(
      grid, core::TableChange::Cells(block),
      [&](core::Table& table) { return core::PasteBlock(clip, table, left, top, &progress); });
  if (!pasted.ok()) ShowWarning(prompter_, FromBytes(pasted.message()));
}

void BlockOps::PasteBlock(StringGrid& grid) { PasteTable(sgh->table(), grid); }

void BlockOps::CopyToClipboard(StringGrid& grid) {
  const std::string text = core::BlockToText(grid.table(), SelectedBlock(grid));
  QGuiApplication::clipboard()->setText(DecodeText(text, grid.table().utf8()));
}

void BlockOps::PasteFromClipboard(StringGrid& grid) {
  const QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty()) return;
  core::Table clip;
  clip.set_utf8(grid.table().utf8());
  int lost = 0;
  core::TextToBlock(EncodeCell(text, grid.table().utf8(), &lost), clip);
  PasteTable(clip, grid);
  edits_.ReportLost(lost);
}

void BlockOps::ApplyColWidth() {
  if (edBreite_->text().isEmpty()) edBreite_->setText(QStringLiteral("80"));
  // A text that is no number stops here, before anything changes.
  int width = core::StrToIntStrict(edBreite_->text().toStdString());
  // No column narrower than one pixel; a negative width (only by pasting)
  // counts as none.
  if (width < 1) width = 1;
  edBreite_->setText(QString::number(width));
  if (!views_.TableShown()) return;
  StringGrid& grid = views_.Shown();
  ProgressReport progress(bar_, window_);
  progress.Started(grid.ColCount() - 1);
  grid.SetDataColWidths(width);
  progress.Progress(grid.ColCount() - 1);
  progress.Finished();
}

bool BlockOps::edBreiteKeyPress(QKeyEvent* key) {
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    ApplyColWidth();
    return true;
  }
  return RejectedByDigitFilter(*key);
}

}  // namespace ui
