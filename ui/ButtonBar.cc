#include "ui/ButtonBar.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <initializer_list>

#include "ui/Builders.h"

namespace ui {

ButtonBar::ButtonBar(QWidget* window) {
  plMenu_ = Panel(window, "plMenu", true);
  plMenu_->setFixedHeight(32);
  plMenu_->setFont(BoldArial9());
  BuildFields();
  BuildButtons();
}

void ButtonBar::BuildFields() {
  const QFont counter_font =
      MakeFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, 11, true);
  lbX_ = Label(plMenu_, "lbX", QString(), {5, 2, 21, 14});
  lbX_->setFont(counter_font);
  lbY_ = Label(plMenu_, "lbY", QString(), {5, 15, 21, 14});
  lbY_->setFont(counter_font);

  edBreite_ = Edit(plMenu_, "edBreite", QStringLiteral("80"), {165, 4, 30, 23});
  SetHint(edBreite_, QStringLiteral("Spalten-Breite"));
  edSuchen_ = Edit(plMenu_, "edSuchen", QString(), {200, 4, 99, 23});
  SetHint(edSuchen_, QStringLiteral("Suchen nach"));
}

void ButtonBar::BuildButtons() {
  sbSuchen_ = SpeedButton(plMenu_, "sbSuchen", QStringLiteral("Suchen"),
                          QStringLiteral("Suchen\r\nMit Rechte-Taste Abwärts / Aufwärts"),
                          QStyle::SP_FileDialogContentsView, {301, 4, 70, 24});
  sbLaden_TXT_ = SpeedButton(plMenu_, "sbLaden_TXT", QStringLiteral("Laden"),
                             QStringLiteral("Öffnen TXT-Datei"), QStyle::SP_DialogOpenButton,
                             {373, 4, 70, 24});
  ToolBar1_ = Panel(plMenu_, "ToolBar1", false);
  ToolBar1_->setGeometry(446, 2, 72, 28);
  tbRow_Col_ = new MarkButton(ToolBar1_);
  tbRow_Col_->setObjectName(QStringLiteral("tbRow_Col"));
  tbRow_Col_->setGeometry(0, 2, 70, 24);
  tbRow_Col_->setCheckable(true);
  tbRow_Col_->setAutoRaise(true);
  tbRow_Col_->setFocusPolicy(Qt::NoFocus);
  tbRow_Col_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tbRow_Col_->setIcon(plMenu_->style()->standardIcon(QStyle::SP_BrowserReload));
  SetHint(tbRow_Col_, QStringLiteral("Spalten und Zeilen vertauschen"));
  sbLoeschen_ = SpeedButton(plMenu_, "sbLoeschen", QStringLiteral("Löschen"),
                            QStringLiteral("Löschen-Fenster ein / aus"), QStyle::SP_TrashIcon,
                            {518, 4, 80, 24});
  sbExcel_ = SpeedButton(plMenu_, "sbExcel", QStringLiteral("Excel"),
                         QStringLiteral("Excel starten"), QStyle::SP_FileIcon, {600, 4, 70, 24});
  sbSpeichern_ = SpeedButton(plMenu_, "sbSpeichern", QStringLiteral("Speichern"),
                             QStringLiteral("Speichern in TXT-Excel Datei"),
                             QStyle::SP_DialogSaveButton, {672, 4, 85, 24});
  sbAbout_ = SpeedButton(plMenu_, "sbAbout", QStringLiteral("Info"),
                         QStringLiteral("Version und Einstellung"),
                         QStyle::SP_MessageBoxInformation, {759, 4, 70, 24});
  sbExit_ =
      SpeedButton(plMenu_, "sbExit", QStringLiteral("Exit"), QStringLiteral("Programm beenden"),
                  QStyle::SP_DialogCloseButton, {831, 4, 70, 24});
  for (QWidget* w : std::initializer_list<QWidget*>{sbSuchen_, sbLaden_TXT_, ToolBar1_, sbLoeschen_,
                                                    sbExcel_, sbSpeichern_, sbAbout_, sbExit_}) {
    placed_.push_back({w, w->x(), w == ToolBar1_ ? 70 : w->width()});
  }
  // Without a caption the button says what it does to a screen reader.
  tbRow_Col_->setAccessibleName(QStringLiteral("Spalten und Zeilen vertauschen"));
  edBreite_->setAccessibleName(QStringLiteral("Spaltenbreite"));
  edSuchen_->setAccessibleName(QStringLiteral("Suchtext"));
}

namespace {

// The first button's place and the compact buttons' width and gap.
constexpr int kFirstButton = 301;
constexpr int kIconButton = 28;
constexpr int kIconGap = 2;
constexpr int kRightMargin = 6;
constexpr int kButtons = 8;

}  // namespace

int ButtonBar::FullWidth() { return 831 + 70 + kRightMargin; }

int ButtonBar::MinimumWidth() {
  return kFirstButton + kButtons * (kIconButton + kIconGap) + kRightMargin;
}

void ButtonBar::Arrange(int width) {
  const bool compact = width < FullWidth();
  if (compact == compact_) return;
  compact_ = compact;
  int x = kFirstButton;
  for (const Placed& p : placed_) {
    const int w = compact ? kIconButton : p.width;
    const int left = compact ? x : p.x;
    x += kIconButton + kIconGap;
    if (p.control == ToolBar1_) {
      ToolBar1_->setGeometry(left, 2, w + 2, 28);
      tbRow_Col_->resize(w, 24);
      continue;
    }
    auto* button = static_cast<QToolButton*>(p.control);
    button->setToolButtonStyle(compact ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    button->setGeometry(left, 4, w, 24);
  }
}

void ButtonBar::SetCounters(int cols, int rows) {
  lbX_->setText(QStringLiteral("Anzahl Spalten:") + QString::number(cols - 1));
  lbY_->setText(QStringLiteral("Anzahl Zeilen: ") + QString::number(rows - 1));
  lbX_->adjustSize();
  lbY_->adjustSize();
}

void ButtonBar::ClearCounters() {
  lbX_->clear();
  lbY_->clear();
}

void ButtonBar::ShowTableControls(bool shown) {
  for (QWidget* w : std::initializer_list<QWidget*>{tbRow_Col_, sbSpeichern_, edBreite_, edSuchen_,
                                                    sbSuchen_, sbLoeschen_}) {
    w->setVisible(shown);
  }
}

}  // namespace ui
