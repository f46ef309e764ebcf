#include "ui/ut_Marvesk.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <iterator>
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
#include "ui/TableEdits.h"
#include "ui/TableViews.h"
#include "ui/Transposition.h"
#include "ui/platform/Prompter.h"
#include "ui/ut_About.h"

using ui::Prompter;

namespace {

QString NotFoundNotice(const QString& text) {
  return QStringLiteral("„") + text + QStringLiteral("“ nicht gefunden");
}

}  // namespace

TfrMarvesk::TfrMarvesk(ui::Prompter& prompter, ui::Shell& shell, const QString& program_dir,
                       QWidget* parent)
    : QWidget(parent), prompter_(prompter), shell_(shell) {
  setObjectName(QStringLiteral("frMarvesk"));
  setWindowTitle(QStringLiteral("Marvesk"));
  setFont(ui::SansSerif8(false));
  setAcceptDrops(true);
  resize(907, 550);  // outer 923 x 588 with the frame
  // Every control of the button bar stays in sight, and a few rows of the grid.
  setMinimumSize(ui::ButtonBar::MinimumWidth(), 200);
  BuildParts();
  Arrange();
  ConnectParts();
  FormCreate(program_dir);
}

TfrMarvesk::~TfrMarvesk() = default;

void TfrMarvesk::Attach(TfrAbout* about) {
  about_ = about;
  connect(about_, &TfrAbout::edited, this,
          [this](const core::SettingsValues& edited) { settings_ = edited; });
}

void TfrMarvesk::BuildParts() {
  views_ = new ui::TableViews(this);
  edits_ = new ui::TableEdits(prompter_, this);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFixedHeight(16);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  StatusBar1 = new ui::StatusBar(this, {500, 50});
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setFixedHeight(19);
  bar_ = std::make_unique<ui::ButtonBar>(this);
  banner_ = new ui::BannerStrip(this, prompter_, shell_);
  range_ = new ui::RangePanel(this, *views_, *edits_, bar_->sbLoeschen(), ProgressBar1, prompter_);
  search_ = new ui::Search(*views_, bar_->edSuchen(), bar_->sbSuchen(), prompter_, this);
  blocks_ = new ui::BlockOps(this, *views_, *edits_, bar_->edBreite(), ProgressBar1, prompter_);
  files_ = new ui::FileOperations(this, *views_, *edits_, *bar_,
                                  {bar_->plMenu(), ProgressBar1, StatusBar1}, settings_, prompter_,
                                  shell_);
  transposition_ =
      new ui::Transposition(this, *views_, *edits_, bar_->tbRow_Col(), ProgressBar1, prompter_);
}

