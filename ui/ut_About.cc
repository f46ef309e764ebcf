#include "ui/ut_About.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "core/Separator.h"

TfrAbout::TfrAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frAbout"));
  setWindowTitle(QStringLiteral(" About"));
  resize(541, 323);  // outer 557 x 361
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0, 0, 128));
  setPalette(pal);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(11);
  f.setBold(true);
  setFont(f);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(19, 18, 499, 243);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setAutoFillBackground(true);
  QPalette panel_pal = Panel1->palette();
  panel_pal.setColor(QPalette::Window, QColor(240, 240, 240));
  panel_pal.setColor(QPalette::WindowText, Qt::black);
  Panel1->setPalette(panel_pal);

  Label4 = new QLabel(QStringLiteral("Trennzeichen:"), Panel1);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setGeometry(15, 183, 82, 13);

  cbTrennzeichen = new QComboBox(Panel1);
  cbTrennzeichen->setObjectName(QStringLiteral("cbTrennzeichen"));
  cbTrennzeichen->setGeometry(99, 180, 110, 21);
  // An edit part that cannot be typed into: the choice changes only by picking
  // an entry, but it can show a text from the settings file that is none.
  cbTrennzeichen->setEditable(true);
  cbTrennzeichen->setInsertPolicy(QComboBox::NoInsert);
  cbTrennzeichen->lineEdit()->setReadOnly(true);
  for (const char* item : core::kSeparatorChoices)
    cbTrennzeichen->addItem(QString::fromLatin1(item));
  connect(cbTrennzeichen, &QComboBox::activated, this, [this] { cbTrennzeichenChange(); });

  edTrennzeichen = new QLineEdit(Panel1);
  edTrennzeichen->setObjectName(QStringLiteral("edTrennzeichen"));
  edTrennzeichen->setGeometry(214, 180, 25, 21);

  cbTrZAutom = new QCheckBox(QStringLiteral("Automatisch"), Panel1);
  cbTrZAutom->setObjectName(QStringLiteral("cbTrZAutom"));
  cbTrZAutom->setGeometry(250, 182, 97, 17);
  cbTrZAutom->setChecked(true);

  FormCreate();
}

void TfrAbout::FormCreate() {
  edTrennzeichen->setText(QStringLiteral(" "));
  SetSeparatorChoice(QStringLiteral("Semikolon"));
  // The check box takes the edit field's place; the two are never shown together.
  cbTrZAutom->move(edTrennzeichen->x(), cbTrZAutom->y());
}

QString TfrAbout::SeparatorChoice() const { return cbTrennzeichen->currentText(); }

void TfrAbout::SetSeparatorChoice(const QString& text) {
  const int index = cbTrennzeichen->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index >= 0) cbTrennzeichen->setCurrentIndex(index);
  cbTrennzeichen->setEditText(text);
}

void TfrAbout::cbTrennzeichenChange() {
  const bool other = cbTrennzeichen->currentText() == QLatin1String("Anderes");
  edTrennzeichen->setVisible(other);
  cbTrZAutom->setVisible(edTrennzeichen->isHidden());
}
