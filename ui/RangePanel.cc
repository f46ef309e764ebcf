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
#include <optional>
#include <utility>

#include "ui/Builders.h"
#include "ui/Codec.h"
#include "ui/ProgressReport.h"
#include "ui/StringGrid.h"
#include "ui/TableEdits.h"
#include "ui/TableViews.h"
#include "ui/platform/Prompter.h"

namespace ui {
namespace {

constexpr QRgb kRemoveColour = 0xFFFFB5B0;  // light red, 255 181 176
constexpr QRgb kClearColour = 0xFFFFCF9F;   // light orange, 255 207 159

// The fields' texts go to the rules as UTF-8 and come back the same way.
std::string Text(const QLineEdit* field) { return field->text().toStdString(); }

}  // namespace

RangePanel::RangePanel(QWidget* window, TableViews& views, TableEdits& edits,
                       QToolButton* sbLoeschen, QProgressBar* bar, Prompter& prompter)
    : QObject(window),
      window_(window),
      views_(views),
      edits_(edits),
      bar_(bar),
      prompter_(prompter) {
  setObjectName(QStringLiteral("RangePanel"));
  plLoeschen = Panel(window, "plLoeschen", true);
  plLoeschen->setGeometry(472, 128, 152, 133);
  plLoeschen->setCursor(Qt::SizeAllCursor);
  plLoeschen->setFont(SansSerif8(true));
  plLoeschen->setAutoFillBackground(true);
  plLoeschen->setMouseTracking(true);
  BuildChoices();
  BuildFields();
  sbOK = SpeedButton(plLoeschen, "sbOK", QStringLiteral("OK"), QString(),
                     QStyle::SP_DialogApplyButton, {4, 105, 70, 24});
  sbOK->setCursor(Qt::ArrowCursor);
  sbLoesch_Exit = SpeedButton(plLoeschen, "sbLoesch_Exit", QStringLiteral("Exit"),
                              QStringLiteral("Fenster schließen"), QStyle::SP_DialogCloseButton,
                              {78, 105, 70, 24});
  sbLoesch_Exit->setCursor(Qt::ArrowCursor);
  plLoeschen->hide();
  plLoeschen->raise();
  ConnectGuarded(sbLoeschen, &QToolButton::clicked, window, prompter,
                 [this] { sbLoeschenClick(); });
  Connect(prompter);
}

void RangePanel::BuildChoices() {
  rbSpalte = Radio(plLoeschen, "rbSpalte", QStringLiteral("Spalte"), {10, 7, 56, 17}, true);
  rbZeile = Radio(plLoeschen, "rbZeile", QStringLiteral("Zeile"), {10, 24, 50, 17}, false);
  Panel1 = Panel(plLoeschen, "Panel1", false);
  Panel1->setGeometry(91, 10, 50, 28);
  rbAlles = Radio(Panel1, "rbAlles", QStringLiteral("Alles"), {-1, -2, 48, 17}, true);
  rbInhalt = Radio(Panel1, "rbInhalt", QStringLiteral("Inhalt"), {-1, 13, 52, 17}, false);
  ExclusivePair(rbSpalte, rbZeile);
  ExclusivePair(rbAlles, rbInhalt);
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
  ExclusivePair(rbAb, rbBis);
  // Too narrow for a caption: what they are is told to screen readers.
  rbAb->setAccessibleName(QStringLiteral("Klick setzt ab"));
  rbAb->setAccessibleDescription(QStringLiteral("Ein Klick in die Tabelle setzt das Feld ab"));
  rbBis->setAccessibleName(QStringLiteral("Klick setzt bis"));
  rbBis->setAccessibleDescription(QStringLiteral("Ein Klick in die Tabelle setzt das Feld bis"));
  edAb->setAccessibleName(QStringLiteral("ab"));
  edBis->setAccessibleName(QStringLiteral("bis"));
  // The four-way arrow belongs to the free area only; the fields keep their
  // text cursor.
  for (QWidget* w : std::initializer_list<QWidget*>{rbSpalte, rbZeile, Panel1, rbAlles, rbInhalt,
                                                    Panel2, rbAb, rbBis}) {
    w->setCursor(Qt::ArrowCursor);
  }
}

void RangePanel::Connect(Prompter& prompter) {
  QWidget* w = window_;
  ConnectGuarded(sbLoesch_Exit, &QToolButton::clicked, w, prompter, [this] { Hide(); });
  ConnectGuarded(sbOK, &QToolButton::clicked, w, prompter, [this] { sbOKClick(); });
  new MouseButtonFilter(sbOK, {}, [this] { sbOKMouseMove(); });
  // Any of the four choices becoming selected shows the run anew.
  for (QRadioButton* b : {rbSpalte, rbZeile, rbAlles, rbInhalt}) {
    ConnectGuarded(b, &QRadioButton::toggled, w, prompter, [this, b] {
      if (b->isChecked()) RefreshRange();
    });
  }
  // A field taking the focus points grid clicks at itself.
  for (auto [field, mark] : {std::pair{edAb, rbAb}, std::pair{edBis, rbBis}}) {
    new EventHook(field, [this, field = field, mark = mark](QEvent* e) {
      if (e->type() == QEvent::FocusIn) mark->setChecked(true);
      return e->type() == QEvent::KeyPress && FieldKeyPress(field, static_cast<QKeyEvent*>(e));
    });
  }
  // The free area of the panel: moves and presses that no control took.
  new EventHook(plLoeschen, [this](QEvent* e) {
    if (e->type() == QEvent::MouseMove) RefreshRange();
    if (e->type() == QEvent::MouseButtonPress) {
      plLoeschenMouseDown(static_cast<QMouseEvent*>(e)->position().toPoint());
      return true;
    }
    return false;
  });
  // During a drag the window holds the mouse and gets every move and press,
  // and the release.
  new EventHook(window_, [this](QEvent* e) {
    if (!PanelDragging) return false;
    const auto type = e->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonRelease) {
      return false;
    }
    const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
    if (type == QEvent::MouseButtonRelease) {
      PanelMouseUp(at);
    } else {
      MovePanel(at);
    }
    return false;
  });
  connect(&views_, &TableViews::cellChosen, this, &RangePanel::CellChosen);
  connect(&views_, &TableViews::mouseMoved, this, &RangePanel::GridMouseMove);
}