void TfrMarvesk::Arrange() {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  // Takes the space above the bars while no grid is shown, so the bars stay
  // at the bottom; a shown grid (stretch 1) takes it over.
  layout_->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
  layout_->addWidget(&views_->loaded(), 1);
  layout_->addWidget(&views_->transposed(), 1);
  layout_->addWidget(ProgressBar1);
  layout_->addWidget(StatusBar1);
  layout_->addWidget(bar_->plMenu());
  layout_->addWidget(banner_->plWerbung());
  // The bar's fields, the grids, then the range panel's controls.
  QList<QWidget*> order = {bar_->edBreite(), bar_->edSuchen(), &views_->loaded(),
                           &views_->transposed()};
  order += range_->TabOrder();
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TfrMarvesk::ConnectParts() {
  for (ui::StringGrid* g : {&views_->loaded(), &views_->transposed()}) {
    edits_->Attach(*g);
    g->SetCellColour([this, g](int c, int r) { return CellColour(*g, c, r); });
    // Ctrl+Z and its kin first (not while the editor is open), then the
    // block keys; one key-up handler for both grids.
    g->SetKeyHandlers(
        [this, g](QKeyEvent* key, bool editing) {
          bool take = false;
          ui::RunGuarded(prompter_, this, [&] {
            take = (!editing && edits_->KeyDown(*g, key)) || blocks_->KeyDown(*g, key, editing);
          });
          return take;
        },
        [this](QKeyEvent* key) { blocks_->KeyUp(key); });
  }
  connect(range_, &ui::RangePanel::okClicked, search_, &ui::Search::Restart);
  connect(files_, &ui::FileOperations::loadStarting, search_, &ui::Search::Restart);
  connect(files_, &ui::FileOperations::opening, range_, &ui::RangePanel::Hide);
  connect(files_, &ui::FileOperations::loading, this, &TfrMarvesk::ShowLoading);
  connect(files_, &ui::FileOperations::loaded, this,
          [this](ui::StringGrid* grid) { ShowTable(*grid); });
  connect(files_, &ui::FileOperations::nothingLoaded, this, &TfrMarvesk::InitView);
  connect(files_, &ui::FileOperations::opened, this, [this] {
    banner_->SetShown(false);
    if (!views_->loaded().isHidden()) views_->loaded().setFocus();
  });
  connect(transposition_, &ui::Transposition::switching, search_, &ui::Search::Restart);
  connect(transposition_, &ui::Transposition::switched, this, [this](ui::StringGrid* grid) {
    bar_->SetCounters(grid->ColCount(), grid->RowCount());
    blocks_->ShowWidthOf(*grid);
  });
  connect(search_, &ui::Search::notFound, this, [this](const QString& text) {
    StatusBar1->ShowNotice(NotFoundNotice(text));
  });
  connect(search_, &ui::Search::found, this, [this] {
    if (StatusBar1->notice().endsWith(QStringLiteral("“ nicht gefunden"))) StatusBar1->hide();
  });
  connect(files_, &ui::FileOperations::documentChanged, this, &TfrMarvesk::ShowTitle);
  connect(edits_, &ui::TableEdits::modifiedChanged, this, &TfrMarvesk::ShowTitle);
  connect(edits_, &ui::TableEdits::charactersLost, this, [this](int count) {
    StatusBar1->ShowNotice(
        count == 1 ? QStringLiteral("1 Zeichen gibt es in Windows-1252 nicht: es wurde als ? "
                                    "übernommen")
                   : QStringLiteral("%1 Zeichen gibt es in Windows-1252 nicht: sie wurden als ? "
                                    "übernommen")
                         .arg(count));
  });
  connect(edits_, &ui::TableEdits::shapeChanged, this,
          [this](ui::StringGrid* grid) { bar_->SetCounters(grid->ColCount(), grid->RowCount()); });
  auto on = [this](QToolButton* button, void (TfrMarvesk::*handler)()) {
    ui::ConnectGuarded(button, &QToolButton::clicked, this, prompter_,
                       [this, handler] { (this->*handler)(); });
  };
  on(bar_->sbExit(), &TfrMarvesk::sbExitClick);
  on(bar_->sbAbout(), &TfrMarvesk::sbAboutClick);
  BuildShortcuts();
}

void TfrMarvesk::BuildShortcuts() {
  // Each key does what its control does, and nothing while the control is
  // hidden. An open cell editor keeps its text first, as a click elsewhere
  // would.
  auto key = [this](const QKeySequence& keys, QWidget* control, std::function<void()> act) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, control, act = std::move(act)] {
      if (!control->isVisibleTo(this) || !control->isEnabled()) return;
      for (ui::StringGrid* g : {&views_->loaded(), &views_->transposed()}) {
        if (g->Editing()) g->ToggleEditor();
      }
      ui::RunGuarded(prompter_, this, act);
      blocks_->ForgetModifiers();
    });
  };
  auto click = [](QToolButton* button) { return [button] { button->click(); }; };
  key(QKeySequence(Qt::CTRL | Qt::Key_O), bar_->sbLaden_TXT(), click(bar_->sbLaden_TXT()));
  key(QKeySequence(Qt::CTRL | Qt::Key_S), bar_->sbSpeichern(),
      [this] { files_->Save(/*with_tab=*/true); });
  key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), bar_->sbSpeichern(),
      [this] { files_->Save(/*with_tab=*/false); });
  key(QKeySequence(Qt::CTRL | Qt::Key_T), bar_->tbRow_Col(), click(bar_->tbRow_Col()));
  key(QKeySequence(Qt::CTRL | Qt::Key_F), bar_->edSuchen(), [this] {
    bar_->edSuchen()->setFocus(Qt::ShortcutFocusReason);
    bar_->edSuchen()->selectAll();
  });
  key(QKeySequence(Qt::Key_F3), bar_->sbSuchen(), [this] { search_->SearchNext(true); });
  key(QKeySequence(Qt::SHIFT | Qt::Key_F3), bar_->sbSuchen(),
      [this] { search_->SearchNext(false); });
  key(QKeySequence(Qt::CTRL | Qt::Key_L), bar_->sbLoeschen(), click(bar_->sbLoeschen()));
  key(QKeySequence(Qt::CTRL | Qt::Key_E), bar_->sbExcel(), click(bar_->sbExcel()));
  key(QKeySequence(Qt::Key_F1), bar_->sbAbout(), click(bar_->sbAbout()));
  key(QKeySequence(Qt::CTRL | Qt::Key_Q), bar_->sbExit(), click(bar_->sbExit()));
}

