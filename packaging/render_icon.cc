// Renders the program's icon drawing into PNG files for the icon theme:
//   marvesk_render_icon SVG SIZE OUT.png [SIZE OUT.png ...]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: marvesk_render_icon SVG SIZE OUT.png [SIZE OUT.png ...]\n");
    return 2;
  }
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  for (int i = 2; i + 1 < argc; i += 2) {
    const int size = QByteArray(argv[i]).toInt();
    if (size <= 0) return 2;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", argv[i + 1]);
      return 1;
    }
  }
  return 0;
}
