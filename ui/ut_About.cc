#include "ui/ut_About.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <utility>

#include "core/ProductInfo.h"
#include "core/Separator.h"
#include "ui/Builders.h"
#include "ui/ProgramArt.h"
#include "ui/platform/Shell.h"
#include "ui/ut_EX.h"

namespace {

constexpr int kShellBuffer = 80;  // characters, the terminator included

QLabel* ColouredLabel(QWidget* parent, const char* name, const QString& text, QRect geometry,
                      const QColor& colour) {
  QLabel* l = ui::Label(parent, name, text, geometry);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, colour);
  l->setPalette(pal);
  return l;
}

// An address label: blue, underlined, a hand over it; sized to its text so
// a longer address set by a distributor is never cut.
QLabel* LinkLabel(QWidget* parent, const char* name, const QString& text, QPoint at, int pixels,
                  const QString& hint) {
  QLabel* l = ColouredLabel(parent, name, text, QRect(at, QSize(10, 10)), Qt::blue);
  QFont f = ui::SansSerif8(true);
  f.setPixelSize(pixels);
  f.setUnderline(true);
  l->setFont(f);
  l->setCursor(Qt::PointingHandCursor);
  l->adjustSize();
  ui::SetHint(l, hint);
  return l;
}

}  // namespace

TfrAbout::TfrAbout(ui::Shell& shell, QWidget* parent) : QDialog(parent), shell_(shell) {
  setObjectName(QStringLiteral("frAbout"));
  setWindowTitle(QStringLiteral(" About"));
  setWindowIcon(ui::ProgramIcon());
  setFixedSize(541, 323);  // outer 557 x 361 with the frame
  // Closing this window never ends the program: the main window is hidden
  // meanwhile and comes back afterwards.
  setAttribute(Qt::WA_QuitOnClose, false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0, 0, 128));
  setPalette(pal);
  setFont(ui::SansSerif8(true));

  Panel1 = ui::Panel(this, "Panel1", true);
  Panel1->setGeometry(19, 18, 499, 243);
  Panel1->setAutoFillBackground(true);
  QPalette panel_pal = Panel1->palette();
  panel_pal.setColor(QPalette::Window, QColor(240, 240, 240));
  panel_pal.setColor(QPalette::WindowText, Qt::black);
  Panel1->setPalette(panel_pal);

  BuildInfo();
  BuildSettings();
  BuildButtons();
  ConnectControls();
  FormCreate();
}

void TfrAbout::Attach(TfrEX* ex, const QString& program_dir) {
  ex_ = ex;
  program_dir_ = program_dir;
}

void TfrAbout::Edit(const core::SettingsValues& settings) {
  values_ = settings;
  SetSeparatorChoice(QString::fromLatin1(values_.separator.choice));
  edTrennzeichen->setText(QString::fromLatin1(values_.separator.other));
  cbTrZAutom->setChecked(values_.separator.auto_detect);
  cbAnfuehrung->setChecked(values_.separator.quoted_fields);
  cbKeineWerb->setChecked(values_.hide_banner);
  cbRC_Verschieben->setChecked(values_.allow_row_col_move);
  exec();
}

void TfrAbout::BuildInfo() {
  ProgramIcon = ui::Label(Panel1, "ProgramIcon", {}, {15, 15, 150, 110});
  ProgramIcon->setPixmap(ui::ProgramPicture(QSize(150, 110)));
  ProgramIcon->setScaledContents(true);
  ProductName = ColouredLabel(Panel1, "ProductName", QString::fromLatin1(core::kProductName),
                              {178, 18, 185, 25}, Qt::black);
  ProductName->setFont(
      ui::MakeFont({QStringLiteral("Georgia"), QStringLiteral("DejaVu Serif")}, 21, true));
  Label1 =
      ColouredLabel(Panel1, "Label1", QStringLiteral("für Windows"), {380, 28, 71, 13}, Qt::black);
  Label2 = ui::Label(Panel1, "Label2", QStringLiteral("Programm-Update:"), {178, 57, 132, 16});
  QFont f13 = ui::SansSerif8(true);
  f13.setPixelSize(13);
  Label2->setFont(f13);
  Label3 = LinkLabel(Panel1, "Label3", QString::fromLatin1(core::kMakerWebHost), {322, 50}, 19,
                     QStringLiteral("Programm Updates"));
  lbVersion =
      ColouredLabel(Panel1, "lbVersion", QStringLiteral("Version"), {178, 107, 116, 17}, Qt::black);
  lbVersion->setWordWrap(true);
  lbLizenz = ui::Label(Panel1, "lbLizenz", QStringLiteral("lbLizenz"), {15, 136, 47, 13});
  lbMail2 = LinkLabel(Panel1, "lbMail2", QString::fromLatin1(core::kAuthorMail), {16, 207}, 13,
                      QStringLiteral("E-Mail Senden"));
}

