// The program's own artwork: the picture of the info window, the icon of its
// windows and launchers, and the glyphs of two buttons. One drawing serves
// the picture and the icon.
#ifndef MARVESK_UI_PROGRAMART_H_
#define MARVESK_UI_PROGRAMART_H_

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace ui {

// The program's drawing centred on a light ground, `size` large.
QPixmap ProgramPicture(QSize size);
// The window and launcher icon in the sizes desktops ask for.
QIcon ProgramIcon();
// The icon's drawing as SVG text, for a launcher that needs a file.
QByteArray ProgramIconSvg();
// The glyph of the Desktop button and the check mark of OK.
QIcon DesktopGlyph();
QIcon CheckGlyph();

}  // namespace ui

#endif  // MARVESK_UI_PROGRAMART_H_