void TfrMarvesk::FormCreate(const QString& program_dir) {
  program_dir_ = program_dir.isEmpty() ? QCoreApplication::applicationDirPath() : program_dir;
  if (!program_dir_.endsWith(QDir::separator()) && !program_dir_.endsWith(QLatin1Char('/'))) {
    program_dir_ += QDir::separator();
  }
}

QString TfrMarvesk::SettingsPath() {
  if (settings_path_.isEmpty()) {
    const std::string user_dir = core::UserSettingsFolder(core::CurrentUserEnvironment());
    settings_path_ = ui::FromBytes(
        core::SettingsFilePath(ui::Bytes(program_dir_), user_dir, core::SystemFolderProbe()));
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
  banner_->SetShown(!settings_.hide_banner);
  ApplyGridOptions();
  InitView();
  banner_->NextBanner();
  if (!start_file_.isEmpty()) {
    // After the start-up, as if the user had chosen it at once.
    QTimer::singleShot(0, this, [this] {
      ui::RunGuarded(prompter_, this, [this] { OpenGivenFile(std::exchange(start_file_, {})); });
    });
  }
}

void TfrMarvesk::ApplyGridOptions() {
  views_->loaded().SetRowColMoving(settings_.allow_row_col_move);
  views_->transposed().SetRowColMoving(settings_.allow_row_col_move);
}

void TfrMarvesk::InitView() {
  bar_->ClearCounters();
  // StringGrid2 fills the client area from here on (it shares the layout slot).
  views_->HideBoth();
  range_->Hide();
  bar_->ShowTableControls(false);
  blocks_->ShowWidthOf(views_->loaded());
  views_->loaded().SetColWidth(0, 50);
  views_->transposed().SetColWidth(0, 30);
  views_->loaded().SetRowHeight0(20);
  views_->transposed().SetRowHeight0(20);
  bar_->plMenu()->show();
}

void TfrMarvesk::ShowLoading() {
  views_->HideBoth();
  views_->SetTransposed(false);
  bar_->ShowTableControls(true);
}

void TfrMarvesk::ShowTable(ui::StringGrid& grid) {
  bar_->SetCounters(grid.ColCount(), grid.RowCount());
  views_->ShowOnly(grid);
  bar_->plMenu()->show();
}

void TfrMarvesk::ShowTitle() {
  const QString document = files_->document();
  if (document.isEmpty()) {
    setWindowTitle(QStringLiteral("Marvesk"));
    setWindowModified(false);
    return;
  }
  // "[*]" is where the mark of unsaved changes goes.
  setWindowTitle(QFileInfo(document).fileName() + QStringLiteral("[*] – Marvesk"));
  setWindowModified(edits_->Modified());
}

void TfrMarvesk::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FormResize();
}

