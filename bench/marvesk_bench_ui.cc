// marvesk_bench_ui: what the window adds on top of the core. Loads the same
// generated file once through the core alone and once through the main
// window's Laden button (grid shown and painted afterwards), and switches the
// view of a 2,000 x 2,000 table there and back against the core
// transposition. Starts itself as a fresh program, once with the banner
// host pointing at a server that never answers and once with banners off,
// until the window is up and a first table is loaded. One `name: value` line
// per figure.
//
//   marvesk_bench_ui [--quick | --huge] [--dir DIR]
//
//   --huge   a 1 GB file instead: its load, the progress while it reads,
//            the scroll to its last row and the view switch
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/Edit.h"
#include "core/History.h"
#include "core/Loader.h"
#include "core/Settings.h"
#include "core/Table.h"
#include "core/Transpose.h"
#include "ui/RangePanel.h"
#include "ui/StringGrid.h"
#include "ui/Windows.h"
#include "ui/platform/Prompter.h"
#include "ui/ut_Marvesk.h"

namespace {

constexpr int kRepeats = 7;

uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// lines x fields, ';' separated; alphanumeric fields of 3..12 characters or
// numbers of 1..6 digits.
bool Generate(const QString& path, int lines, int fields, bool digits) {
  static const char kAlnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
  if (!f) return false;
  uint64_t state = digits ? 2 : 1;
  std::string line;
  for (int i = 0; i < lines; ++i) {
    line.clear();
    for (int j = 0; j < fields; ++j) {
      if (j) line += ';';
      const int len = digits ? 1 + static_cast<int>(NextRandom(state) % 6)
                             : 3 + static_cast<int>(NextRandom(state) % 10);
      for (int k = 0; k < len; ++k) {
        line += digits ? static_cast<char>('0' + NextRandom(state) % 10)
                       : kAlnum[NextRandom(state) % 62];
      }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), f);
  }
  return std::fclose(f) == 0;
}

class NullObserver final : public core::LoadObserver {
 public:
  char ConfiguredSeparator() override { return ';'; }
  bool ConfirmContinue() override { return true; }
};

class BenchPrompter final : public ui::Prompter {
 public:
  QString next_file;
  // The range panel's question before a removal, answered yes.
  QString expected_question;
  int Message(QWidget*, Kind, const QString&, const QString& text, Buttons) override {
    if (!expected_question.isEmpty() && text == expected_question) return kResultYes;
    std::fprintf(stderr, "unexpected message: %s\n", text.toLocal8Bit().constData());
    return kResultNo;
  }
  bool OpenFile(QWidget*, ui::FileDialogState& s) override {
    s.file_name = next_file;
    return true;
  }
  bool SaveFile(QWidget*, ui::FileDialogState&) override { return false; }
};

