#include "ui/ut_Marvesk.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>
#include <stdexcept>

#include "core/Convert.h"
#include "core/FileUtil.h"
#include "core/Separator.h"
#include "core/Settings.h"
#include "core/Transpose.h"
#include "core/Writer.h"
#include "ui/Globals.h"
#include "ui/StatusBar.h"
#include "ui/StringGrid.h"
#include "ui/platform/EscapeWatch.h"
#include "ui/platform/Shell.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"

namespace {

using ui::Prompter;

const QString kOpenFilter =
    QStringLiteral("Text-Datei (*.TXT)|*.txt|CSV-Dateien (*.CSV)|*.csv|Alle-Dateien (*.*)|*.*");
const QString kSaveFilter = QStringLiteral("TXT-Datei|*.txt|CSV-Datei|*.csv");

QFont MakeFont(const QStringList& families, int pixel_size, bool bold) {
  QFont f;
  f.setFamilies(families);
  f.setPixelSize(pixel_size);
  f.setBold(bold);
  return f;
}

QFont BoldArial9() {
  return MakeFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, 12, true);
}
QFont SansSerif8(bool bold) {
  return MakeFont(
      {QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans")},
      11, bold);
}

// A hint's line breaks are CR characters; tool tips break at LF.
void SetHint(QWidget* w, const QString& hint) {
  w->setProperty("hint", hint);
  w->setToolTip(QString(hint).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& hint, QStyle::StandardPixmap icon, QRect geometry) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setIcon(parent->style()->standardIcon(icon));
  b->setIconSize(QSize(16, 16));
  b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  b->setAutoRaise(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setGeometry(geometry);
  if (!hint.isEmpty()) SetHint(b, hint);
  return b;
}

QFrame* Panel(QWidget* parent, const char* name, bool bevel) {
  auto* p = new QFrame(parent);
  p->setObjectName(QString::fromLatin1(name));
  if (bevel) p->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return p;
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption, QRect g,
                    bool checked) {
  auto* r = new QRadioButton(caption, parent);
  r->setObjectName(QString::fromLatin1(name));
  r->setGeometry(g);
  r->setChecked(checked);
  return r;
}

// The transposition button: its mark is the view state, changed by the
// handler itself rather than by the click.
class MarkButton final : public QToolButton {
 public:
  using QToolButton::QToolButton;

 protected:
  void nextCheckState() override {}
};

template <typename F>
void Guarded(QWidget* w, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ui::ShowGeneralError(w, QString::fromUtf8(e.what()));
  }
}

std::string Bytes(const QString& s) { return QFile::encodeName(s).toStdString(); }
QString FromBytes(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

// Connects the core load to the window: status texts, progress bar, the
// Escape watch and the continue question.
class WindowLoadObserver final : public core::LoadObserver {
 public:
  WindowLoadObserver(TfrMarvesk& form, ui::EscapeWatch& watch) : form_(form), watch_(watch) {}

  char ConfiguredSeparator() override { return form_.SeparatorChar(); }

  void ReadingStarted() override {
    form_.StatusBar1->show();
    form_.ProgressBar1->show();
    form_.ProgressBar1->setMaximum(10000);
    form_.ProgressBar1->setValue(0);
    form_.StatusBar1->SetPanelText(
        0,
        QStringLiteral("Laden ") + FromBytes(core::NamePart(Bytes(form_.OpenDialog1.file_name))));
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
    const QString question = QStringLiteral("Laden ") +
                             FromBytes(core::NamePart(Bytes(form_.OpenDialog1.file_name))) +
                             QStringLiteral(" ist noch nicht beendet\rFortsetzen?");
    for (;;) {
      const int answer =
          ui::ShowMessage(&form_, Prompter::Kind::kWarning, question, Prompter::Buttons::kYesNo);
      if (answer != Prompter::kResultYes && answer != Prompter::kResultNo) continue;
      // An Escape still held, or pressed to close the box, is no answer.
      if (watch_.IsPressed()) continue;
      return answer == Prompter::kResultYes;
    }
  }

 private:
  TfrMarvesk& form_;
  ui::EscapeWatch& watch_;
};

}  // namespace

TfrMarvesk::TfrMarvesk(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frMarvesk"));
  setWindowTitle(QStringLiteral(" Marvesk"));
  setFont(SansSerif8(false));
  BuildControls();
  FormCreate();
}

TfrMarvesk::~TfrMarvesk() = default;

void TfrMarvesk::BuildControls() {
  resize(907, 550);  // outer 923 x 588 with the frame
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);

  StringGrid1 = new ui::StringGrid(this);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid2 = new ui::StringGrid(this);
  StringGrid2->setObjectName(QStringLiteral("StringGrid2"));
  StringGrid2->hide();
  for (ui::StringGrid* g : {StringGrid1, StringGrid2}) g->setFont(BoldArial9());
  connect(StringGrid1, &ui::StringGrid::cellClicked, this,
          [this] { Guarded(this, [this] { StringGrid1Click(); }); });
  connect(StringGrid2, &ui::StringGrid::cellClicked, this,
          [this] { Guarded(this, [this] { StringGrid2Click(); }); });

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFixedHeight(16);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();

  StatusBar1 = new ui::StatusBar(this, {500, 50});
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(19);

  plMenu = Panel(this, "plMenu", true);
  plMenu->setFixedHeight(32);
  plMenu->setFont(BoldArial9());

  plWerbung = Panel(this, "plWerbung", false);
  plWerbung->setFixedHeight(34);
  plWerbung->hide();
  auto* banner_layout = new QHBoxLayout(plWerbung);
  banner_layout->setContentsMargins(0, 0, 0, 0);
  banner_layout->setSpacing(0);
  plL = Panel(plWerbung, "plL", false);
  WebBrowser1 = new QWidget(plWerbung);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  plR = Panel(plWerbung, "plR", false);
  banner_layout->addWidget(plL);
  banner_layout->addWidget(WebBrowser1, 1);
  banner_layout->addWidget(plR);

  // Takes the space above the bars while no grid is shown, so the bars stay
  // at the bottom; a shown grid (stretch 1) takes it over.
  layout_->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
  layout_->addWidget(StringGrid1, 1);
  layout_->addWidget(StringGrid2, 1);
  layout_->addWidget(ProgressBar1);
  layout_->addWidget(StatusBar1);
  layout_->addWidget(plMenu);
  layout_->addWidget(plWerbung);

  // The button bar.
  const QFont counter_font =
      MakeFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, 11, true);
  lbX = new QLabel(plMenu);
  lbX->setObjectName(QStringLiteral("lbX"));
  lbX->setGeometry(5, 2, 21, 14);
  lbX->setFont(counter_font);
  lbY = new QLabel(plMenu);
  lbY->setObjectName(QStringLiteral("lbY"));
  lbY->setGeometry(5, 15, 21, 14);
  lbY->setFont(counter_font);

  edBreite = new QLineEdit(QStringLiteral("80"), plMenu);
  edBreite->setObjectName(QStringLiteral("edBreite"));
  edBreite->setGeometry(165, 4, 30, 23);
  SetHint(edBreite, QStringLiteral("Spalten-Breite"));
  edSuchen = new QLineEdit(plMenu);
  edSuchen->setObjectName(QStringLiteral("edSuchen"));
  edSuchen->setGeometry(200, 4, 99, 23);
  SetHint(edSuchen, QStringLiteral("Suchen nach"));

  sbSuchen = SpeedButton(plMenu, "sbSuchen", QStringLiteral("Suchen"),
                         QStringLiteral("Suchen\r\nMit Rechte-Taste Abwärts / Aufwärts"),
                         QStyle::SP_FileDialogContentsView, {301, 4, 70, 24});
  // CR LF shows as one break.
  SetHint(sbSuchen, QStringLiteral("Suchen\r\nMit Rechte-Taste Abwärts / Aufwärts"));
  sbSuchen->setToolTip(QStringLiteral("Suchen\nMit Rechte-Taste Abwärts / Aufwärts"));
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
  tbRow_Col->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
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
  for (QToolButton* b : {sbLaden_TXT, sbSpeichern}) {
    b->setMouseTracking(true);
    b->installEventFilter(this);
  }
  connect(sbLaden_TXT, &QToolButton::clicked, this,
          [this] { Guarded(this, [this] { sbLaden_TXTClick(); }); });
  connect(tbRow_Col, &QToolButton::clicked, this,
          [this] { Guarded(this, [this] { tbRow_ColClick(); }); });
  connect(sbExcel, &QToolButton::clicked, this,
          [this] { Guarded(this, [this] { sbExcelClick(); }); });
  // Speichern starts on the press itself, which tells the mouse button; the
  // press is taken in eventFilter, so no click follows and one press saves once.
  connect(sbExit, &QToolButton::clicked, this,
          [this] { Guarded(this, [this] { sbExitClick(); }); });

  // The floating deletion panel.
  plLoeschen = Panel(this, "plLoeschen", true);
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
  Label1 = new QLabel(QStringLiteral("ab"), plLoeschen);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(10, 50, 15, 13);
  Label1->setCursor(Qt::ArrowCursor);
  edAb = new QLineEdit(plLoeschen);
  edAb->setObjectName(QStringLiteral("edAb"));
  edAb->setGeometry(35, 46, 73, 21);
  Label2 = new QLabel(QStringLiteral("bis"), plLoeschen);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(10, 77, 17, 13);
  Label2->setCursor(Qt::ArrowCursor);
  edBis = new QLineEdit(plLoeschen);
  edBis->setObjectName(QStringLiteral("edBis"));
  edBis->setGeometry(35, 73, 73, 21);
  Panel2 = Panel(plLoeschen, "Panel2", false);
  Panel2->setGeometry(112, 46, 14, 49);
  rbAb = Radio(Panel2, "rbAb", QString(), {1, 3, 15, 17}, true);
  rbBis = Radio(Panel2, "rbBis", QString(), {1, 29, 15, 17}, false);
  sbOK = SpeedButton(plLoeschen, "sbOK", QStringLiteral("OK"), QString(),
                     QStyle::SP_DialogApplyButton, {4, 105, 70, 24});
  sbOK->setCursor(Qt::ArrowCursor);
  sbLoesch_Exit = SpeedButton(plLoeschen, "sbLoesch_Exit", QStringLiteral("Exit"),
                              QStringLiteral("Fenster schließen"), QStyle::SP_DialogCloseButton,
                              {78, 105, 70, 24});
  sbLoesch_Exit->setCursor(Qt::ArrowCursor);
  plLoeschen->raise();

  // The block clipboard: a grid that is never shown.
  sgh = new ui::StringGrid(this, /*fixed=*/false);
  sgh->setObjectName(QStringLiteral("sgh"));
  sgh->setGeometry(376, 288, 185, 105);
  sgh->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgh->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sgh->hide();

  OpenDialog1.filter = kOpenFilter;
  SaveDialog1.filter = kSaveFilter;
  SaveDialog1.confirm_overwrite = true;

  setTabOrder(edBreite, edSuchen);
  setTabOrder(edSuchen, StringGrid1);
  setTabOrder(StringGrid1, StringGrid2);
  setTabOrder(StringGrid2, rbSpalte);
  setTabOrder(rbSpalte, rbZeile);
  setTabOrder(rbZeile, edAb);
  setTabOrder(edAb, edBis);
}