void TfrMarvesk::FormResize() {
  bar_->Arrange(width());
  banner_->werbung_pos(frameGeometry().width());
  StatusBar1->SetPanelWidth(0, frameGeometry().width() / 2);
}

bool TfrMarvesk::ConfirmEnd() {
  QString question = QStringLiteral("Programm beenden?");
  if (edits_->Modified()) {
    question = QStringLiteral("Die Änderungen an der Tabelle sind nicht gespeichert.\r") + question;
  }
  return ui::ShowMessage(prompter_, this, Prompter::Kind::kInformation, question,
                         Prompter::Buttons::kYesNo) == Prompter::kResultYes;
}

void TfrMarvesk::sbExitClick() {
  if (ConfirmEnd()) EndNow();
}

bool TfrMarvesk::EndNow() {
  end_asked_ = true;
  const bool ended = close();
  end_asked_ = false;
  return ended;
}

void TfrMarvesk::closeEvent(QCloseEvent* event) {
  // The close box asks only when unsaved changes would go; Exit has asked
  // already, and an end asked for from outside must not wait for an answer.
  if (!closed_ && !end_asked_ && edits_->Modified()) {
    const bool end = ConfirmEnd();
    if (closed_) return;  // ended meanwhile from outside
    if (!end) {
      event->ignore();
      return;
    }
  }
  banner_->DestroyBrowser();
  SaveSettings();
  closed_ = true;
  event->accept();
}

void TfrMarvesk::OpenGivenFile(const QString& path) {
  files_->OpenFile(QFileInfo(path).absoluteFilePath());
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

void TfrMarvesk::LoadSettings() {
  // Without a readable file the values stand as they are.
  (void)core::LoadSettingsFile(ui::Bytes(SettingsPath()), settings_);
}

void TfrMarvesk::SaveSettings() {
  // Settings that cannot be written, for whatever reason, are not kept and
  // say nothing: they must never keep the program from ending (a full disk
  // at logout). The old file stays as it was.
  const std::string path = ui::Bytes(SettingsPath());
  // The per-user folder may not exist yet; beside the program it does.
  core::MakeFolders(core::DirectoryPart(path));
  (void)core::SaveSettingsFile(path, settings_);
}

void TfrMarvesk::sbAboutClick() {
  hide();
  about_->Edit(settings_);
  if (closed_) return;  // ended meanwhile (SIGTERM): the window stays closed
  banner_->SetShown(!settings_.hide_banner);
  ApplyGridOptions();
  views_->loaded().repaint();
  show();
  if (!views_->TableShown() || !about_->SeparatorChanged()) return;
  QString question;
  if (core::AutoDetectInForce(settings_.separator)) {
    question = QStringLiteral("Datei öffnen mit Trennzeichen automatisch?");
  } else {
    question =
        QStringLiteral("Datei öffnen mit Trennzeichen ") +
        QString::fromLatin1(core::SeparatorDisplay(core::SeparatorChar(settings_.separator))) +
        QStringLiteral(" ?");
  }
  const int answer = ui::ShowMessage(prompter_, this, Prompter::Kind::kInformation, question,
                                     Prompter::Buttons::kYesNo);
  if (answer == Prompter::kResultYes) files_->Reload();
}

QRgb TfrMarvesk::CellColour(const ui::StringGrid& grid, int col, int row) const {
  constexpr QRgb kSearchHit = 0xFFFEE20D;  // yellow, 254 226 13
  if (col == 0 || row == 0) return 0;      // header cells keep the fixed look
  if (search_->IsHit(grid, col, row)) return kSearchHit;
  return range_->RunColour(col, row);
}
