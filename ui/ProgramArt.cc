#include "ui/ProgramArt.h"

#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QSvgRenderer>

namespace ui {
namespace {

const QString kIcon = QStringLiteral(":/art/marvesk.svg");

QPixmap Render(const QString& resource, QSize size, QRectF into) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(resource);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, into);
  return pixmap;
}

QIcon IconOf(const QString& resource, std::initializer_list<int> sizes) {
  QIcon icon;
  for (const int s : sizes) icon.addPixmap(Render(resource, QSize(s, s), QRectF(0, 0, s, s)));
  return icon;
}

}  // namespace

QPixmap ProgramPicture(QSize size) {
  QPixmap pixmap(size);
  QPainter painter(&pixmap);
  QLinearGradient ground(0, 0, 0, size.height());
  ground.setColorAt(0, QColor(0xF4, 0xF7, 0xFD));
  ground.setColorAt(1, QColor(0xD5, 0xDF, 0xF2));
  painter.fillRect(pixmap.rect(), ground);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal side = std::min(size.width(), size.height()) - 6;
  QSvgRenderer renderer(kIcon);
  renderer.render(&painter,
                  QRectF((size.width() - side) / 2, (size.height() - side) / 2, side, side));
  return pixmap;
}

QIcon ProgramIcon() { return IconOf(kIcon, {16, 24, 32, 48, 64, 128, 256}); }

QByteArray ProgramIconSvg() {
  QFile file(kIcon);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QIcon DesktopGlyph() { return IconOf(QStringLiteral(":/art/desktop.svg"), {16, 32}); }
QIcon CheckGlyph() { return IconOf(QStringLiteral(":/art/check.svg"), {16, 32}); }

}  // namespace ui