void TfrMarvesk::FormCreate() {
  ui::ProgramDir = QCoreApplication::applicationDirPath();
  if (!ui::ProgramDir.endsWith(QDir::separator()) && !ui::ProgramDir.endsWith(QLatin1Char('/'))) {
    ui::ProgramDir += QDir::separator();
  }
}

QString TfrMarvesk::SettingsPath() const {
  return ui::ProgramDir + QString::fromLatin1(core::kSettingsFileName);
}

void TfrMarvesk::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_) {
    Guarded(this, [this] { FormActivate(); });
  }
}

void TfrMarvesk::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Without a window manager the window may never become active; the
  // activation sequence must still run once before the user can act.
  QTimer::singleShot(0, this, [this] {
    if (!activated_) Guarded(this, [this] { FormActivate(); });
  });
}

void TfrMarvesk::FormActivate() {
  if (activated_) return;
  activated_ = true;
  StatusBar1->hide();
  LoadSettings();
  plWerbung->setVisible(!ui::HideBanner);
  ApplyGridOptions();
  InitView();
  frAbout->cbTrennzeichenChange();
}

void TfrMarvesk::ApplyGridOptions() {
  StringGrid1->SetRowColMoving(ui::AllowRowColMove);
  StringGrid2->SetRowColMoving(ui::AllowRowColMove);
}

