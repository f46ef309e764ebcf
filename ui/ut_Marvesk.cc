#include "ui/ut_Marvesk.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "core/FileUtil.h"
#include "core/Separator.h"
#include "core/UserDirs.h"
#include "ui/BannerStrip.h"
#include "ui/BlockOps.h"
#include "ui/Builders.h"
#include "ui/ButtonBar.h"
#include "ui/Codec.h"
#include "ui/FileOperations.h"
#include "ui/RangePanel.h"
#include "ui/Search.h"
#include "ui/StatusBar.h"
#include "ui/StringGrid.h"
#include "ui/Transposition.h"
#include "ui/Undo.h"
#include "ui/platform/Shell.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"

namespace {

using ui::Prompter;

const QString kOpenFilter =
    QStringLiteral("Text-Datei (*.TXT)|*.txt|CSV-Dateien (*.CSV)|*.csv|Alle-Dateien (*.*)|*.*");
const QString kSaveFilter = QStringLiteral("TXT-Datei|*.txt|CSV-Datei|*.csv");

}  // namespace

TfrMarvesk::TfrMarvesk(ui::Prompter& prompter, ui::Shell& shell, QWidget* parent)
    : QWidget(parent), prompter_(prompter), shell_(shell) {
  setObjectName(QStringLiteral("frMarvesk"));
  setWindowTitle(QStringLiteral(" Marvesk"));
  setFont(ui::SansSerif8(false));
  setAcceptDrops(true);
  BuildControls();
  ConnectControls();
  FormCreate();
}

TfrMarvesk::~TfrMarvesk() = default;

void TfrMarvesk::Attach(TfrAbout* about, TfrEX* ex) {
  about_ = about;
  ex_ = ex;
}

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
  for (ui::StringGrid* g : {StringGrid1, StringGrid2}) g->setFont(ui::BoldArial9());

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFixedHeight(16);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();

  StatusBar1 = new ui::StatusBar(this, {500, 50});
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(19);

  bar_ = std::make_unique<ui::ButtonBar>(this);
  banner_ = std::make_unique<ui::BannerStrip>(*this);
  range_ = std::make_unique<ui::RangePanel>(*this);
  search_ = std::make_unique<ui::Search>(*this, bar_->edSuchen, bar_->sbSuchen);
  blocks_ = std::make_unique<ui::BlockOps>(*this, bar_->edBreite);
  files_ = std::make_unique<ui::FileOperations>(*this);
  transposition_ = std::make_unique<ui::Transposition>(*this);
  undo_ = std::make_unique<ui::Undo>(*this);

  // Takes the space above the bars while no grid is shown, so the bars stay
  // at the bottom; a shown grid (stretch 1) takes it over.
  layout_->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
  layout_->addWidget(StringGrid1, 1);
  layout_->addWidget(StringGrid2, 1);
  layout_->addWidget(ProgressBar1);
  layout_->addWidget(StatusBar1);
  layout_->addWidget(bar_->plMenu);
  layout_->addWidget(banner_->plWerbung);

  OpenDialog1.filter = kOpenFilter;
  SaveDialog1.filter = kSaveFilter;
  SaveDialog1.confirm_overwrite = true;

  // The bar's fields, the grids, then the range panel: Spalte/Zeile, the two
  // fields and the groups inside its two small panels.
  QWidget* order[] = {bar_->edBreite,   bar_->edSuchen,   StringGrid1,  StringGrid2,
                      range_->rbSpalte, range_->rbZeile,  range_->edAb, range_->edBis,
                      range_->rbAlles,  range_->rbInhalt, range_->rbAb, range_->rbBis};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TfrMarvesk::ConnectControls() {
  auto on = [this](auto* sender, auto signal, auto handler) {
    ui::ConnectGuarded(sender, signal, this, prompter_, [this, handler] { (this->*handler)(); });
  };
  on(StringGrid1, &ui::StringGrid::cellClicked, &TfrMarvesk::StringGrid1Click);
  on(StringGrid2, &ui::StringGrid::cellClicked, &TfrMarvesk::StringGrid2Click);
  on(StringGrid1, &ui::StringGrid::mouseMoved, &TfrMarvesk::StringGrid1MouseMove);
  on(StringGrid2, &ui::StringGrid::mouseMoved, &TfrMarvesk::StringGrid2MouseMove);
  StringGrid1->SetCellColour([this](int c, int r) { return StringGrid1DrawCell(c, r); });
  StringGrid2->SetCellColour([this](int c, int r) { return StringGrid2DrawCell(c, r); });
  range_->Connect();
  search_->Connect();
  blocks_->Connect();
  undo_->Connect();
  on(bar_->sbLaden_TXT, &QToolButton::clicked, &TfrMarvesk::sbLaden_TXTClick);
  on(bar_->tbRow_Col, &QToolButton::clicked, &TfrMarvesk::tbRow_ColClick);
  on(bar_->sbExcel, &QToolButton::clicked, &TfrMarvesk::sbExcelClick);
  on(bar_->sbExit, &QToolButton::clicked, &TfrMarvesk::sbExitClick);
  on(bar_->sbAbout, &QToolButton::clicked, &TfrMarvesk::sbAboutClick);
  new ui::MouseButtonFilter(bar_->sbLaden_TXT, {}, [this] { sbLaden_TXTMouseMove(); });
  // Speichern starts on the press itself, which tells the mouse button; the
  // filter takes the press, so no click follows and one press saves once.
  new ui::MouseButtonFilter(
      bar_->sbSpeichern,
      [this](Qt::MouseButton button) {
        ui::RunGuarded(prompter_, this, [this, button] { sbSpeichernMouseDown(button); });
      },
      [this] { sbSpeichernMouseMove(); });
}

