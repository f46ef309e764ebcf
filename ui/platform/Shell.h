// Hand-offs to other programs. They never block the window and report
// nothing: whether the other program starts is its own business.
#ifndef MARVESK_UI_PLATFORM_SHELL_H_
#define MARVESK_UI_PLATFORM_SHELL_H_

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

class QWidget;

namespace ui {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens `file` in the spreadsheet program, with `working_dir` as its
  // working directory.
  virtual void OpenInSpreadsheet(QWidget* window, const QString& file,
                                 const QString& working_dir) = 0;
  // Hands `file` with `parameters` to the desktop, as a double click would
  // open it: an address (mailto:, http:) goes to the desktop's handler for
  // its scheme, a program name is started with `parameters` as its one
  // argument. `verb` is the shell's action on Windows ("open"; empty for the
  // file's default) and unused elsewhere. True when something was started;
  // whether it then succeeds is its own business.
  virtual bool Open(QWidget* owner, const QString& verb, const QString& file,
                    const QString& parameters) = 0;
};

// How the maker's web site at `host` is opened: (file, parameters) pairs,
// tried in this order until one starts something.
QList<std::pair<QString, QString>> WebSiteOpenings(const QString& host);

// The hand-offs of this platform.
std::unique_ptr<Shell> MakePlatformShell();

// The program and arguments that open `file` in a spreadsheet on this
// machine: LibreOffice Calc, then Gnumeric, then the desktop's default
// application for the file. `find` looks a program up on the PATH (empty
// when missing). Exposed for tests.
struct Launch {
  QString program;
  QStringList arguments;
};
Launch SpreadsheetLaunch(const QString& file, QString (*find)(const QString& name));

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_SHELL_H_