void TfrMarvesk::InitView() {
  lbX->clear();
  lbY->clear();
  // StringGrid2 fills the client area from here on (it shares the layout slot).
  for (QWidget* w :
       std::initializer_list<QWidget*>{StringGrid1, StringGrid2, tbRow_Col, sbSpeichern, edBreite,
                                       edSuchen, sbSuchen, plLoeschen, sbLoeschen}) {
    w->hide();
  }
  edBreite->setText(QString::number(StringGrid1->ColWidth(1)));
  StringGrid1->SetColWidth(0, 50);
  StringGrid2->SetColWidth(0, 30);
  StringGrid1->SetRowHeight0(20);
  StringGrid2->SetRowHeight0(20);
  plMenu->show();
}

void TfrMarvesk::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TfrMarvesk::FormResize() { StatusBar1->SetPanelWidth(0, frameGeometry().width() / 2); }

void TfrMarvesk::sbExitClick() {
  const int answer =
      ui::ShowMessage(this, Prompter::Kind::kInformation, QStringLiteral("Programm beenden?"),
                      Prompter::Buttons::kYesNo);
  if (answer == Prompter::kResultYes) close();
}

void TfrMarvesk::closeEvent(QCloseEvent* event) {
  if (!browser_destroyed_) {
    delete WebBrowser1;
    WebBrowser1 = nullptr;
    browser_destroyed_ = true;
  }
  try {
    SaveSettings();
    event->accept();
  } catch (const std::exception& e) {
    // The window stays open; the user can close it again.
    ui::ShowGeneralError(this, QString::fromUtf8(e.what()));
    event->ignore();
  }
}