void TfrMarvesk::FormCreate() {
  settings.ProgramDir = QCoreApplication::applicationDirPath();
  if (!settings.ProgramDir.endsWith(QDir::separator()) &&
      !settings.ProgramDir.endsWith(QLatin1Char('/'))) {
    settings.ProgramDir += QDir::separator();
  }
}

QString TfrMarvesk::SettingsPath() {
  if (settings_path_.isEmpty()) {
    const std::string user_dir = core::UserSettingsFolder(core::CurrentUserEnvironment());
    settings_path_ = ui::FromBytes(core::SettingsFilePath(ui::Bytes(settings.ProgramDir), user_dir,
                                                          core::SystemFolderProbe()));
  }
  return settings_path_;
}

void TfrMarvesk::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_) {
    ui::RunGuarded(prompter_, this, [this] { FormActivate(); });
  }
}

void TfrMarvesk::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Without a window manager the window may never become active; the
  // activation sequence must still run once before the user can act.
  QTimer::singleShot(0, this, [this] {
    if (!activated_) ui::RunGuarded(prompter_, this, [this] { FormActivate(); });
  });
}

void TfrMarvesk::FormActivate() {
  if (activated_) return;
  activated_ = true;
  StatusBar1->hide();
  LoadSettings();
  banner_->SetShown(!settings.HideBanner);
  ApplyGridOptions();
  InitView();
  NextBanner();
  about_->cbTrennzeichenChange();
  if (!start_file_.isEmpty()) {
    // After the start-up, as if the user had chosen it at once.
    QTimer::singleShot(0, this, [this] {
      ui::RunGuarded(prompter_, this, [this] { OpenGivenFile(std::exchange(start_file_, {})); });
    });
  }
}

void TfrMarvesk::ApplyGridOptions() {
  StringGrid1->SetRowColMoving(settings.AllowRowColMove);
  StringGrid2->SetRowColMoving(settings.AllowRowColMove);
}

void TfrMarvesk::InitView() {
  bar_->ClearCounters();
  // StringGrid2 fills the client area from here on (it shares the layout slot).
  for (QWidget* w : std::initializer_list<QWidget*>{StringGrid1, StringGrid2, range_->plLoeschen}) {
    w->hide();
  }
  bar_->ShowTableControls(false);
  blocks_->ShowWidthOf(*StringGrid1);
  StringGrid1->SetColWidth(0, 50);
  StringGrid2->SetColWidth(0, 30);
  StringGrid1->SetRowHeight0(20);
  StringGrid2->SetRowHeight0(20);
  bar_->plMenu->show();
}

void TfrMarvesk::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TfrMarvesk::FormResize() {
  werbung_pos();
  StatusBar1->SetPanelWidth(0, frameGeometry().width() / 2);
}