void RangePanel::Hide() { plLoeschen->hide(); }

QList<QWidget*> RangePanel::TabOrder() const {
  return {rbSpalte, rbZeile, edAb, edBis, rbAlles, rbInhalt, rbAb, rbBis};
}

int RangePanel::Count(const StringGrid& grid) const {
  return Axis() == core::RangeAxis::kColumns ? grid.ColCount() : grid.RowCount();
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

void RangePanel::CellChosen(StringGrid* grid) {
  const int value = rbSpalte->isChecked() ? grid->Col() : grid->Row();
  if (rbAb->isChecked()) edAb->setText(QString::number(value));
  if (rbBis->isChecked()) edBis->setText(QString::number(value));
}

void RangePanel::ReadRange(const StringGrid& grid) {
  core::RangeFields fields = Fields();
  SetBounds(core::ReadRange(fields, Axis(), Count(grid)));
  PutFields(fields);
}

void RangePanel::RefreshRange() {
  StringGrid& grid = views_.Shown();
  ReadRange(grid);
  grid.viewport()->repaint();
}

void RangePanel::DeleteRange(StringGrid& grid) {
  core::RangeFields fields = Fields();
  core::RangeBounds bounds{ColFrom, ColTo, RowFrom, RowTo};
  const std::optional<core::RangeRun> run =
      core::PlanRange(fields, Axis(), Mode(), Count(grid), bounds);
  SetBounds(bounds);
  PutFields(fields);
  if (!run) return;
  ProgressReport progress(bar_, window_);
  const core::Result result = edits_.Apply(grid, run->Change(), [&](core::Table& table) {
    return core::ApplyRange(table, *run, &progress);
  });
  if (!result.ok()) ShowWarning(prompter_, FromBytes(result.message()));
}

void RangePanel::MovePanel(QPoint at) {
  plLoeschen->move(at.x() - DragOffsetX, at.y() - DragOffsetY);
}

void RangePanel::sbLoeschenClick() {
  plLoeschen->setVisible(plLoeschen->isHidden());
  if (plLoeschen->isHidden()) return;
  plLoeschen->raise();
  edAb->setFocus(Qt::TabFocusReason);
  rbAb->setChecked(true);  // as the focus does, also while the window is inactive
  RefreshRange();
}

bool RangePanel::FieldKeyPress(QLineEdit* field, QKeyEvent* key) {
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    // As Tab would: the text comes selected, so a new number replaces it.
    (field == edAb ? edBis : edAb)->setFocus(Qt::TabFocusReason);
    return true;  // the filter turns Enter into no key
  }
  return RejectedByDigitFilter(*key);
}

void RangePanel::GridMouseMove(StringGrid* grid) {
  ReadRange(*grid);
  grid->viewport()->repaint();
}

void RangePanel::sbOKMouseMove() {
  core::RangeFields fields = Fields();
  const std::string hint = core::OkHint(fields, Axis(), Mode(), Count(views_.Shown()));
  PutFields(fields);
  SetHint(sbOK, QString::fromStdString(hint));
}

void RangePanel::sbOKClick() {
  emit okClicked();
  core::RangeFields fields = Fields();
  const bool filled = core::CheckFields(fields);
  PutFields(fields);
  if (!filled) return;
  const QString question =
      QString::fromStdString(core::DeleteConfirmText(Fields(), Axis(), Mode()));
  const int answer = ShowMessage(prompter_, window_, Prompter::Kind::kInformation, question,
                                 Prompter::Buttons::kYesNo);
  if (answer != Prompter::kResultYes) return;
  if (views_.TableShown()) DeleteRange(views_.Shown());
}

void RangePanel::plLoeschenMouseDown(QPoint at) {
  PanelDragging = true;
  window_->grabMouse();
  DragOffsetX = at.x();
  DragOffsetY = at.y();
}

void RangePanel::PanelMouseUp(QPoint at) {
  if (!PanelDragging) return;
  MovePanel(at);
  PanelDragging = false;
  window_->releaseMouse();
  // Some of the panel stays within reach, whatever the drop.
  const QRect outer = window_->frameGeometry();
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
