// The pictures of the README, made from the real windows on the offscreen
// platform: `make screenshots` writes them into docs/ (or the folder named
// by MARVESK_SCREENSHOT_DIR). Not a test: it checks nothing beyond what a
// picture needs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QHostAddress>
#include <QMouseEvent>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <string>

#include "UiTestSupport.h"
#include "ui/ProgramArt.h"
#include "ui/ut_About.h"

namespace {

class Screenshot : public uitest::WindowTest {
 protected:
  void Save(const QImage& shot, const char* name) {
    const QString dir = QString::fromLocal8Bit(qgetenv("MARVESK_SCREENSHOT_DIR"));
    ASSERT_FALSE(dir.isEmpty()) << "MARVESK_SCREENSHOT_DIR names the folder";
    ASSERT_TRUE(shot.save(dir + QLatin1Char('/') + QString::fromLatin1(name))) << name;
  }
  QImage Window() {
    QApplication::processEvents();
    return main_->grab().toImage();
  }
  // Marks the run `ab`..`bis` in the open range panel of `g`.
  void MarkRun(ui::StringGrid* g, const char* ab, const char* bis) {
    Main<QLineEdit>("edAb")->setText(QString::fromLatin1(ab));
    Main<QLineEdit>("edBis")->setText(QString::fromLatin1(bis));
    const QPoint at = g->viewport()->rect().center();
    QMouseEvent move(QEvent::MouseMove, at, g->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(g->viewport(), &move);
  }
};

TEST_F(Screenshot, TheLoadedTable) {
  Start();
  std::string text;
  const char* names[] = {"Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer", "Wagner"};
  const char* cities[] = {"Köln", "Hamburg", "München", "Berlin", "Dresden", "Kiel", "Ulm"};
  for (int i = 0; i < 60; ++i) {
    text += std::string(names[i % 7]) + ";" + cities[(i * 3) % 7] + ";" +
            std::to_string(1000 + i * 37) + ";" + std::to_string(i % 12 + 1) + "." +
            std::to_string(2020 + i % 6) + ";" + (i % 2 ? "ja" : "nein") + ";" +
            std::to_string(i * 1.5) + "\n";
  }
  LoadThroughButton(WriteFile(QStringLiteral("kunden.csv"), text));
  Save(Window(), "screenshot.png");
}

TEST_F(Screenshot, ARemoveAndAClearRun) {
  Start();
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), uitest::GridText(10, 6)));
  main_->resize(700, 420);
  QTest::mouseClick(Main<QToolButton>("sbLoeschen"), Qt::LeftButton);
  MarkRun(Grid1(), "2", "3");
  Save(Window(), "delete-panel.png");
  QTest::mouseClick(Main<QToolButton>("tbRow_Col"), Qt::LeftButton);
  Main<QRadioButton>("rbZeile")->setChecked(true);
  Main<QRadioButton>("rbInhalt")->setChecked(true);
  MarkRun(Grid2(), "3", "5");
  Save(Window(), "clear-rows.png");
}

TEST_F(Screenshot, TheInfoWindow) {
  Start();
  LoadThroughButton(WriteFile(QStringLiteral("zwei.csv"), "a;b\tc;d\ne;f\tg;h\n"));
  WithAbout([&] {
    QApplication::processEvents();
    Save(about_->grab().toImage(), "about.png");
    QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton);
  });
}

// The start view with the shipped sample page and its picture, served from
// 127.0.0.1.
TEST_F(Screenshot, TheBannerStrip) {
  QFile page(QStringLiteral(MARVESK_SAMPLE_BANNER));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QByteArray html = page.readAll();
  QByteArray logo;
  QBuffer buffer(&logo);
  buffer.open(QIODevice::WriteOnly);
  ui::ProgramIcon().pixmap(28, 28).save(&buffer, "PNG");
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  int answered = 0;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    QTcpSocket* s = server.nextPendingConnection();
    QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
      const bool picture = s->readAll().contains("logo.png");
      const QByteArray& body = picture ? logo : html;
      s->write(QByteArray("HTTP/1.1 200 OK\r\nContent-Type: ") +
               (picture ? "image/png" : "text/html; charset=utf-8") +
               "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
      s->disconnectFromHost();
      ++answered;
    });
  });
  qputenv("MARVESK_BANNER_HOST", "127.0.0.1:" + QByteArray::number(server.serverPort()));
  Reopen(main_->ProgramDir());
  qputenv("MARVESK_BANNER_HOST", "127.0.0.1:1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return answered == 2; }, 10000)) << "the page and its picture";
  QTest::qWait(200);  // the picture decoded and laid out
  Save(Window(), "banner.png");
}

}  // namespace