void TfrMarvesk::werbung_pos() { banner_->werbung_pos(frameGeometry().width()); }
void TfrMarvesk::NextBanner() { banner_->NextBanner(); }
void TfrMarvesk::WebBrowser1NavigateComplete2() { banner_->HideScrollBars(); }
void TfrMarvesk::WebBrowser1DocumentComplete() { banner_->HideScrollBars(); }

void TfrMarvesk::sbExitClick() {
  const int answer =
      ui::ShowMessage(prompter_, this, Prompter::Kind::kInformation,
                      QStringLiteral("Programm beenden?"), Prompter::Buttons::kYesNo);
  if (answer == Prompter::kResultYes) close();
}

void TfrMarvesk::closeEvent(QCloseEvent* event) {
  banner_->DestroyBrowser();
  SaveSettings();
  closed_ = true;
  event->accept();
}

void TfrMarvesk::sbSpeichernMouseMove() {
  const QString s = QString::fromLatin1(core::SeparatorDisplay(SeparatorChar()));
  ui::SetHint(bar_->sbSpeichern,
              QStringLiteral("Speichern in TXT-Excel Datei\rLinke-Maus  Trennzeichen: "
                             "Tab\rRechte-Maus Trennzeichen: ") +
                  s);
}

void TfrMarvesk::sbLaden_TXTMouseMove() {
  const QString s = QString::fromLatin1(core::SeparatorDisplay(SeparatorChar()));
  ui::SetHint(bar_->sbLaden_TXT, QStringLiteral("Öffnen TXT-Datei\rTrennzeichen: ") + s);
}

char TfrMarvesk::SeparatorChar() {
  const std::string choice = about_->SeparatorChoice().toLatin1().toStdString();
  std::string other = about_->edTrennzeichen->text().toLatin1().toStdString();
  const std::string before = other;
  const char c = core::SeparatorChar(choice, other);
  if (other != before) about_->edTrennzeichen->setText(QString::fromLatin1(other));
  return c;
}

ui::StringGrid* TfrMarvesk::VisibleGrid() const {
  return StringGrid1->isHidden() ? StringGrid2 : StringGrid1;
}

ui::StringGrid* TfrMarvesk::SavingGrid() const {
  return bar_->tbRow_Col->isChecked() ? StringGrid2 : StringGrid1;
}

void TfrMarvesk::StringGrid1Click() { GridClick(StringGrid1); }
void TfrMarvesk::StringGrid2Click() { GridClick(StringGrid2); }

void TfrMarvesk::GridClick(ui::StringGrid* grid) {
  search_->SearchHit = false;
  range_->CellChosen(grid->Col(), grid->Row());
  search_->CellChosen(grid->Col(), grid->Row());
}

void TfrMarvesk::SetCounters(const ui::StringGrid& grid) {
  bar_->SetCounters(grid.ColCount(), grid.RowCount());
}

void TfrMarvesk::sbLaden_TXTClick() {
  range_->plLoeschen->hide();
  LoadTable(false);
  banner_->SetShown(false);
  if (!StringGrid1->isHidden()) StringGrid1->setFocus();
}

void TfrMarvesk::LoadTable(bool reload) { files_->Load(reload); }

void TfrMarvesk::OpenGivenFile(const QString& path) {
  range_->plLoeschen->hide();
  // What the dialog would hold had the user picked the file there.
  OpenDialog1.file_name = QFileInfo(path).absoluteFilePath();
  LoadTable(/*reload=*/true);
  banner_->SetShown(false);
  if (!StringGrid1->isHidden()) StringGrid1->setFocus();
}

namespace {

// The first local file of a drag, empty when it brings none.
QString FirstLocalFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return url.toLocalFile();
  }
  return {};
}

}  // namespace

void TfrMarvesk::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrMarvesk::dropEvent(QDropEvent* event) {
  const QString path = FirstLocalFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // The drag's source gets its answer first; the load may take a while.
  QTimer::singleShot(0, this, [this, path] {
    ui::RunGuarded(prompter_, this, [this, path] { OpenGivenFile(path); });
  });
}

core::SettingsValues TfrMarvesk::CurrentSettings() const {
  core::SettingsValues v;
  v.last_dir = ui::Bytes(settings.LastDir);
  v.hide_banner = settings.HideBanner;
  v.allow_row_col_move = settings.AllowRowColMove;
  v.separator_choice = about_->SeparatorChoice().toLatin1().toStdString();
  v.other_separator = about_->edTrennzeichen->text().toLatin1().toStdString();
  v.open_filter_index = OpenDialog1.filter_index;
  v.save_filter_index = SaveDialog1.filter_index;
  v.auto_detect = about_->cbTrZAutom->isChecked();
  return v;
}

