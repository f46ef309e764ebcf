// Marvesk: turns delimited text tables around.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>
#include <cstdio>
#include <cstring>

#include "core/ProductInfo.h"
#include "ui/Windows.h"
#include "ui/platform/Termination.h"
#include "ui/ut_Marvesk.h"

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s %s\n%s\n", core::kProductName, core::kProductVersion, core::kCopyrightLine);
    return 0;
  }
  QApplication app(argc, argv);
  // Qt's own dialogs (file dialogs) in German, like the rest of the program.
  QTranslator qt_german;
  if (qt_german.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    app.installTranslator(&qt_german);
  }
  ui::Windows windows;
  TfrMarvesk& main_window = *windows.main();
  // "Marvesk FILE", as the file manager's "Open with" starts it: the first
  // argument that is no option is loaded once the window is up.
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i].startsWith(QLatin1Char('-'))) continue;
    main_window.SetStartFile(QDir::current().absoluteFilePath(arguments[i]));
    break;
  }
  ui::CloseOnTermination(&main_window, [&main_window] { return main_window.EndNow(); });
  // Centred on the screen's free area as the window opens, and never larger
  // than it (a small or scaled screen); the frame the window manager adds is
  // not known before the window is shown.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const ui::StartPlace place = ui::FitToScreen(main_window.size(), main_window.minimumSize(),
                                                 QSize(16, 40), screen->availableGeometry());
    main_window.resize(place.client);
    main_window.move(place.frame_pos);
  }
  main_window.show();
  return app.exec();
}