bool TfrMarvesk::eventFilter(QObject* watched, QEvent* event) {
  if (watched == sbSpeichern &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    Guarded(this, [this, button] { sbSpeichernMouseDown(button); });
    return true;
  }
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    if (watched == sbLaden_TXT) sbLaden_TXTMouseMove();
    if (watched == sbSpeichern) sbSpeichernMouseMove();
  }
  return QWidget::eventFilter(watched, event);
}

void TfrMarvesk::sbSpeichernMouseMove() {
  const QString s = QString::fromLatin1(core::SeparatorDisplay(SeparatorChar()));
  SetHint(sbSpeichern, QStringLiteral("Speichern in TXT-Excel Datei\rLinke-Maus  Trennzeichen: "
                                      "Tab\rRechte-Maus Trennzeichen: ") +
                           s);
}

void TfrMarvesk::sbLaden_TXTMouseMove() {
  const QString s = QString::fromLatin1(core::SeparatorDisplay(SeparatorChar()));
  SetHint(sbLaden_TXT, QStringLiteral("Öffnen TXT-Datei\rTrennzeichen: ") + s);
}

char TfrMarvesk::SeparatorChar() {
  const std::string choice = frAbout->SeparatorChoice().toLatin1().toStdString();
  std::string other = frAbout->edTrennzeichen->text().toLatin1().toStdString();
  const std::string before = other;
  const char c = core::SeparatorChar(choice, other);
  if (other != before) frAbout->edTrennzeichen->setText(QString::fromLatin1(other));
  return c;
}