void TfrMarvesk::LoadSettings() {
  core::SettingsValues v = CurrentSettings();
  // Without a file (first start) the values shown stay: nobody is told.
  (void)core::LoadSettingsFile(ui::Bytes(SettingsPath()), v);
  settings.LastDir = ui::FromBytes(v.last_dir);
  settings.HideBanner = v.hide_banner;
  settings.AllowRowColMove = v.allow_row_col_move;
  about_->SetSeparatorChoice(QString::fromLatin1(v.separator_choice));
  about_->edTrennzeichen->setText(QString::fromLatin1(v.other_separator));
  OpenDialog1.filter_index = v.open_filter_index;
  SaveDialog1.filter_index = v.save_filter_index;
  about_->cbTrZAutom->setChecked(v.auto_detect);
}

void TfrMarvesk::SaveSettings() {
  // Settings that cannot be written, for whatever reason, are not kept and
  // say nothing: they must never keep the program from ending (a full disk
  // at logout). The old file stays as it was.
  const std::string path = ui::Bytes(SettingsPath());
  // The per-user folder may not exist yet; beside the program it does.
  core::MakeFolders(core::DirectoryPart(path));
  (void)core::SaveSettingsFile(path, CurrentSettings());
}

core::Result TfrMarvesk::TransposeGrid(ui::StringGrid* source, ui::StringGrid* target) {
  return transposition_->Copy(source, target);
}

void TfrMarvesk::tbRow_ColClick() { transposition_->Switch(); }

void TfrMarvesk::sbSpeichernMouseDown(Qt::MouseButton button) {
  sbSpeichernClick(button != Qt::RightButton);
}

void TfrMarvesk::sbSpeichernClick(bool with_tab) { SaveTable(SavingGrid(), with_tab); }

void TfrMarvesk::SaveTable(ui::StringGrid* grid, bool with_tab) { files_->Save(grid, with_tab); }

void TfrMarvesk::sbExcelClick() { files_->OpenInSpreadsheet(); }

void TfrMarvesk::sbAboutClick() {
  hide();
  about_->exec();
  if (closed_) return;  // ended meanwhile (SIGTERM): the window stays closed
  banner_->SetShown(!settings.HideBanner);
  ApplyGridOptions();
  StringGrid1->repaint();
  show();
  const bool loaded = !StringGrid1->isHidden() || !StringGrid2->isHidden();
  if (!loaded || about_->Tag != 1) return;
  QString question;
  if (!about_->cbTrZAutom->isHidden() && about_->cbTrZAutom->isChecked()) {
    question = QStringLiteral("Datei öffnen mit Trennzeichen automatisch?");
  } else {
    question = QStringLiteral("Datei öffnen mit Trennzeichen ") +
               QString::fromLatin1(core::SeparatorDisplay(SeparatorChar())) + QStringLiteral(" ?");
  }
  const int answer = ui::ShowMessage(prompter_, this, Prompter::Kind::kInformation, question,
                                     Prompter::Buttons::kYesNo);
  if (answer == Prompter::kResultYes) LoadTable(true);
}