// One timed run, in seconds.
template <typename F>
double Best1(F&& f) {
  QElapsedTimer t;
  t.start();
  f();
  return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

void Settle() { QApplication::processEvents(); }

// A control of the window by its name, clicked as the mouse would.
template <typename T = QToolButton>
T* Control(const TfrMarvesk& window, const char* name) {
  return window.findChild<T*>(QString::fromLatin1(name));
}
void Click(const TfrMarvesk& window, const char* name) { Control(window, name)->click(); }

// A mouse movement over the grid while the range panel is open (the run
// re-read from the fields, then the grid repainted at once) against a plain
// full repaint of the same grid, in a window filling the screen over the
// loaded table. Each sample is 20 of them; best of kRepeats, in turns.
bool RangeRepaint(TfrMarvesk& window) {
  const QSize normal = window.size();
  window.showFullScreen();
  Settle();
  QWidget* cells = Control<ui::StringGrid>(window, "StringGrid1")->viewport();
  Click(window, "sbLoeschen");
  Control<QLineEdit>(window, "edAb")->setText(QStringLiteral("3"));
  Control<QLineEdit>(window, "edBis")->setText(QStringLiteral("5"));
  Settle();
  const QPoint at = cells->rect().center();
  auto move_once = [&] {
    for (int i = 0; i < 20; ++i) {
      QMouseEvent move(QEvent::MouseMove, at + QPoint(i % 2, 0), cells->mapToGlobal(at),
                       Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(cells, &move);
    }
  };
  auto plain_once = [&] {
    for (int i = 0; i < 20; ++i) cells->repaint();
  };
  double range = 1e300;
  double plain = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    plain = std::min(plain, Best1(plain_once));
    range = std::min(range, Best1(move_once));
  }
  const core::RangeBounds run = Control<ui::RangePanel>(window, "RangePanel")->bounds();
  const bool marked = run.ColFrom == 3 && run.ColTo == 5;
  std::printf("window cells shown: %d x %d\n", cells->width() / 80, cells->height() / 20);
  std::printf("window plain repaint s: %.5f\n", plain / 20);
  std::printf("window range repaint s: %.5f\n", range / 20);
  std::printf("window range repaint/plain repaint: %.2f\n", range / plain);
  Click(window, "sbLoesch_Exit");
  window.showNormal();
  window.resize(normal);
  Settle();
  if (!marked) std::fprintf(stderr, "the run was not read from the fields\n");
  return marked;
}

// Column 5 of the loaded narrow table removed through the range panel (the
// step recorded, the removal with its progress bar, the grid repainted)
// against the same in the core: History::RecordRemoveCols, then RemoveCols
// with an observer that does nothing. Each run is undone afterwards,
// untimed (Ctrl+Z in the window); best of kRepeats, in turns.
bool RemoveColumn(TfrMarvesk& window, BenchPrompter& prompter, const QString& narrow) {
  core::Table table;
  NullObserver loading;
  if (!core::LoadTable(narrow.toStdString(), true, table, loading).status.ok()) return false;
  ui::StringGrid* grid = Control<ui::StringGrid>(window, "StringGrid1");
  const int cols = grid->table().ColCount();
  Click(window, "sbLoeschen");
  Control<QRadioButton>(window, "rbSpalte")->setChecked(true);
  Control<QRadioButton>(window, "rbAlles")->setChecked(true);
  Settle();
  prompter.expected_question = QStringLiteral("Löschen alles\rSpalte: 5-5");
  struct Quiet final : core::ProgressObserver {
    void Started(int) override {}
    void Progress(int) override {}
    void Finished() override {}
  } quiet;
  bool ok = cols == table.ColCount();
  double core_remove = 1e300;
  double window_remove = 1e300;
  for (int i = 0; i < kRepeats && ok; ++i) {
    core::History history;
    core_remove = std::min(core_remove, Best1([&] {
                             history.RecordRemoveCols(table, 5, 5);
                             core::RemoveCols(table, 5, 5, &quiet);
                           }));
    core::HistoryChange change;
    ok = history.Undo(table, change).ok() && table.ColCount() == cols;
    Control<QLineEdit>(window, "edAb")->setText(QStringLiteral("5"));
    Control<QLineEdit>(window, "edBis")->setText(QStringLiteral("5"));
    window_remove = std::min(window_remove, Best1([&] {
                               Click(window, "sbOK");
                               Settle();
                             }));
    ok = ok && grid->table().ColCount() == cols - 1;
    QKeyEvent undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    QApplication::sendEvent(grid, &undo);
    Settle();
    ok = ok && grid->table().ColCount() == cols;
  }
  Click(window, "sbLoesch_Exit");
  Settle();
  prompter.expected_question.clear();
  if (!ok) {
    std::fprintf(stderr, "the column was not removed and put back as expected\n");
    return false;
  }
  std::printf("narrow core remove column s: %.4f\n", core_remove);
  std::printf("narrow window remove column s: %.4f\n", window_remove);
  std::printf("narrow window/core remove column: %.2f\n", window_remove / core_remove);
  return true;
}

// The child of the start-up figures: the program's windows with the
// settings in `dir`, until the start-up has run and `file` is loaded through
// Laden; then "ready" on stdout.
int StartupChild(const QString& dir, const QString& file) {
  BenchPrompter prompter;
  prompter.next_file = file;
  ui::Windows windows(&prompter, nullptr, dir + QLatin1Char('/'));
  TfrMarvesk& window = *windows.main();
  window.show();
  while (!window.activated()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Click(window, "sbLaden_TXT");
  Settle();
  const bool loaded = Control<ui::StringGrid>(window, "StringGrid1")->isVisible();
  std::printf(loaded ? "ready\n" : "failed\n");
  std::fflush(stdout);
  return loaded ? 0 : 1;
}

// A port on 127.0.0.1 that takes connections (the kernel completes them)
// and never answers; 0 when none could be had. `socket_out` is the listening
// socket, left open for the run.
int DeadServer(int& socket_out) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  socket_out = s;
  if (s < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(s, 64) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

// The connections waiting on the listening socket, taken off it.
int Waiting(int listening) {
  fcntl(listening, F_SETFL, fcntl(listening, F_GETFL) | O_NONBLOCK);
  int n = 0;
  for (int c; (c = accept(listening, nullptr, nullptr)) >= 0; ++n) close(c);
  return n;
}

// Seconds from starting a fresh child until it reports the table loaded;
// negative when it failed.
double StartupOnce(const QString& dir, const QString& file, int port) {
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("MARVESK_BANNER_HOST"), QStringLiteral("127.0.0.1:%1").arg(port));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  child.setProcessEnvironment(env);
  QElapsedTimer t;
  t.start();
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--startup-child"), dir, file});
  QByteArray out;
  while (!out.contains('\n') && child.waitForReadyRead(30000)) out += child.readAllStandardOutput();
  const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
  child.waitForFinished(30000);
  return out.startsWith("ready") ? seconds : -1;
}

// Start-up with the banner host silent against start-up with banners off,
// each a fresh program, in turns.
bool Startup(const QTemporaryDir& dir) {
  int listening = -1;
  const int port = DeadServer(listening);
  const QString on = dir.filePath(QStringLiteral("banner-on"));
  const QString off = dir.filePath(QStringLiteral("banner-off"));
  const QString file = dir.filePath(QStringLiteral("small.csv"));
  core::SettingsValues values;
  bool written = port != 0 && QDir().mkpath(on) && QDir().mkpath(off);
  for (const QString& d : {on, off}) {
    values.hide_banner = d == off;
    const std::string path = (d + QLatin1Char('/')).toStdString() + core::kSettingsFileName;
    written = written && core::SaveSettingsFile(path, values).ok();
  }
  written = written && Generate(file, 100, 5, true);
  if (!written) {
    std::fprintf(stderr, "cannot prepare the start-up runs\n");
    return false;
  }
  double first_dead = 0;
  double first_off = 0;
  double dead = 1e300;
  double banner_off = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    const double d = StartupOnce(on, file, port);
    const double o = StartupOnce(off, file, port);
    if (d < 0 || o < 0) {
      std::fprintf(stderr, "a start-up run failed\n");
      return false;
    }
    if (i == 0) {
      first_dead = d;
      first_off = o;
    }
    dead = std::min(dead, d);
    banner_off = std::min(banner_off, o);
  }
  // Each banner-on run asked once, the banner-off runs never.
  const int asked = Waiting(listening);
  close(listening);
  if (asked != kRepeats) {
    std::fprintf(stderr, "%d requests at the silent server, expected %d\n", asked, kRepeats);
    return false;
  }
  std::printf("startup dead server first s: %.3f\n", first_dead);
  std::printf("startup banner off first s: %.3f\n", first_off);
  std::printf("startup dead server s: %.3f\n", dead);
  std::printf("startup banner off s: %.3f\n", banner_off);
  std::printf("startup dead server/startup banner off: %.2f\n", dead / banner_off);
  return true;
}

}  // namespace