ui::StringGrid* TfrMarvesk::VisibleGrid() const {
  return StringGrid1->isHidden() ? StringGrid2 : StringGrid1;
}

void TfrMarvesk::StringGrid1Click() { GridClick(StringGrid1); }
void TfrMarvesk::StringGrid2Click() { GridClick(StringGrid2); }

void TfrMarvesk::GridClick(ui::StringGrid* grid) {
  ui::SearchHit = false;
  const int value = rbSpalte->isChecked() ? grid->Col() : grid->Row();
  if (rbAb->isChecked()) edAb->setText(QString::number(value));
  if (rbBis->isChecked()) edBis->setText(QString::number(value));
  ui::SearchRow = grid->Row();
  ui::SearchCol = grid->Col();
}

void TfrMarvesk::RepaintWindow() {
  if (ui::EscapeWatch* watch = ui::EscapeWatch::Current()) {
    watch->Pump(/*force=*/true);
  } else {
    repaint();
  }
}

void TfrMarvesk::SetCounters(const ui::StringGrid& grid) {
  lbX->setText(QStringLiteral("Anzahl Spalten:") + QString::number(grid.ColCount() - 1));
  lbY->setText(QStringLiteral("Anzahl Zeilen: ") + QString::number(grid.RowCount() - 1));
  lbX->adjustSize();
  lbY->adjustSize();
}

void TfrMarvesk::sbLaden_TXTClick() {
  plLoeschen->hide();
  LoadTable(false);
  plWerbung->hide();
  if (!StringGrid1->isHidden()) StringGrid1->setFocus();
}

void TfrMarvesk::LoadTable(bool reload) {
  ui::SearchRow = 1;
  ui::SearchCol = 1;
  plMenu->hide();
  OpenDialog1.initial_dir = ui::LastDir;
  if (!reload && !ui::GetPrompter().OpenFile(this, OpenDialog1)) {
    plMenu->show();
    return;
  }

  ui::EscapeWatch watch(this);
  ProgressBar1->show();
  RepaintWindow();
  // The grid stays detached from the view until the load is over: it is
  // hidden and not repainted per cell.
  StringGrid1->BeginUpdate();
  struct EndUpdate {
    ui::StringGrid* grid;
    ~EndUpdate() { grid->EndUpdate(); }
  } end_update{StringGrid1};
  core::ClearGrid(StringGrid1->table());
  StringGrid1->hide();
  StringGrid2->hide();
  tbRow_Col->setChecked(false);
  for (QWidget* w : std::initializer_list<QWidget*>{tbRow_Col, sbSpeichern, edBreite, edSuchen,
                                                    sbSuchen, sbLoeschen}) {
    w->show();
  }
  const QString path = OpenDialog1.file_name;
  if (path.isEmpty()) {
    // Nothing to read: back to a usable view rather than a bare window.
    ProgressBar1->hide();
    InitView();
    return;
  }
  ui::LastDir = FromBytes(core::DirectoryPart(Bytes(path)));

  const bool auto_detect = frAbout->cbTrZAutom->isChecked() && !frAbout->cbTrZAutom->isHidden();
  WindowLoadObserver observer(*this, watch);
  const core::LoadResult result =
      core::LoadTable(Bytes(path), auto_detect, StringGrid1->table(), observer);

  switch (result.status.code()) {
    case core::Code::kOpenFailed:
      ProgressBar1->hide();
      frEX->ShowWarning(FromBytes(result.status.message()));
      InitView();
      return;
    case core::Code::kOutOfMemory:
      frEX->ShowWarning(FromBytes(result.status.message()));
      StringGrid1->show();
      break;
    case core::Code::kReadFailed:
      frEX->ShowWarning(FromBytes(result.status.message()));
      break;
    default:
      break;
  }
  SetCounters(*StringGrid1);
  StatusBar1->hide();
  ProgressBar1->hide();
  StringGrid1->show();
  plMenu->show();
}