void TfrMarvesk::sbLoeschenClick() { range_->sbLoeschenClick(); }
void TfrMarvesk::sbLoesch_ExitClick() { range_->sbLoesch_ExitClick(); }
bool TfrMarvesk::edAbKeyPress(QKeyEvent* key) { return range_->FieldKeyPress(range_->edAb, key); }
bool TfrMarvesk::edBisKeyPress(QKeyEvent* key) { return range_->FieldKeyPress(range_->edBis, key); }
void TfrMarvesk::edAbEnter() { range_->rbAb->setChecked(true); }
void TfrMarvesk::edBisEnter() { range_->rbBis->setChecked(true); }
void TfrMarvesk::StringGrid1MouseMove() { range_->GridMouseMove(*StringGrid1); }
void TfrMarvesk::StringGrid2MouseMove() { range_->GridMouseMove(*StringGrid2); }
void TfrMarvesk::plLoeschenMouseMove() { RefreshRange(); }
void TfrMarvesk::rbSpalteClick() { RefreshRange(); }
void TfrMarvesk::rbZeileClick() { RefreshRange(); }
void TfrMarvesk::rbAllesClick() { RefreshRange(); }
void TfrMarvesk::rbInhaltClick() { RefreshRange(); }
void TfrMarvesk::sbOKMouseMove() { range_->sbOKMouseMove(); }
void TfrMarvesk::sbOKClick() { range_->sbOKClick(); }
void TfrMarvesk::plLoeschenMouseDown(QPoint at) { range_->plLoeschenMouseDown(at); }
void TfrMarvesk::FormMouseMove(QPoint at) { range_->FormMouseMove(at); }
void TfrMarvesk::FormMouseDown(QPoint at) { range_->FormMouseMove(at); }
void TfrMarvesk::FormMouseUp(QPoint at) { range_->FormMouseUp(at); }
void TfrMarvesk::ReadRange(ui::StringGrid* grid) { range_->ReadRange(*grid); }
void TfrMarvesk::RefreshRange() { range_->RefreshRange(); }
void TfrMarvesk::ClearRange(ui::StringGrid* grid) { range_->ClearRange(*grid); }
void TfrMarvesk::DeleteRange(ui::StringGrid* grid) { range_->DeleteRange(*grid); }
QString TfrMarvesk::DeleteConfirmText() {
  return QString::fromStdString(range_->DeleteConfirmText());
}
void TfrMarvesk::MovePanel(int x, int y) { range_->MovePanel(x, y); }

void TfrMarvesk::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  FormMouseMove(event->position().toPoint());
}
void TfrMarvesk::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  FormMouseDown(event->position().toPoint());
}
void TfrMarvesk::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  FormMouseUp(event->position().toPoint());
}

QRgb TfrMarvesk::StringGrid1DrawCell(int col, int row) const {
  return CellColour(StringGrid1, col, row);
}
QRgb TfrMarvesk::StringGrid2DrawCell(int col, int row) const {
  return CellColour(StringGrid2, col, row);
}

QRgb TfrMarvesk::CellColour(const ui::StringGrid* grid, int col, int row) const {
  constexpr QRgb kSearchHit = 0xFFFEE20D;  // yellow, 254 226 13
  if (col == 0 || row == 0) return 0;      // header cells keep the fixed look
  if (search_->SearchHit && col == grid->Col() && row == grid->Row()) return kSearchHit;
  return range_->RunColour(col, row);
}

bool TfrMarvesk::edSuchenKeyPress(QKeyEvent* key) { return search_->edSuchenKeyPress(key); }
void TfrMarvesk::sbSuchenMouseDown(Qt::MouseButton button) { search_->sbSuchenMouseDown(button); }
void TfrMarvesk::SearchForward(const QString& text) { search_->SearchForward(text); }
void TfrMarvesk::SearchBackward(const QString& text) { search_->SearchBackward(text); }

bool TfrMarvesk::StringGrid1KeyDown(QKeyEvent* key, bool editing) {
  bool take = false;
  ui::RunGuarded(prompter_, this, [&] {
    take = (!editing && undo_->KeyDown(*StringGrid1, key)) ||
           blocks_->KeyDown(*StringGrid1, key, editing);
  });
  return take;
}
bool TfrMarvesk::StringGrid2KeyDown(QKeyEvent* key, bool editing) {
  bool take = false;
  ui::RunGuarded(prompter_, this, [&] {
    take = (!editing && undo_->KeyDown(*StringGrid2, key)) ||
           blocks_->KeyDown(*StringGrid2, key, editing);
  });
  return take;
}
void TfrMarvesk::StringGrid1KeyUp(QKeyEvent* key) { blocks_->KeyUp(key); }
void TfrMarvesk::ClearSelection(ui::StringGrid* grid) { blocks_->ClearSelection(*grid); }
void TfrMarvesk::CopySelection(ui::StringGrid* grid) { blocks_->CopySelection(*grid); }
void TfrMarvesk::PasteBlock(ui::StringGrid* grid) { blocks_->PasteBlock(*grid); }
void TfrMarvesk::ApplyColWidth() { blocks_->ApplyColWidth(); }
bool TfrMarvesk::edBreiteKeyPress(QKeyEvent* key) {
  bool take = false;
  ui::RunGuarded(prompter_, this, [&] { take = blocks_->edBreiteKeyPress(key); });
  return take;
}