void TfrAbout::BuildSettings() {
  cbKeineWerb = ui::Checkable<QCheckBox>(Panel1, "cbKeineWerb", QStringLiteral("Keine Werbung"),
                                         {95, 133, 120, 17}, false);
  cbRC_Verschieben = ui::Checkable<QCheckBox>(Panel1, "cbRC_Verschieben",
                                              QStringLiteral("Spalten und Zeilen verschieben"),
                                              {15, 157, 210, 17}, true);
  Label4 = ui::Label(Panel1, "Label4", QStringLiteral("Trennzeichen:"), {15, 183, 82, 13});

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

  edTrennzeichen = ui::Edit(Panel1, "edTrennzeichen", {}, {214, 180, 25, 21});
  // The separator is one character; a paste cannot put in more.
  edTrennzeichen->setMaxLength(1);
  cbTrZAutom = ui::Checkable<QCheckBox>(Panel1, "cbTrZAutom", QStringLiteral("Automatisch"),
                                        {250, 182, 97, 17}, true);
  cbAnfuehrung = ui::Checkable<QCheckBox>(Panel1, "cbAnfuehrung",
                                          QStringLiteral("Felder in Anführungszeichen"),
                                          {214, 207, 230, 17}, false);
  ui::SetHint(cbAnfuehrung,
              QStringLiteral("Trennzeichen und Zeilenumbrüche in \"…\" gehören zum Feld"));
}

