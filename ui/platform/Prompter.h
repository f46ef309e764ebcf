// Every modal question, warning and file dialog goes through a Prompter, so
// tests can script the answers and record what was asked.
#ifndef MARVESK_UI_PLATFORM_PROMPTER_H_
#define MARVESK_UI_PLATFORM_PROMPTER_H_

#include <QString>
#include <memory>

class QWidget;

namespace ui {

// A file dialog's settings and outcome, kept across showings like a dialog
// component: filter index, initial directory and the chosen file name.
struct FileDialogState {
  QString filter;        // "Description|pattern|Description|pattern..."
  int filter_index = 2;  // counts the pairs from 1
  QString initial_dir;
  QString file_name;    // the current (last chosen) file
  QString default_ext;  // without the dot
  bool confirm_overwrite = false;
};

class Prompter {
 public:
  enum class Kind { kWarning, kInformation, kError };
  enum class Buttons { kOk, kYesNo };
  static constexpr int kResultOk = 1;
  static constexpr int kResultYes = 6;
  static constexpr int kResultNo = 7;
  // The box was closed without a button (its close box, Escape): no answer.
  static constexpr int kResultClosed = 0;

  virtual ~Prompter() = default;
  // Line breaks in `text` are CR characters. Returns kResultOk, kResultYes or
  // kResultNo for the button pressed, kResultClosed when there was none.
  virtual int Message(QWidget* parent, Kind kind, const QString& title, const QString& text,
                      Buttons buttons) = 0;
  // Runs an open or save dialog. On a choice: true, state.file_name and
  // state.filter_index updated. On cancel: false, state unchanged.
  virtual bool OpenFile(QWidget* parent, FileDialogState& state) = 0;
  virtual bool SaveFile(QWidget* parent, FileDialogState& state) = 0;
};

// QMessageBox and QFileDialog with the program's German texts.
std::unique_ptr<Prompter> MakeQtPrompter();

// The standard boxes of the program.
int ShowMessage(Prompter& prompter, QWidget* parent, Prompter::Kind kind, const QString& text,
                Prompter::Buttons b);
// A warning ("Warnung", exclamation icon, "OK") over the window in front.
void ShowWarning(Prompter& prompter, const QString& text);
// The general error display: a box titled with the program's name, the
// error icon and "OK"; a full stop is added unless the text ends in one (or
// in a character ordered before it).
void ShowGeneralError(Prompter& prompter, QWidget* parent, const QString& text);

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_PROMPTER_H_
