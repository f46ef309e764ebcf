#include "ui/RangePanel.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QToolButton>
#include <initializer_list>

#include "ui/Builders.h"
#include "ui/ButtonBar.h"
#include "ui/Codec.h"
#include "ui/EditProgress.h"
#include "ui/Search.h"
#include "ui/StringGrid.h"
#include "ui/Undo.h"
#include "ui/platform/Prompter.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace ui {
namespace {

constexpr QRgb kRemoveColour = 0xFFFFB5B0;  // light red, 255 181 176
constexpr QRgb kClearColour = 0xFFFFCF9F;   // light orange, 255 207 159

// The fields' texts go to the rules as UTF-8 and come back the same way.
std::string Text(const QLineEdit* field) { return field->text().toStdString(); }

}  // namespace

RangePanel::RangePanel(TfrMarvesk& form) : form_(form) {
  plLoeschen = Panel(&form, "plLoeschen", true);
  plLoeschen->setGeometry(472, 128, 152, 133);
  plLoeschen->setCursor(Qt::SizeAllCursor);
  plLoeschen->setFont(SansSerif8(true));
  plLoeschen->setAutoFillBackground(true);
  plLoeschen->setMouseTracking(true);
  rbSpalte = Radio(plLoeschen, "rbSpalte", QStringLiteral("Spalte"), {10, 7, 56, 17}, true);
  rbZeile = Radio(plLoeschen, "rbZeile", QStringLiteral("Zeile"), {10, 24, 50, 17}, false);
  Panel1 = Panel(plLoeschen, "Panel1", false);
  Panel1->setGeometry(91, 10, 50, 28);
  rbAlles = Radio(Panel1, "rbAlles", QStringLiteral("Alles"), {-1, -2, 48, 17}, true);
  rbInhalt = Radio(Panel1, "rbInhalt", QStringLiteral("Inhalt"), {-1, 13, 52, 17}, false);
  BuildFields();
  ExclusivePair(rbSpalte, rbZeile);
  ExclusivePair(rbAlles, rbInhalt);
  ExclusivePair(rbAb, rbBis);
  sbOK = SpeedButton(plLoeschen, "sbOK", QStringLiteral("OK"), QString(),
                     QStyle::SP_DialogApplyButton, {4, 105, 70, 24});
  sbOK->setCursor(Qt::ArrowCursor);
  sbLoesch_Exit = SpeedButton(plLoeschen, "sbLoesch_Exit", QStringLiteral("Exit"),
                              QStringLiteral("Fenster schließen"), QStyle::SP_DialogCloseButton,
                              {78, 105, 70, 24});
  sbLoesch_Exit->setCursor(Qt::ArrowCursor);
  plLoeschen->hide();
  plLoeschen->raise();
}

void RangePanel::BuildFields() {
  Label1 = Label(plLoeschen, "Label1", QStringLiteral("ab"), {10, 50, 15, 13});
  Label1->setCursor(Qt::ArrowCursor);
  edAb = Edit(plLoeschen, "edAb", QString(), {35, 46, 73, 21});
  Label2 = Label(plLoeschen, "Label2", QStringLiteral("bis"), {10, 77, 17, 13});
  Label2->setCursor(Qt::ArrowCursor);
  edBis = Edit(plLoeschen, "edBis", QString(), {35, 73, 73, 21});
  Panel2 = Panel(plLoeschen, "Panel2", false);
  Panel2->setGeometry(112, 46, 14, 49);
  rbAb = Radio(Panel2, "rbAb", QString(), {1, 3, 15, 17}, true);
  rbBis = Radio(Panel2, "rbBis", QString(), {1, 29, 15, 17}, false);
  // The four-way arrow belongs to the free area only; the fields keep their
  // text cursor.
  for (QWidget* w : std::initializer_list<QWidget*>{rbSpalte, rbZeile, Panel1, rbAlles, rbInhalt,
                                                    Panel2, rbAb, rbBis}) {
    w->setCursor(Qt::ArrowCursor);
  }
}