void TfrAbout::BuildButtons() {
  sbDesktop = ui::SpeedButton(this, "sbDesktop", QStringLiteral("Desktop"),
                              QStringLiteral("Verknüpfung ist auf dem Desktop"),
                              QStyle::SP_DesktopIcon, {171, 280, 90, 25});
  sbDesktop->setIcon(ui::DesktopGlyph());
  sbDesktop->setAutoRaise(false);
  OKButton = new QPushButton(ui::CheckGlyph(), QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(287, 280, 90, 25);
  OKButton->setDefault(true);
  OKButton->setStyleSheet(QStringLiteral("QPushButton { color: black; padding-left: 10px; }"));
  ui::SetHint(OKButton, QStringLiteral("Fenster schließen"));

  QWidget* order[] = {cbKeineWerb, cbRC_Verschieben, cbTrennzeichen, edTrennzeichen,
                      cbTrZAutom,  cbAnfuehrung,     OKButton};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TfrAbout::ConnectControls() {
  connect(cbTrennzeichen, &QComboBox::activated, this, [this] { cbTrennzeichenChange(); });
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(sbDesktop, &QToolButton::clicked, this, [this] { sbDesktopClick(); });
  auto keys = [](QObject* target, bool (TfrAbout::*handler)(QKeyEvent*), TfrAbout* self) {
    new ui::EventHook(target, [self, handler](QEvent* e) {
      return e->type() == QEvent::KeyPress && (self->*handler)(static_cast<QKeyEvent*>(e));
    });
  };
  keys(edTrennzeichen, &TfrAbout::edTrennzeichenKeyDown, this);
  keys(cbTrennzeichen, &TfrAbout::cbTrennzeichenKeyDown, this);
  keys(cbTrennzeichen->lineEdit(), &TfrAbout::cbTrennzeichenKeyDown, this);
  keys(OKButton, &TfrAbout::OKButtonKeyDown, this);
  auto clicks = [this](QLabel* label, void (TfrAbout::*handler)()) {
    new ui::EventHook(label, [this, handler](QEvent* e) {
      if (e->type() != QEvent::MouseButtonRelease) return false;
      const auto* m = static_cast<QMouseEvent*>(e);
      if (m->button() == Qt::LeftButton && rect().contains(m->position().toPoint())) {
        (this->*handler)();
      }
      return true;
    });
  };
  // Return presses the default button wherever the focus is, also under a
  // platform theme whose buttons take Return themselves (GNOME's): there it
  // would toggle the check box the user just clicked and keep the window open.
  for (QCheckBox* box : {cbKeineWerb, cbRC_Verschieben, cbTrZAutom, cbAnfuehrung}) {
    new ui::EventHook(box, [this](QEvent* e) {
      if (e->type() != QEvent::KeyPress) return false;
      const int k = static_cast<QKeyEvent*>(e)->key();
      if (k != Qt::Key_Return && k != Qt::Key_Enter) return false;
      OKButton->click();
      return true;
    });
  }
  clicks(lbMail2, &TfrAbout::lbMail2Click);
  clicks(Label3, &TfrAbout::Label3Click);
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

char TfrAbout::OtherSeparator() const {
  const QString text = edTrennzeichen->text();
  return text.isEmpty() ? ' ' : text.at(0).toLatin1();
}

void TfrAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Once per showing; a message box of this window coming and going shows
  // nothing anew.
  if (!event->spontaneous()) FormActivate();
}

void TfrAbout::FormActivate() {
  SavedSeparatorChoice = cbTrennzeichen->currentText();
  SavedOtherSeparator = OtherSeparator();
  SavedAutoDetect = cbTrZAutom->isChecked();
  SavedQuotedFields = cbAnfuehrung->isChecked();
  cbTrennzeichenChange();
  lbVersion->setText(QStringLiteral("Version ") + QString::fromLatin1(core::kProductVersion));
  if (ex_) ex_->ShowFreeware(lbLizenz);
  OKButton->setFocus();
}

void TfrAbout::cbTrennzeichenChange() {
  const bool other = cbTrennzeichen->currentText() == QLatin1String("Anderes");
  edTrennzeichen->setVisible(other);
  cbTrZAutom->setVisible(edTrennzeichen->isHidden());
}

namespace {

// Tab and Enter belong to the window (focus, default button), never to a
// control's own key handling.
bool IsWindowKey(const QKeyEvent* key) {
  const int k = key->key();
  return k == Qt::Key_Tab || k == Qt::Key_Backtab || k == Qt::Key_Return || k == Qt::Key_Enter;
}

}  // namespace

bool TfrAbout::edTrennzeichenKeyDown(QKeyEvent* key) {
  if (IsWindowKey(key)) return false;
  // Emptied at every key, so the field holds the character typed last.
  edTrennzeichen->clear();
  if (key->key() == Qt::Key_Escape) {
    RevertAndClose();
    return true;
  }
  // The separator is a byte of the file: a character outside Latin-1 would
  // silently become '?', so it types nothing.
  for (const QChar c : key->text()) {
    if (c.unicode() > 0xFF) return true;
  }
  return false;
}

bool TfrAbout::cbTrennzeichenKeyDown(QKeyEvent* key) {
  if (IsWindowKey(key)) return false;
  switch (key->key()) {
    case Qt::Key_Escape:
      RevertAndClose();
      return true;
    case Qt::Key_Delete:
      return true;
    default:
      // Nothing can be typed; the arrows still pick the next entry.
      return !key->text().isEmpty() && key->text().at(0).isPrint();
  }
}

bool TfrAbout::OKButtonKeyDown(QKeyEvent* key) {
  if (key->key() != Qt::Key_Escape && key->key() != Qt::Key_F1) return false;
  RevertAndClose();
  return true;
}

void TfrAbout::keyPressEvent(QKeyEvent* event) {
  // The window has no cancel button: Escape elsewhere closes nothing.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrAbout::RevertAndClose() {
  SetSeparatorChoice(SavedSeparatorChoice);
  edTrennzeichen->setText(QString(QLatin1Char(SavedOtherSeparator)));
  reject();
}

void TfrAbout::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TfrAbout::FormClose() {
  values_.hide_banner = cbKeineWerb->isChecked();
  values_.allow_row_col_move = cbRC_Verschieben->isChecked();
  values_.separator.choice = SeparatorChoice().toLatin1().toStdString();
  values_.separator.other = edTrennzeichen->text().toLatin1().toStdString();
  values_.separator.auto_detect = cbTrZAutom->isChecked();
  values_.separator.quoted_fields = cbAnfuehrung->isChecked();
  Tag = 0;
  const QString choice = cbTrennzeichen->currentText();
  if (choice != SavedSeparatorChoice) Tag = 1;
  if (choice == QLatin1String("Anderes") && OtherSeparator() != SavedOtherSeparator) Tag = 1;
  if (cbTrZAutom->isChecked() != SavedAutoDetect) Tag = 1;
  // Quoted fields split the file differently too.
  if (cbAnfuehrung->isChecked() != SavedQuotedFields) Tag = 1;
  emit edited(values_);
}

void TfrAbout::sbDesktopClick() {
  if (ex_) ex_->CreateDesktopShortcut(program_dir_);
}

bool TfrAbout::ShellOpen(const QString& file, const QString& parameters, const QString& verb) {
  if (file.size() >= kShellBuffer || parameters.size() >= kShellBuffer) return false;
  return shell_.Open(this, verb, file, parameters);
}

void TfrAbout::lbMail2Click() { ShellOpen(QStringLiteral("MailTo:") + lbMail2->text(), {}); }

void TfrAbout::Label3Click() {
  const QString open = QStringLiteral("open");
  for (const auto& [file, parameters] :
       ui::WebSiteOpenings(QString::fromLatin1(core::kMakerWebHost))) {
    if (ShellOpen(file, parameters, open)) return;
  }
}
