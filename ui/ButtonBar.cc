#include "ui/ButtonBar.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <initializer_list>

#include "ui/Builders.h"

namespace ui {

ButtonBar::ButtonBar(QWidget* window) {
  plMenu = Panel(window, "plMenu", true);
  plMenu->setFixedHeight(32);
  plMenu->setFont(BoldArial9());
  BuildFields();
  BuildButtons();
}

void ButtonBar::BuildFields() {
  const QFont counter_font =
      MakeFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, 11, true);
  lbX = Label(plMenu, "lbX", QString(), {5, 2, 21, 14});
  lbX->setFont(counter_font);
  lbY = Label(plMenu, "lbY", QString(), {5, 15, 21, 14});
  lbY->setFont(counter_font);

  edBreite = Edit(plMenu, "edBreite", QStringLiteral("80"), {165, 4, 30, 23});
  SetHint(edBreite, QStringLiteral("Spalten-Breite"));
  edSuchen = Edit(plMenu, "edSuchen", QString(), {200, 4, 99, 23});
  SetHint(edSuchen, QStringLiteral("Suchen nach"));
}

void ButtonBar::BuildButtons() {
  sbSuchen = SpeedButton(plMenu, "sbSuchen", QStringLiteral("Suchen"),
                         QStringLiteral("Suchen\r\nMit Rechte-Taste Abwärts / Aufwärts"),
                         QStyle::SP_FileDialogContentsView, {301, 4, 70, 24});
  sbLaden_TXT = SpeedButton(plMenu, "sbLaden_TXT", QStringLiteral("Laden"),
                            QStringLiteral("Öffnen TXT-Datei"), QStyle::SP_DialogOpenButton,
                            {373, 4, 70, 24});
  ToolBar1 = Panel(plMenu, "ToolBar1", false);
  ToolBar1->setGeometry(446, 2, 72, 28);
  tbRow_Col = new MarkButton(ToolBar1);
  tbRow_Col->setObjectName(QStringLiteral("tbRow_Col"));
  tbRow_Col->setGeometry(0, 2, 70, 24);
  tbRow_Col->setCheckable(true);
  tbRow_Col->setAutoRaise(true);
  tbRow_Col->setFocusPolicy(Qt::NoFocus);
  tbRow_Col->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tbRow_Col->setIcon(plMenu->style()->standardIcon(QStyle::SP_BrowserReload));
  SetHint(tbRow_Col, QStringLiteral("Spalten und Zeilen vertauschen"));
  sbLoeschen = SpeedButton(plMenu, "sbLoeschen", QStringLiteral("Löschen"),
                           QStringLiteral("Löschen-Fenster ein / aus"), QStyle::SP_TrashIcon,
                           {518, 4, 80, 24});
  sbExcel = SpeedButton(plMenu, "sbExcel", QStringLiteral("Excel"), QStringLiteral("Excel starten"),
                        QStyle::SP_FileIcon, {600, 4, 70, 24});
  sbSpeichern = SpeedButton(plMenu, "sbSpeichern", QStringLiteral("Speichern"),
                            QStringLiteral("Speichern in TXT-Excel Datei"),
                            QStyle::SP_DialogSaveButton, {672, 4, 85, 24});
  sbAbout = SpeedButton(plMenu, "sbAbout", QStringLiteral("Info"),
                        QStringLiteral("Version und Einstellung"), QStyle::SP_MessageBoxInformation,
                        {759, 4, 70, 24});
  sbExit = SpeedButton(plMenu, "sbExit", QStringLiteral("Exit"), QStringLiteral("Programm beenden"),
                       QStyle::SP_DialogCloseButton, {831, 4, 70, 24});
}

void ButtonBar::SetCounters(int cols, int rows) {
  lbX->setText(QStringLiteral("Anzahl Spalten:") + QString::number(cols - 1));
  lbY->setText(QStringLiteral("Anzahl Zeilen: ") + QString::number(rows - 1));
  lbX->adjustSize();
  lbY->adjustSize();
}

void ButtonBar::ClearCounters() {
  lbX->clear();
  lbY->clear();
}

void ButtonBar::ShowTableControls(bool shown) {
  for (QWidget* w : std::initializer_list<QWidget*>{tbRow_Col, sbSpeichern, edBreite, edSuchen,
                                                    sbSuchen, sbLoeschen}) {
    w->setVisible(shown);
  }
}

}  // namespace ui
