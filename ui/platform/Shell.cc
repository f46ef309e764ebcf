#include "ui/platform/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#ifdef Q_OS_WIN
#include <shellapi.h>
#include <windows.h>
#endif

namespace ui {
namespace {

QString FindOnPath(const QString& name) { return QStandardPaths::findExecutable(name); }

class PlatformShell final : public Shell {
 public:
  void OpenInSpreadsheet(QWidget* window, const QString& file,
                         const QString& working_dir) override {
#ifdef Q_OS_WIN
    const std::wstring params = QDir::toNativeSeparators(file).toStdWString();
    const std::wstring dir = QDir::toNativeSeparators(working_dir).toStdWString();
    ShellExecuteW(window ? reinterpret_cast<HWND>(window->winId()) : nullptr, L"open", L"excel.exe",
                  params.c_str(), dir.c_str(), SW_SHOWMAXIMIZED);
#else
    (void)window;
    const Launch launch = SpreadsheetLaunch(file, &FindOnPath);
    if (launch.program.isEmpty()) {
      QDesktopServices::openUrl(QUrl::fromLocalFile(file));
      return;
    }
    // Detached: the spreadsheet lives on its own and the window never waits.
    QProcess::startDetached(launch.program, launch.arguments, working_dir);
#endif
  }

  bool Open(QWidget* owner, const QString& verb, const QString& file,
            const QString& parameters) override {
#ifdef Q_OS_WIN
    const std::wstring v = verb.toStdWString();
    const std::wstring f = file.toStdWString();
    const std::wstring p = parameters.toStdWString();
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr, v.empty() ? nullptr : v.c_str(),
        f.c_str(), p.empty() ? nullptr : p.c_str(), L"", SW_SHOW));
    return result > 32;
#else
    (void)owner;
    (void)verb;
    if (parameters.isEmpty()) {
      // The desktop's own opener; Qt's when it is missing.
      const QString opener = FindOnPath(QStringLiteral("xdg-open"));
      if (!opener.isEmpty()) return QProcess::startDetached(opener, {file});
      return QDesktopServices::openUrl(QUrl(file));
    }
    const QString program = FindOnPath(file);
    return !program.isEmpty() && QProcess::startDetached(program, {parameters});
#endif
  }
};

}  // namespace

Launch SpreadsheetLaunch(const QString& file, QString (*find)(const QString& name)) {
  // Each path is one argument, blanks and all; no shell is involved.
  const QString localc = find(QStringLiteral("localc"));
  if (!localc.isEmpty()) return {localc, {file}};
  const QString libreoffice = find(QStringLiteral("libreoffice"));
  if (!libreoffice.isEmpty()) return {libreoffice, {QStringLiteral("--calc"), file}};
  const QString soffice = find(QStringLiteral("soffice"));
  if (!soffice.isEmpty()) return {soffice, {QStringLiteral("--calc"), file}};
  const QString gnumeric = find(QStringLiteral("gnumeric"));
  if (!gnumeric.isEmpty()) return {gnumeric, {file}};
  return {};
}

QList<std::pair<QString, QString>> WebSiteOpenings(const QString& host) {
#ifdef Q_OS_WIN
  return {{QStringLiteral("IEXPLORE.EXE"), host},
          {QStringLiteral("NETSCAPE.EXE"), host},
          {host, QStringLiteral("nil")}};
#else
  const QString address = QStringLiteral("http://") + host;
  return {{address, QString()},
          {QStringLiteral("x-www-browser"), address},
          {QStringLiteral("firefox"), address}};
#endif
}

std::unique_ptr<Shell> MakePlatformShell() { return std::make_unique<PlatformShell>(); }

}  // namespace ui