void RangePanel::Connect() {
  TfrMarvesk* form = &form_;
  Prompter& prompter = form_.prompter();
  ConnectGuarded(form_.bar().sbLoeschen, &QToolButton::clicked, form, prompter,
                 [form] { form->sbLoeschenClick(); });
  ConnectGuarded(sbLoesch_Exit, &QToolButton::clicked, form, prompter,
                 [form] { form->sbLoesch_ExitClick(); });
  ConnectGuarded(sbOK, &QToolButton::clicked, form, prompter, [form] { form->sbOKClick(); });
  new MouseButtonFilter(sbOK, {}, [form] { form->sbOKMouseMove(); });
  ConnectGuarded(rbSpalte, &QRadioButton::toggled, form, prompter, [form, this] {
    if (rbSpalte->isChecked()) form->rbSpalteClick();
  });
  ConnectGuarded(rbZeile, &QRadioButton::toggled, form, prompter, [form, this] {
    if (rbZeile->isChecked()) form->rbZeileClick();
  });
  ConnectGuarded(rbAlles, &QRadioButton::toggled, form, prompter, [form, this] {
    if (rbAlles->isChecked()) form->rbAllesClick();
  });
  ConnectGuarded(rbInhalt, &QRadioButton::toggled, form, prompter, [form, this] {
    if (rbInhalt->isChecked()) form->rbInhaltClick();
  });
  new EventHook(edAb, [form](QEvent* e) {
    if (e->type() == QEvent::FocusIn) form->edAbEnter();
    return e->type() == QEvent::KeyPress && form->edAbKeyPress(static_cast<QKeyEvent*>(e));
  });
  new EventHook(edBis, [form](QEvent* e) {
    if (e->type() == QEvent::FocusIn) form->edBisEnter();
    return e->type() == QEvent::KeyPress && form->edBisKeyPress(static_cast<QKeyEvent*>(e));
  });
  // The free area of the panel: moves and presses that no control took.
  new EventHook(plLoeschen, [form](QEvent* e) {
    if (e->type() == QEvent::MouseMove) form->plLoeschenMouseMove();
    if (e->type() == QEvent::MouseButtonPress) {
      form->plLoeschenMouseDown(static_cast<QMouseEvent*>(e)->position().toPoint());
      return true;
    }
    return false;
  });
}

core::RangeAxis RangePanel::Axis() const {
  return rbSpalte->isChecked() ? core::RangeAxis::kColumns : core::RangeAxis::kRows;
}

core::RangeMode RangePanel::Mode() const {
  return rbAlles->isChecked() ? core::RangeMode::kRemove : core::RangeMode::kClear;
}

core::RangeFields RangePanel::Fields() const { return {Text(edAb), Text(edBis)}; }

void RangePanel::PutFields(const core::RangeFields& fields) {
  if (fields.ab != Text(edAb)) edAb->setText(QString::fromStdString(fields.ab));
  if (fields.bis != Text(edBis)) edBis->setText(QString::fromStdString(fields.bis));
}

void RangePanel::SetBounds(const core::RangeBounds& bounds) {
  ColFrom = bounds.ColFrom;
  ColTo = bounds.ColTo;
  RowFrom = bounds.RowFrom;
  RowTo = bounds.RowTo;
}

void RangePanel::CellChosen(int col, int row) {
  const int value = rbSpalte->isChecked() ? col : row;
  if (rbAb->isChecked()) edAb->setText(QString::number(value));
  if (rbBis->isChecked()) edBis->setText(QString::number(value));
}

void RangePanel::ReadRange(const StringGrid& grid) {
  core::RangeFields fields = Fields();
  const int count = Axis() == core::RangeAxis::kColumns ? grid.ColCount() : grid.RowCount();
  SetBounds(core::ReadRange(fields, Axis(), count));
  PutFields(fields);
}

void RangePanel::RefreshRange() {
  StringGrid* grid = form_.VisibleGrid();
  ReadRange(*grid);
  grid->viewport()->repaint();
}

void RangePanel::ClearRange(StringGrid& grid) {
  core::RangeFields fields = Fields();
  core::RangeBounds bounds{ColFrom, ColTo, RowFrom, RowTo};
  core::ClearRange(grid.table(), fields, Axis(), bounds, &form_.undo().For(grid));
  SetBounds(bounds);
  PutFields(fields);
  grid.gridModel()->CellsChanged(1, 1, grid.ColCount() - 1, grid.RowCount() - 1);
}