core::SettingsValues TfrMarvesk::CurrentSettings() const {
  core::SettingsValues v;
  v.last_dir = Bytes(ui::LastDir);
  v.hide_banner = ui::HideBanner;
  v.allow_row_col_move = ui::AllowRowColMove;
  v.separator_choice = frAbout->SeparatorChoice().toLatin1().toStdString();
  v.other_separator = frAbout->edTrennzeichen->text().toLatin1().toStdString();
  v.open_filter_index = OpenDialog1.filter_index;
  v.save_filter_index = SaveDialog1.filter_index;
  v.auto_detect = frAbout->cbTrZAutom->isChecked();
  return v;
}

void TfrMarvesk::LoadSettings() {
  core::SettingsValues v = CurrentSettings();
  core::LoadSettingsFile(Bytes(SettingsPath()), v);
  ui::LastDir = FromBytes(v.last_dir);
  ui::HideBanner = v.hide_banner;
  ui::AllowRowColMove = v.allow_row_col_move;
  frAbout->SetSeparatorChoice(QString::fromLatin1(v.separator_choice));
  frAbout->edTrennzeichen->setText(QString::fromLatin1(v.other_separator));
  OpenDialog1.filter_index = v.open_filter_index;
  SaveDialog1.filter_index = v.save_filter_index;
  frAbout->cbTrZAutom->setChecked(v.auto_detect);
}

void TfrMarvesk::SaveSettings() {
  // A file that cannot be created is skipped; one that fails while written
  // is an error of the general kind.
  const core::Result saved = core::SaveSettingsFile(Bytes(SettingsPath()), CurrentSettings());
  if (saved.code() == core::Code::kWriteFailed) throw std::runtime_error(saved.message());
}

ui::StringGrid* TfrMarvesk::SavingGrid() const {
  return tbRow_Col->isChecked() ? StringGrid2 : StringGrid1;
}

namespace {

// The progress bar of a transposition. No other window events run during the
// copy, so the bar is painted directly, at most every 30 ms.
class WindowTransposeObserver final : public core::TransposeObserver {
 public:
  WindowTransposeObserver(QProgressBar* bar, QLayout* layout) : bar_(bar), layout_(layout) {}
  void Started(int maximum) override {
    bar_->setMaximum(maximum);
    bar_->setValue(0);
    bar_->show();
    started_.start();
  }
  void Progress(int position) override {
    // setValue repaints the bar at once, so it too waits for its turn.
    // A bar that flashes up for a few hundredths of a second tells nobody
    // anything and costs a relayout: paint only once the copy has run for a
    // tenth of a second, and then at most every 30 ms.
    if (started_.elapsed() < kShowAfterMs) return;
    if (painted_.isValid() && painted_.elapsed() < ui::EscapeWatch::kIntervalMs) return;
    if (!painted_.isValid()) layout_->activate();
    bar_->setValue(position);
    bar_->repaint();
    painted_.start();
  }
  void Finished() override { bar_->hide(); }

 private:
  QProgressBar* bar_;
  QLayout* layout_;
  static constexpr qint64 kShowAfterMs = 100;
  QElapsedTimer started_;
  QElapsedTimer painted_;
};

class WindowWriteObserver final : public core::WriteObserver {
 public:
  WindowWriteObserver(QProgressBar* bar, ui::EscapeWatch& watch) : bar_(bar), watch_(watch) {}
  void Progress(int row) override {
    if (!watch_.Due()) return;
    bar_->setValue(row);
    watch_.Pump();
  }
  bool EscapePressed() override { return watch_.IsPressed(); }

