#include "ui/RangePanel.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

#include "ui/Builders.h"

namespace ui {

RangePanel::RangePanel(QWidget* window) {
  plLoeschen = Panel(window, "plLoeschen", true);
  plLoeschen->setGeometry(472, 128, 152, 133);
  plLoeschen->setCursor(Qt::SizeAllCursor);
  plLoeschen->setFont(SansSerif8(true));
  plLoeschen->setAutoFillBackground(true);
  rbSpalte = Radio(plLoeschen, "rbSpalte", QStringLiteral("Spalte"), {10, 7, 56, 17}, true);
  rbZeile = Radio(plLoeschen, "rbZeile", QStringLiteral("Zeile"), {10, 24, 50, 17}, false);
  Panel1 = Panel(plLoeschen, "Panel1", false);
  Panel1->setGeometry(91, 10, 50, 28);
  rbAlles = Radio(Panel1, "rbAlles", QStringLiteral("Alles"), {-1, -2, 48, 17}, true);
  rbInhalt = Radio(Panel1, "rbInhalt", QStringLiteral("Inhalt"), {-1, 13, 52, 17}, false);
  BuildFields();
  sbOK = SpeedButton(plLoeschen, "sbOK", QStringLiteral("OK"), QString(),
                     QStyle::SP_DialogApplyButton, {4, 105, 70, 24});
  sbOK->setCursor(Qt::ArrowCursor);
  sbLoesch_Exit = SpeedButton(plLoeschen, "sbLoesch_Exit", QStringLiteral("Exit"),
                              QStringLiteral("Fenster schließen"), QStyle::SP_DialogCloseButton,
                              {78, 105, 70, 24});
  sbLoesch_Exit->setCursor(Qt::ArrowCursor);
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
}

void RangePanel::CellChosen(int col, int row) {
  const int value = rbSpalte->isChecked() ? col : row;
  if (rbAb->isChecked()) edAb->setText(QString::number(value));
  if (rbBis->isChecked()) edBis->setText(QString::number(value));
}

}  // namespace ui