void RangePanel::DeleteRange(StringGrid& grid) {
  if (Mode() == core::RangeMode::kClear) {
    ClearRange(grid);
    return;
  }
  core::RangeFields fields = Fields();
  core::RangeBounds bounds{ColFrom, ColTo, RowFrom, RowTo};
  EditProgress progress(form_.ProgressBar1, &form_);
  grid.BeginUpdate();
  const core::Result result = core::DeleteRange(grid.table(), fields, Axis(), Mode(), bounds,
                                                &progress, &form_.undo().For(grid));
  grid.EndUpdate();
  SetBounds(bounds);
  PutFields(fields);
  form_.SetCounters(grid);
  if (!result.ok()) form_.ex().ShowWarning(FromBytes(result.message()));
}

std::string RangePanel::DeleteConfirmText() const {
  return core::DeleteConfirmText(Fields(), Axis(), Mode());
}

void RangePanel::MovePanel(int x, int y) { plLoeschen->move(x - DragOffsetX, y - DragOffsetY); }

void RangePanel::sbLoeschenClick() {
  plLoeschen->setVisible(plLoeschen->isHidden());
  if (plLoeschen->isHidden()) return;
  plLoeschen->raise();
  edAb->setFocus();
  rbAb->setChecked(true);  // as the focus does, also while the window is inactive
  RefreshRange();
}

void RangePanel::sbLoesch_ExitClick() { plLoeschen->hide(); }

bool RangePanel::FieldKeyPress(QLineEdit* field, QKeyEvent* key) {
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    (field == edAb ? edBis : edAb)->setFocus();
    return true;  // the filter turns Enter into no key
  }
  return RejectedByDigitFilter(*key);
}

void RangePanel::GridMouseMove(StringGrid& grid) {
  ReadRange(grid);
  grid.viewport()->repaint();
}

void RangePanel::sbOKMouseMove() {
  core::RangeFields fields = Fields();
  const StringGrid* grid = form_.VisibleGrid();
  const int count = Axis() == core::RangeAxis::kColumns ? grid->ColCount() : grid->RowCount();
  const std::string hint = core::OkHint(fields, Axis(), Mode(), count);
  PutFields(fields);
  SetHint(sbOK, QString::fromStdString(hint));
}

void RangePanel::sbOKClick() {
  form_.search().Restart();
  core::RangeFields fields = Fields();
  const bool filled = core::CheckFields(fields);
  PutFields(fields);
  if (!filled) return;
  const QString question = QString::fromStdString(DeleteConfirmText());
  const int answer = ShowMessage(form_.prompter(), &form_, Prompter::Kind::kInformation, question,
                                 Prompter::Buttons::kYesNo);
  if (answer != Prompter::kResultYes) return;
  if (form_.StringGrid1->isVisible()) {
    DeleteRange(*form_.StringGrid1);
  } else if (form_.StringGrid2->isVisible()) {
    DeleteRange(*form_.StringGrid2);
  }
}

void RangePanel::plLoeschenMouseDown(QPoint at) {
  PanelDragging = true;
  form_.grabMouse();
  DragOffsetX = at.x();
  DragOffsetY = at.y();
}

void RangePanel::FormMouseMove(QPoint at) {
  if (PanelDragging) MovePanel(at.x(), at.y());
}

void RangePanel::FormMouseUp(QPoint at) {
  if (!PanelDragging) return;
  MovePanel(at.x(), at.y());
  PanelDragging = false;
  form_.releaseMouse();
  // Some of the panel stays within reach, whatever the drop.
  const QRect outer = form_.frameGeometry();
  int left = plLoeschen->x();
  int top = plLoeschen->y();
  if (left + plLoeschen->width() - 10 < 0) left = 10 - plLoeschen->width();
  if (top + plLoeschen->height() - 10 < 0) top = 10 - plLoeschen->height();
  if (left > outer.width() - 38) left = outer.width() - 38;
  if (top > outer.height() - 60) top = outer.height() - 60;
  plLoeschen->move(left, top);
}

QRgb RangePanel::RunColour(int col, int row) const {
  if (plLoeschen->isHidden()) return 0;
  const bool inside =
      rbSpalte->isChecked() ? ColFrom <= col && col <= ColTo : RowFrom <= row && row <= RowTo;
  if (!inside) return 0;
  return rbAlles->isChecked() ? kRemoveColour : kClearColour;
}

}  // namespace ui