 private:
  QProgressBar* bar_;
  ui::EscapeWatch& watch_;
};

}  // namespace

core::Result TfrMarvesk::TransposeGrid(ui::StringGrid* source, ui::StringGrid* target) {
  WindowTransposeObserver observer(ProgressBar1, layout_);
  target->BeginUpdate();
  const core::Result result = core::TransposeGrid(source->table(), target->table(), &observer);
  target->EndUpdate();
  return result;
}

void TfrMarvesk::tbRow_ColClick() {
  ui::SearchRow = 1;
  ui::SearchCol = 1;
  const bool transposed = !tbRow_Col->isChecked();
  tbRow_Col->setChecked(transposed);
  ui::StringGrid* source = transposed ? StringGrid1 : StringGrid2;
  ui::StringGrid* target = transposed ? StringGrid2 : StringGrid1;
  const int r = source->Row();
  const int c = source->Col();
  if (transposed) {
    StringGrid1->hide();
    StringGrid2->show();
  } else {
    StringGrid1->show();
    StringGrid2->hide();
  }
  const core::Result result = TransposeGrid(source, target);
  if (!result.ok()) {
    // The copy did not fit: stay with the table that was shown, unchanged.
    tbRow_Col->setChecked(!transposed);
    source->show();
    target->hide();
    frEX->ShowWarning(FromBytes(result.message()));
    source->setFocus();
    return;
  }
  SetCounters(*target);
  edBreite->setText(QString::number(target->ColWidth(1)));
  target->setFocus();
  target->SetRow(c);
  target->SetCol(r);
}

void TfrMarvesk::sbSpeichernMouseDown(Qt::MouseButton button) {
  ui::SaveWithTab = button != Qt::RightButton;
  sbSpeichernClick();
}

void TfrMarvesk::sbSpeichernClick() { SaveTable(SavingGrid()); }

void TfrMarvesk::SaveTable(ui::StringGrid* grid) {
  char separator = ui::SaveWithTab ? '\t' : SeparatorChar();
  SaveDialog1.default_ext = QStringLiteral("csv");
  SaveDialog1.initial_dir = ui::LastDir;
  if (!ui::GetPrompter().SaveFile(this, SaveDialog1)) return;
  const QString path = SaveDialog1.file_name;
  if (frEX->UpperExt(path) == QLatin1String(".CSV")) separator = ';';
  ui::LastDir = FromBytes(core::DirectoryPart(Bytes(path)));
  OpenDialog1.file_name = path;

  ui::EscapeWatch watch(this);
  plMenu->hide();
  StatusBar1->SetPanelText(0, QStringLiteral("Laden ") + path);
  StatusBar1->show();
  ProgressBar1->show();
  ProgressBar1->setMaximum(std::max(grid->RowCount() - 1, 0));
  ProgressBar1->setValue(0);
  RepaintWindow();
  WindowWriteObserver observer(ProgressBar1, watch);
  const core::WriteResult result =
      core::WriteTable(grid->table(), Bytes(path), separator, &observer, /*sync=*/true);
  ProgressBar1->hide();
  StatusBar1->hide();
  plMenu->show();
  if (result.status.code() == core::Code::kCreateFailed ||
      result.status.code() == core::Code::kWriteFailed) {
    frEX->ShowWarning(FromBytes(result.status.message()));
  }
}

void TfrMarvesk::sbExcelClick() {
  OpenDialog1.initial_dir = ui::LastDir;
  if (!ui::GetPrompter().OpenFile(this, OpenDialog1)) return;
  const QString file = OpenDialog1.file_name;
  ui::LastDir = FromBytes(core::DirectoryPart(Bytes(file)));
  ui::GetShell().OpenInSpreadsheet(this, file, ui::LastDir);
}