// A 1 GB table through the window: the load against the core's, the longest
// pause of the progress bar and status text while it reads, the scroll to
// the last row, and the view switch against the core transposition.
constexpr int kHugeRounds = 3;

// A step timed in several rounds: the first (a fresh process meets fresh
// memory) and the best.
struct Figure {
  double first = -1;
  double best = 1e300;
  void Add(double s) {
    if (first < 0) first = s;
    best = std::min(best, s);
  }
  void Print(const char* name) const {
    std::printf("%s: %.3f (first %.3f)\n", name, best, first);
  }
};

int Huge(TfrMarvesk& window, BenchPrompter& prompter, const QString& dir) {
  const QString file = dir + QStringLiteral("/huge1g.csv");
  if (!Generate(file, 12000000, 10, false)) return 1;
  std::printf("huge1g window: 12000000 x 10; core and window in turns, first and best of %d\n",
              kHugeRounds);
  std::fflush(stdout);
  NullObserver null_observer;
  // The bar as a user sees it move: the longest time between two of its
  // changes while the file is read.
  auto* bar = Control<QProgressBar>(window, "ProgressBar1");
  QElapsedTimer clock;
  qint64 last = -1;
  qint64 longest = 0;
  bool loading = false;
  QObject::connect(bar, &QProgressBar::valueChanged, [&] {
    if (!loading) return;
    const qint64 now = clock.elapsed();
    if (last >= 0) longest = std::max(longest, now - last);
    last = now;
  });
  prompter.next_file = file;
  Figure core_load, window_load, core_transpose, window_switch;
  auto* grid = Control<ui::StringGrid>(window, "StringGrid1");
  double scroll = 1e300;
  for (int round = 0; round < kHugeRounds; ++round) {
    {
      core::Table table;
      core_load.Add(Best1([&] {
        (void)core::LoadTable(file.toStdString(), true, table, null_observer);
      }));
    }
    // From the click on: what precedes the first move of the bar counts too.
    last = 0;
    loading = true;
    clock.start();
    window_load.Add(Best1([&] {
      Click(window, "sbLaden_TXT");
      Settle();
    }));
    loading = false;
    scroll = std::min(scroll, Best1([&] {
                        grid->scrollToBottom();
                        grid->viewport()->repaint();
                      }));
    {
      core::Table target;
      core_transpose.Add(
          Best1([&] { (void)core::TransposeGrid(grid->table(), target, nullptr); }));
    }
    // There and back: two transpositions.
    window_switch.Add(Best1([&] {
                        Click(window, "tbRow_Col");
                        Settle();
                        Click(window, "tbRow_Col");
                        Settle();
                      }) /
                      2);
  }
  core_load.Print("huge1g core load s");
  window_load.Print("huge1g window load s");
  std::printf("huge1g window/core load: %.2f\n", window_load.best / core_load.best);
  std::printf("huge1g longest progress pause ms: %lld\n", static_cast<long long>(longest));
  std::printf("huge1g scroll to the last row s: %.4f\n", scroll);
  core_transpose.Print("huge1g core transpose s");
  window_switch.Print("huge1g window switch s");
  std::printf("huge1g switch/transpose: %.2f\n", window_switch.best / core_transpose.best);
  QFile::remove(file);
  return 0;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window's banner asks a port where nothing listens, never the maker.
  if (qEnvironmentVariableIsEmpty("MARVESK_BANNER_HOST")) {
    qputenv("MARVESK_BANNER_HOST", "127.0.0.1:1");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Marvesk"));
  if (argc == 4 && std::string(argv[1]) == "--startup-child") {
    return StartupChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  }
  bool quick = false;
  bool huge = false;
  QString parent = QDir::tempPath();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
    } else if (arg == "--huge") {
      huge = true;
    } else if (arg == "--dir" && i + 1 < argc) {
      parent = QString::fromLocal8Bit(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: marvesk_bench_ui [--quick | --huge] [--dir DIR]\n");
      return 2;
    }
  }
  QTemporaryDir dir(parent + QStringLiteral("/marvesk_bench_ui-XXXXXX"));
  if (!dir.isValid()) return 1;
  if (huge) {
    BenchPrompter prompter;
    ui::Windows windows(&prompter, nullptr, dir.path() + QLatin1Char('/'));
    TfrMarvesk& window = *windows.main();
    window.show();
    while (!window.activated()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return Huge(window, prompter, dir.path());
  }
  const QString narrow = dir.filePath(QStringLiteral("narrow.csv"));
  const QString square = dir.filePath(QStringLiteral("square.csv"));
  const int narrow_lines = quick ? 20000 : 1000000;
  const int square_n = quick ? 200 : 2000;
  if (!Generate(narrow, narrow_lines, 10, false) || !Generate(square, square_n, square_n, true)) {
    std::fprintf(stderr, "cannot write the test files\n");
    return 1;
  }
  std::printf("machine: %ld cores; narrow %d x 10, square %d x %d\n", sysconf(_SC_NPROCESSORS_ONLN),
              narrow_lines, square_n, square_n);

  BenchPrompter prompter;
  ui::Windows windows(&prompter, nullptr, dir.path() + QLatin1Char('/'));
  TfrMarvesk& window = *windows.main();
  window.show();
  while (!window.activated()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);

  // Loading: core alone against the whole road through the window, taken
  // in turns so that both see the same state of the machine.
  prompter.next_file = narrow;
  core::Table table;
  NullObserver null_observer;
  bool core_ok = true;
  auto core_once = [&] {
    core::ClearGrid(table);
    core_ok =
        core::LoadTable(narrow.toStdString(), true, table, null_observer).status.ok() && core_ok;
  };
  core_once();  // warm-up: the file into the page cache
  double core_load = 1e300;
  double window_load = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    core_load = std::min(core_load, Best1(core_once));
    window_load = std::min(window_load, Best1([&] {
                             Click(window, "sbLaden_TXT");
                             Settle();
                           }));
  }
  core::ClearGrid(table);
  if (!core_ok) {
    std::fprintf(stderr, "the core load failed\n");
    return 1;
  }
  std::printf("narrow core load s: %.3f\n", core_load);
  std::printf("narrow window load s: %.3f\n", window_load);
  std::printf("narrow window/core load: %.2f\n", window_load / core_load);

  if (!RangeRepaint(window)) return 1;
  if (!RemoveColumn(window, prompter, narrow)) return 1;

  // The view switch: there and back is two transpositions.
  prompter.next_file = square;
  Click(window, "sbLaden_TXT");
  Settle();
  core::Table target;
  double core_transpose = 1e300;
  double window_switch = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    core_transpose = std::min(
        core_transpose, Best1([&] {
          core_ok = core::TransposeGrid(Control<ui::StringGrid>(window, "StringGrid1")->table(),
                                        target, nullptr)
                        .ok() &&
                    core_ok;
        }));
    window_switch = std::min(window_switch, Best1([&] {
                               Click(window, "tbRow_Col");
                               Settle();
                               Click(window, "tbRow_Col");
                               Settle();
                             }));
  }
  if (!core_ok) {
    std::fprintf(stderr, "the core transposition failed\n");
    return 1;
  }
  std::printf("square core transpose s: %.4f\n", core_transpose);
  std::printf("square window switch there+back s: %.4f\n", window_switch);
  std::printf("square switch/transpose: %.2f\n", window_switch / (2 * core_transpose));

  return Startup(dir) ? 0 : 1;
}
