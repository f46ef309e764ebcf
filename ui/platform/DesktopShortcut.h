// The program's shortcut on the user's desktop: a shell link on Windows, a
// desktop entry elsewhere.
#ifndef MARVESK_UI_PLATFORM_DESKTOPSHORTCUT_H_
#define MARVESK_UI_PLATFORM_DESKTOPSHORTCUT_H_

#include <QByteArray>
#include <QString>

namespace ui {

// The shortcut's file name: "Marvesk 1.5.lnk" or "Marvesk 1.5.desktop".
QString ShortcutFileName();

// The program's file in `program_dir` (ending in the separator).
QString ProgramFileIn(const QString& program_dir);

// Writes the shortcut to `target` (the program) with `working_dir` (ending in
// the separator) as its working folder, replacing one of the same name.
// Where a launcher needs an icon file and none is installed, `icon_svg`
// is written to the user's data folder.
// Returns the file written, empty when none could be (no desktop folder, a
// path the format cannot carry, a failed write); the user is told nothing
// either way. On Windows a shell link object that cannot be created throws
// with the system's text, for the general error display.
QString WriteDesktopShortcut(const QString& target, const QString& working_dir,
                             const QByteArray& icon_svg);

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_DESKTOPSHORTCUT_H_
