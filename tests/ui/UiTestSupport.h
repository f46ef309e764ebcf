// Shared pieces of the UI tests: a prompter that answers from a script and
// records every question, and a fixture with the three real windows.
#ifndef MARVESK_TESTS_UI_UITESTSUPPORT_H_
#define MARVESK_TESTS_UI_UITESTSUPPORT_H_

#include <gtest/gtest.h>

// The controls the tests look up by name.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/BannerStrip.h"
#include "ui/BlockOps.h"
#include "ui/FileOperations.h"
#include "ui/RangePanel.h"
#include "ui/Search.h"
#include "ui/StatusBar.h"
#include "ui/StringGrid.h"
#include "ui/TableEdits.h"
#include "ui/Windows.h"
#include "ui/platform/Prompter.h"
#include "ui/platform/Shell.h"
#include "ui/ut_Marvesk.h"

namespace uitest {

class ScriptedPrompter : public ui::Prompter {
 public:
  struct Asked {
    Kind kind;
    QString title;
    QString text;
    Buttons buttons;
  };
  // Answers for message boxes, in order. With none left an OK box is
  // answered OK and a Yes/No question counts as a test failure (answered No).
  std::deque<int> answers;
  // Runs before each message box is answered (e.g. to release a key).
  std::function<void(const Asked&)> on_message;
  // Open and save dialogs: a path chooses it, nullopt cancels.
  std::deque<std::optional<QString>> open_answers;
  std::deque<std::optional<QString>> save_answers;
  std::deque<int> save_filter_answers;  // filter index the user picks (optional)
  std::deque<int> open_filter_answers;

  std::vector<Asked> messages;
  std::vector<ui::FileDialogState> open_requests;
  std::vector<ui::FileDialogState> save_requests;

  int Message(QWidget* parent, Kind kind, const QString& title, const QString& text,
              Buttons buttons) override;
  bool OpenFile(QWidget* parent, ui::FileDialogState& state) override;
  bool SaveFile(QWidget* parent, ui::FileDialogState& state) override;
};

// A shell that records the hand-offs instead of starting programs.
class RecordingShell : public ui::Shell {
 public:
  struct Call {
    QString file;
    QString dir;
  };
  std::vector<Call> calls;
  void OpenInSpreadsheet(QWidget*, const QString& file, const QString& dir) override {
    calls.push_back({file, dir});
  }
  struct Opened {
    QString verb;
    QString file;
    QString parameters;
  };
  std::vector<Opened> opened;
  // Whether each hand-off starts something, in order; true once used up.
  std::deque<bool> starts;
  bool Open(QWidget*, const QString& verb, const QString& file,
            const QString& parameters) override {
    opened.push_back({verb, file, parameters});
    if (starts.empty()) return true;
    const bool started = starts.front();
    starts.pop_front();
    return started;
  }
};

// Selects the data cells (l, t)..(r, b) of `g` with (l, t) current.
void Select(ui::StringGrid* g, int l, int t, int r, int b);
// Keys as the user presses them: the modifier goes down first and up last.
void Chord(QWidget* w, Qt::Key modifier, Qt::KeyboardModifier flag, Qt::Key key);

// A file of `cols` x `rows` fields "c<col>r<row>" separated by ';'.
std::string GridText(int cols, int rows);

// A control or part of `root` found by its name (the names the design gives
// the controls; parts carry their class names). A test that asks for one
// that is not there fails at once.
template <typename T = QWidget>
T* Find(const QObject* root, const char* name) {
  T* found = root->findChild<T*>(QString::fromLatin1(name));
  if (!found) {
    ADD_FAILURE() << "no " << name;
    std::abort();
  }
  return found;
}

// The three windows as the program creates them, a scripted prompter, a
// recording shell and a temporary program directory (so the settings file
// lands there). Every test gets windows of its own.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Shows the main window and lets its activation run.
  void Start();
  // Writes a file into the temporary directory and returns its path.
  QString WriteFile(const QString& name, const std::string& bytes);
  std::string ReadFile(const QString& path) const;
  // Loads `path` through the Laden button with the open dialog answered.
  void LoadThroughButton(const QString& path);
  // Speichern pressed with `button`, the save dialog answered with `path`.
  void SaveThroughButton(const QString& path, Qt::MouseButton button = Qt::LeftButton);

  // New windows with `program_dir` as the program's folder, started.
  void Reopen(const QString& program_dir);
  // Clicks Info and runs `inside` while the modal window is open; the window
  // must be closed by then.
  void WithAbout(const std::function<void()>& inside);
  // Sets the separator through the info window as a user does; a reload
  // question that follows is answered No.
  void SetSeparator(const QString& choice, const QString& other = QStringLiteral(" "),
                    bool automatic = true, bool quoted = false);

  // Controls of the main and the info window, and parts of the main window.
  template <typename T = QWidget>
  T* Main(const char* name) const {
    return Find<T>(main_, name);
  }
  template <typename T = QWidget>
  T* About(const char* name) const {
    return Find<T>(about_, name);
  }
  template <typename P>
  P& Part(const char* name) const {
    return *Find<P>(main_, name);
  }
  ui::StringGrid* Grid1() const;
  ui::StringGrid* Grid2() const;
  // The folder the dialogs start in.
  QString LastDir() const;

  QTemporaryDir dir_;
  ScriptedPrompter prompter_;
  RecordingShell shell_;
  std::unique_ptr<ui::Windows> windows_;
  TfrMarvesk* main_ = nullptr;
  TfrAbout* about_ = nullptr;
};

}  // namespace uitest

#endif  // MARVESK_TESTS_UI_UITESTSUPPORT_H_
