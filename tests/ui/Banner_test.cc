// The banner strip against a small HTTP server run by the test itself on
// 127.0.0.1: the pages it asks for, and what a hostile or broken server
// cannot make it do.
#include "core/Banner.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QScrollBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "UiTestSupport.h"
#include "ui/ProgramArt.h"
#include "ui/platform/BannerFetch.h"
#include "ui/ut_About.h"

namespace {

using uitest::WindowTest;

// What the server does with a request.
struct Answer {
  enum class Kind {
    kFull,    // head, the length, the body
    kSilent,  // reads the request and never answers
    kHalf,    // promises a longer body, sends a little, hangs up
    kFlood,   // head, then ten megabytes and a hang-up
    kChunks,  // head, then one-byte chunks as fast as the socket takes them
    kDrip,    // head, then a one-byte chunk every 20 ms, without end
  };
  Kind kind = Kind::kFull;
  QByteArray head;  // status line and headers, without the blank line
  QByteArray body;
};

Answer Page(const QByteArray& body, const QByteArray& type = "text/html; charset=utf-8",
            const QByteArray& extra = {}) {
  return {Answer::Kind::kFull, "HTTP/1.1 200 OK\r\nContent-Type: " + type + extra, body};
}

Answer Redirect(const QByteArray& location) {
  return {Answer::Kind::kFull, "HTTP/1.1 302 Found\r\nLocation: " + location, {}};
}

QByteArray Png(QColor colour, int width, int height = 0) {
  QImage image(width, height ? height : width, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

class HttpServer {
 public:
  struct Request {
    QByteArray path;
    QByteArray head;  // request line and headers
  };

  HttpServer() {
    EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
    QObject::connect(&server_, &QTcpServer::newConnection, [this] { Accept(); });
  }

  // The connections go before the bookkeeping their handlers use.
  ~HttpServer() {
    for (QTcpSocket* s : server_.findChildren<QTcpSocket*>()) {
      QObject::disconnect(s, nullptr, nullptr, nullptr);
      delete s;
    }
  }
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }

  // By path; a path not listed gets `fallback`, or a 404 page without one.
  QHash<QByteArray, Answer> answers;
  std::optional<Answer> fallback;
  std::vector<Request> requests;
  int hang_ups = 0;     // connections the program closed
  qint64 streamed = 0;  // bytes of kChunks answers the system took

 private:
  void Accept() {
    while (QTcpSocket* s = server_.nextPendingConnection()) {
      QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Read(s); });
      QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
        if (!answered_.contains(s)) ++hang_ups;
        s->deleteLater();
      });
    }
  }

  void Read(QTcpSocket* s) {
    QByteArray& buffer = buffers_[s];
    buffer += s->readAll();
    qsizetype end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
      const QByteArray head = buffer.left(end);
      buffer.remove(0, end + 4);
      const QByteArray path = head.split(' ').value(1);
      requests.push_back({path, head});
      Answer a = answers.value(
          path, fallback.value_or(Answer{Answer::Kind::kFull,
                                         "HTTP/1.1 404 Not Found\r\nContent-Type: text/html",
                                         "<p>GEHEIM 404</p>"}));
      Send(s, a);
    }
  }

  void Send(QTcpSocket* s, const Answer& a) {
    switch (a.kind) {
      case Answer::Kind::kSilent:
        return;
      case Answer::Kind::kFull:
        s->write(a.head + "\r\nContent-Length: " + QByteArray::number(a.body.size()) + "\r\n\r\n" +
                 a.body);
        return;
      case Answer::Kind::kHalf:
        answered_.insert(s);
        s->write(a.head + "\r\nContent-Length: 100000\r\n\r\n" + a.body);
        s->disconnectFromHost();
        return;
      case Answer::Kind::kFlood:
        answered_.insert(s);
        s->write(a.head + "\r\nConnection: close\r\n\r\n");
        s->write(QByteArray(10 * 1024 * 1024, 'x').prepend(a.body));
        s->disconnectFromHost();
        return;
      case Answer::Kind::kChunks:
        s->write(a.head + "\r\nTransfer-Encoding: chunked\r\n\r\n");
        QObject::connect(s, &QTcpSocket::bytesWritten, s, [this, s](qint64 n) {
          streamed += n;
          Stream(s);
        });
        Stream(s);
        return;
      case Answer::Kind::kDrip: {
        s->write(a.head + "\r\nTransfer-Encoding: chunked\r\n\r\n");
        auto* drip = new QTimer(s);
        QObject::connect(drip, &QTimer::timeout, s, [s] { s->write("1\r\nx\r\n"); });
        drip->start(20);
        return;
      }
    }
  }

  // Keeps a block on its way; stops at 256 MB, so a reader that never stops
  // still lets the test end.
  void Stream(QTcpSocket* s) {
    static const QByteArray block = QByteArray("1\r\nx\r\n").repeated(10000);
    if (s->bytesToWrite() < block.size() && streamed < (256 << 20)) s->write(block);
  }

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> buffers_;
  QSet<QTcpSocket*> answered_;
};

const QByteArray kPagePath = "/Banner/BanLang/BanLang_";

class BannerTest : public WindowTest {
 protected:
  void SetUp() override {
    server_ = std::make_unique<HttpServer>();
    qputenv("MARVESK_BANNER_HOST", server_->host().toLatin1());
    WindowTest::SetUp();
    qputenv("MARVESK_BANNER_HOST", "127.0.0.1:1");
    ui::BannerFetch* fetch = Part<ui::BannerStrip>("BannerStrip").fetch();
    QObject::connect(fetch, &ui::BannerFetch::pageArrived, [this] { ++pages_; });
    QObject::connect(fetch, &ui::BannerFetch::imagesDone, [this] { ++documents_; });
  }

  // Processes events until `done` holds (at most 10 s); tracks the longest
  // pause of the event loop meanwhile.
  bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer since;
    since.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longest_pause_ = std::max(longest_pause_, since.restart()); });
    tick.start(5);
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
  }

  bool WaitForDocument(int n) {
    return WaitFor([&] { return documents_ >= n; });
  }

  QString Shown() const { return Main<ui::BannerView>("WebBrowser1")->toPlainText().trimmed(); }

  bool ScrollBarsOff() const {
    const ui::BannerView* v = Main<ui::BannerView>("WebBrowser1");
    return v->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
           v->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff;
  }

  QUrl Address(const QByteArray& path) const {
    return QUrl(QStringLiteral("http://") + server_->host() + QString::fromLatin1(path));
  }

  std::unique_ptr<HttpServer> server_;
  int pages_ = 0;
  int documents_ = 0;
  qint64 longest_pause_ = 0;
};

TEST_F(BannerTest, RequestsPageOneAtStartThenTheNextInTurnWithoutCookies) {
  for (int i = 1; i <= 4; ++i) {
    server_->answers[kPagePath + QByteArray::number(i) + ".html"] =
        Page("<p>Seite " + QByteArray::number(i) + "</p>", "text/html; charset=utf-8",
             "\r\nSet-Cookie: spur=" + QByteArray::number(i) + "; Path=/");
  }
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  ASSERT_EQ(server_->requests.size(), 1u);
  EXPECT_EQ(server_->requests[0].path, "/Banner/BanLang/BanLang_1.html");
  EXPECT_TRUE(server_->requests[0].head.contains("\r\nHost: " + server_->host().toLatin1()));
  EXPECT_EQ(Part<ui::BannerStrip>("BannerStrip").banner_index(), 1);
  EXPECT_EQ(Shown(), QStringLiteral("Seite 1"));
  EXPECT_TRUE(ScrollBarsOff());

  for (int expected : {2, 3, 4, 1}) {
    Part<ui::BannerStrip>("BannerStrip").NextBanner();
    EXPECT_EQ(pages_, documents_) << "nothing arrives inside the call";
    ASSERT_TRUE(WaitForDocument(documents_ + 1));
    EXPECT_EQ(Part<ui::BannerStrip>("BannerStrip").banner_index(), expected);
    EXPECT_EQ(server_->requests.back().path, kPagePath + QByteArray::number(expected) + ".html");
    EXPECT_EQ(Shown(), QStringLiteral("Seite %1").arg(expected));
  }
  EXPECT_EQ(server_->requests.size(), 5u);
  for (const HttpServer::Request& r : server_->requests) {
    EXPECT_FALSE(r.head.toLower().contains("\r\ncookie:")) << r.head.toStdString();
  }
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(BannerTest, NoRequestWhileBannersAreOff) {
  WriteFile(QStringLiteral("Einstel_QZR.FRB"), "\r\n1\r\n1\r\nSemikolon\r\n \r\n2\r\n2\r\n\r\n");
  server_->fallback = Page("<p>Seite</p>");
  Start();
  ASSERT_TRUE(main_->settings().hide_banner);
  QTest::qWait(200);
  Part<ui::BannerStrip>("BannerStrip").NextBanner();
  QTest::qWait(200);
  EXPECT_TRUE(server_->requests.empty());
  EXPECT_EQ(Part<ui::BannerStrip>("BannerStrip").banner_index(), 0);
  EXPECT_TRUE(Main<QFrame>("plWerbung")->isHidden());
}

TEST_F(BannerTest, LadenHidesTheStripAndStopsThePageTheInfoWindowShowsItAgain) {
  server_->fallback = Answer{Answer::Kind::kSilent, {}, {}};
  Start();
  ASSERT_TRUE(WaitFor([&] { return server_->requests.size() == 1; }));
  prompter_.open_answers.push_back(std::nullopt);  // the dialog cancelled
  QTest::mouseClick(Main<QToolButton>("sbLaden_TXT"), Qt::LeftButton);
  EXPECT_TRUE(Main<QFrame>("plWerbung")->isHidden());
  EXPECT_TRUE(WaitFor([&] { return server_->hang_ups == 1; })) << "the request goes with it";

  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), "a;b\n"));
  EXPECT_TRUE(Main<QFrame>("plWerbung")->isHidden());
  Part<ui::BannerStrip>("BannerStrip").NextBanner();

  QTimer::singleShot(0, about_,
                     [&] { QTest::mouseClick(About<QPushButton>("OKButton"), Qt::LeftButton); });
  QTest::mouseClick(Main<QToolButton>("sbAbout"), Qt::LeftButton);
  EXPECT_FALSE(Main<QFrame>("plWerbung")->isHidden()) << "banners are allowed";
  QTest::qWait(100);
  EXPECT_EQ(server_->requests.size(), 1u) << "showing the strip again requests nothing";
  EXPECT_EQ(Part<ui::BannerStrip>("BannerStrip").banner_index(), 1);
  EXPECT_EQ(pages_, 0);
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(BannerTest, HostileOrBrokenServersLeaveAnEmptyStripAndNoMessage) {
  server_->fallback = Page("<p>Seite</p>");
  Part<ui::BannerStrip>("BannerStrip").fetch()->SetLimits({.time_ms = 400});
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  ASSERT_EQ(Shown(), QStringLiteral("Seite"));
  struct Case {
    const char* name;
    Answer page;
  };
  const Case cases[] = {
      {"never answers", {Answer::Kind::kSilent, {}, {}}},
      {"ten megabytes",
       {Answer::Kind::kFlood, "HTTP/1.1 200 OK\r\nContent-Type: text/html", "<p>GEHEIM</p>"}},
      {"ten megabytes declared", Page("<p>GEHEIM</p>" + QByteArray(10 << 20, 'x'))},
      {"redirect to a local file", Redirect("file:///etc/passwd")},
      {"four redirects", Redirect("/r1")},
      {"closes mid-answer",
       {Answer::Kind::kHalf, "HTTP/1.1 200 OK\r\nContent-Type: text/html", "<p>GEHEIM</p>"}},
      {"not HTML", Page("<p>GEHEIM</p>", "application/octet-stream")},
      {"no type", {Answer::Kind::kFull, "HTTP/1.1 200 OK\r\nX-Nichts: 1", "<p>GEHEIM</p>"}},
      {"declared UTF-8, is not", Page("<p>GEHEIM \xc3\x28</p>")},
      {"unknown character set", Page("<p>GEHEIM</p>", "text/html; charset=x-unsinn")},
      {"binary", Page(QByteArray("<p>GEHEIM</p>\0\0\0", 16), "text/html")},
      {"not found",
       {Answer::Kind::kFull, "HTTP/1.1 404 Not Found\r\nContent-Type: text/html", "<p>GEHEIM</p>"}},
      {"a byte now and then",
       {Answer::Kind::kDrip, "HTTP/1.1 200 OK\r\nContent-Type: text/html", {}}},
  };
  server_->answers["/r1"] = Redirect("/r2");
  server_->answers["/r2"] = Redirect("/r3");
  server_->answers["/r3"] = Redirect("/r4");
  server_->answers["/r4"] = Page("<p>GEHEIM zu weit</p>");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server_->fallback = c.page;
    const size_t before = server_->requests.size();
    Part<ui::BannerStrip>("BannerStrip").NextBanner();
    EXPECT_EQ(pages_, documents_) << "nothing arrives inside the call";
    ASSERT_TRUE(WaitForDocument(documents_ + 1));
    EXPECT_EQ(Shown(), QString());
    EXPECT_TRUE(ScrollBarsOff());
    for (size_t i = before; i < server_->requests.size(); ++i) {
      EXPECT_NE(server_->requests[i].path, "/r4");
    }
  }
  EXPECT_LT(longest_pause_, 3000) << "the window kept handling events";
  EXPECT_TRUE(prompter_.messages.empty());
  // Still usable afterwards.
  LoadThroughButton(WriteFile(QStringLiteral("t.txt"), "a;b\n"));
  EXPECT_FALSE(Grid1()->isHidden());
}

QByteArray Repeat(const QByteArray& part, int times) {
  QByteArray text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

// Pages under the page size limit that kept the window in the layout for
// seconds to minutes: what reaches the view is a few elements that fit the
// strip.
TEST_F(BannerTest, PagesThatWouldFloodTheLayoutReachTheViewBounded) {
  const struct {
    const char* name;
    QByteArray page;
  } cases[] = {
      {"4000 pictures of 4096 pixels",
       Repeat("<img src=\"/img/big.png\" width=\"4096\" height=\"4096\">", 4000)},
      {"5000 small pictures", Repeat("<img src=\"/i.png\">", 5000)},
      {"deep nesting", Repeat("<table><tr><td>", 15000)},
      {"cells", "<table><tr>" + Repeat("<td colspan=99 style=\"padding:99999px\">x", 6000)},
      {"huge fonts and margins", Repeat("<p style=\"font-size:99999px; margin:99999px\">W", 5000)},
      {"one long word", "<p>" + QByteArray(200000, 'x')},
  };
  server_->answers["/img/big.png"] = {
      Answer::Kind::kFull, "HTTP/1.1 200 OK\r\nContent-Type: image/png", Png(Qt::red, 8)};
  server_->fallback = Page("<p>Seite</p>");
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LT(c.page.size(), 256 * 1024);
    server_->fallback = Page(c.page);
    Part<ui::BannerStrip>("BannerStrip").NextBanner();
    ASSERT_TRUE(WaitForDocument(documents_ + 1));
    const QTextDocument* doc = Main<ui::BannerView>("WebBrowser1")->document();
    EXPECT_LE(doc->characterCount(), 4096 + 2 * 512);
    int images = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (!format.isImageFormat()) continue;
        images += it.fragment().length();
        EXPECT_LE(format.toImageFormat().width(), core::kBannerPageWidth);
        EXPECT_LE(format.toImageFormat().height(), core::kBannerStripHeight);
      }
    }
    EXPECT_LE(images, 32);
  }
  EXPECT_LT(longest_pause_, 3000) << "the window kept handling events";
  EXPECT_TRUE(prompter_.messages.empty());
}

// One-byte chunks as fast as the socket takes them kept Qt's HTTP engine
// reading on its own thread past every limit and every abort. The program
// drops the answer and closes the connection, having read little of it.
TEST_F(BannerTest, AnEndlessStreamOfTinyChunksIsCutOff) {
  server_->fallback = {Answer::Kind::kChunks, "HTTP/1.1 200 OK\r\nContent-Type: text/html", {}};
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  EXPECT_EQ(Shown(), QString());
  EXPECT_TRUE(WaitFor([&] { return server_->hang_ups == 1; })) << "the connection is closed";
  EXPECT_LT(server_->streamed, 4 << 20) << "no more than the system's buffers held";
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(BannerTest, PageShowsTextAndWebImagesButRunsNoScriptAndReadsNoFile) {
  // A picture on this machine the page names: it must never show.
  const QString local = WriteFile(QStringLiteral("lokal.png"), Png(Qt::magenta, 20).toStdString());
  QByteArray html =
      "<html><head><script>document.write('BOESE')</script>"
      "<link rel=stylesheet href=\"file:///etc/passwd\"></head><body>"
      "<p>Hallo Banner <img src=\"../bild.png\" width=20 height=20>"
      "<img src=\"file:///etc/passwd\"><img src=\"qrc:/art/marvesk.svg\">"
      "<img src=\"" +
      QUrl::fromLocalFile(local).toEncoded() +
      "\" width=20 height=20>"
      "<img src=\"data:image/png;base64," +
      Png(Qt::blue, 2).toBase64() + "\">";
  for (int i = 0; i < 20; ++i) html += "<img src=\"/viele/" + QByteArray::number(i) + ".png\">";
  html += "</p></body></html>";
  server_->answers[kPagePath + "1.html"] = Page(html);
  server_->answers["/Banner/bild.png"] = {
      Answer::Kind::kFull, "HTTP/1.1 200 OK\r\nContent-Type: image/png", Png(Qt::red, 20)};
  server_->fallback = {Answer::Kind::kFull, "HTTP/1.1 200 OK\r\nContent-Type: image/png",
                       Png(Qt::green, 4)};
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  EXPECT_TRUE(Shown().startsWith(QStringLiteral("Hallo Banner"))) << Shown().toStdString();
  EXPECT_FALSE(Shown().contains(QStringLiteral("BOESE")));
  EXPECT_FALSE(Shown().contains(QStringLiteral("root:")));
  // The page, then web images up to the limit, the first one among them.
  ASSERT_EQ(server_->requests.size(), 1u + 16u);
  bool first_image = false;
  for (size_t i = 1; i < server_->requests.size(); ++i) {
    const QByteArray& path = server_->requests[i].path;
    EXPECT_TRUE(path.startsWith("/viele/") || path == "/Banner/bild.png") << path.data();
    first_image = first_image || path == "/Banner/bild.png";
  }
  EXPECT_TRUE(first_image);
  const QImage image =
      Part<ui::BannerStrip>("BannerStrip").fetch()->Image(Address("/Banner/bild.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::red));

  const QImage shown = Main<ui::BannerView>("WebBrowser1")->viewport()->grab().toImage();
  bool red = false;
  bool blue = false;
  bool magenta = false;
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      red = red || shown.pixelColor(x, y) == QColor(Qt::red);
      blue = blue || shown.pixelColor(x, y) == QColor(Qt::blue);
      magenta = magenta || shown.pixelColor(x, y) == QColor(Qt::magenta);
    }
  }
  EXPECT_TRUE(red) << "the fetched image is shown";
  EXPECT_TRUE(blue) << "the small inline image is shown";
  EXPECT_FALSE(magenta) << "a local file was read";
  EXPECT_TRUE(prompter_.messages.empty());
}

// Sixteen pictures of 4096 x 4096 pixels would hold a gigabyte once decoded:
// each is held at twice the strip's size at most, and shows at its size.
TEST_F(BannerTest, PicturesAreHeldNoLargerThanTheStrip) {
  QByteArray html = "<p><img src=\"/b/0.png\" width=28 height=28>";
  for (int i = 1; i < 16; ++i) html += "<img src=\"/b/" + QByteArray::number(i) + ".png\">";
  server_->answers[kPagePath + "1.html"] = Page(html);
  server_->fallback = {Answer::Kind::kFull, "HTTP/1.1 200 OK\r\nContent-Type: image/png",
                       Png(Qt::red, 4096)};
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  ASSERT_EQ(server_->requests.size(), 17u);
  qint64 held = 0;
  for (int i = 0; i < 16; ++i) {
    const QImage image = Part<ui::BannerStrip>("BannerStrip")
                             .fetch()
                             ->Image(Address("/b/" + QByteArray::number(i) + ".png"));
    ASSERT_EQ(image.size(), QSize(68, 68)) << i;
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(34, 34));
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::red));
    held += image.sizeInBytes();
  }
  EXPECT_LE(held, 16 * 68 * 68 * 4);
  // One line of pictures: the first as declared, the others as high as the strip.
  const QTextDocument* doc = Main<ui::BannerView>("WebBrowser1")->document();
  EXPECT_LT(doc->idealWidth(), 28 + 15 * 34 + 20);
  EXPECT_LT(doc->size().height(), 34 + 20);
}

TEST_F(BannerTest, LinksOpenInTheWebBrowserNeverInTheStrip) {
  server_->answers[kPagePath + "1.html"] = Page(
      "<p><a href=\"/Mehr.html\">Mehr</a> <a href=\"javascript:alert(1)\">Skript</a> "
      "<a href=\"file:///etc/passwd\">Datei</a></p>");
  Start();
  ASSERT_TRUE(WaitForDocument(1));
  ui::BannerView* view = Main<ui::BannerView>("WebBrowser1");
  const QString before = Shown();
  // Clicks the middle of each link's text.
  for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (!f.charFormat().isAnchor()) continue;
      QTextCursor c(view->document());
      c.setPosition(f.position() + f.length() / 2);
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(c).center());
    }
  }
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0].file, Address("/Mehr.html").toString());
  EXPECT_EQ(Shown(), before);
  QTest::qWait(50);
  EXPECT_EQ(server_->requests.size(), 1u);
}

TEST_F(BannerTest, SpacersFollowTheOuterWidth) {
  Start();
  const int frame = main_->frameGeometry().width() - main_->width();
  const struct {
    int outer, left, right;
  } cases[] = {{923, 85, 86}, {1000, 124, 124}, {1001, 124, 125}, {760, 4, 4},
               {754, 1, 1},   {753, 1, 0},      {700, 1, 0}};
  for (const auto& c : cases) {
    main_->resize(c.outer - frame, main_->height());
    QCoreApplication::processEvents();
    ASSERT_EQ(main_->frameGeometry().width(), c.outer);
    EXPECT_EQ(Main<QFrame>("plL")->width(), c.left) << c.outer;
    EXPECT_EQ(Main<QFrame>("plR")->width(), c.right) << c.outer;
  }
}

TEST_F(BannerTest, ClosingWithAPageOnItsWayDropsTheViewAndWritesTheSettings) {
  server_->fallback = Answer{Answer::Kind::kSilent, {}, {}};
  Start();
  ASSERT_TRUE(WaitFor([&] { return server_->requests.size() == 1; }));
  main_->close();
  EXPECT_EQ(main_->findChild<ui::BannerView*>(QStringLiteral("WebBrowser1")), nullptr);
  EXPECT_EQ(Part<ui::BannerStrip>("BannerStrip").fetch(), nullptr);
  EXPECT_FALSE(ReadFile(main_->ProgramDir() + QStringLiteral("Einstel_QZR.FRB")).empty());
  EXPECT_TRUE(WaitFor([&] { return server_->hang_ups == 1; }));
  Part<ui::BannerStrip>("BannerStrip").NextBanner();  // nothing left to ask with
  EXPECT_EQ(server_->requests.size(), 1u);
}

TEST(BannerDecoding, PagesDecodeInTheirCharacterSetOrNotAtAll) {
  const struct {
    QByteArray type;
    QByteArray body;
    QString text;  // empty: shown as an empty strip
  } cases[] = {
      {"text/html; charset=utf-8", "<p>\xc3\xa4</p>", QStringLiteral("<p>ä</p>")},
      {"TEXT/HTML; Charset=\"ISO-8859-1\"", "<p>\xe4</p>", QStringLiteral("<p>ä</p>")},
      {"text/html", "<meta charset=\"windows-1252\"><p>\x80</p>",
       QStringLiteral("<meta charset=\"windows-1252\"><p>€</p>")},
      {"text/html", "<p>\xe4</p>", QStringLiteral("<p>ä</p>")},  // undeclared, not UTF-8
      {"application/xhtml+xml", "<p>x</p>", QStringLiteral("<p>x</p>")},
      {"text/plain", "<p>x</p>", {}},
      {"", "<p>x</p>", {}},
      {"text/html; charset=utf-8", "<p>\xe4</p>", {}},
      {"text/html; charset=x-unsinn", "<p>x</p>", {}},
      {"text/html", QByteArray("<p>\0</p>", 8), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ui::BannerFetch::DecodePage(c.body, c.type), c.text)
        << c.type.data() << c.body.data();
  }
}

TEST(BannerDecoding, ImagesArePlainBitmapsWithinTheLimit) {
  EXPECT_FALSE(ui::BannerFetch::DecodeImage(Png(Qt::red, 8), 1000).isNull());
  EXPECT_TRUE(ui::BannerFetch::DecodeImage(Png(Qt::red, 8), 10).isNull()) << "over the limit";
  EXPECT_TRUE(
      ui::BannerFetch::DecodeImage("<svg xmlns=\"http://www.w3.org/2000/svg\"/>", 1000).isNull());
  EXPECT_TRUE(ui::BannerFetch::DecodeImage("GEHEIM", 1000).isNull());
  EXPECT_TRUE(ui::BannerFetch::DecodeImage(Png(Qt::red, 4097, 1), 1 << 30).isNull()) << "too large";
  EXPECT_FALSE(ui::BannerFetch::DecodeImage(Png(Qt::red, 8), 1000, {8, 8}).isNull());
  EXPECT_TRUE(ui::BannerFetch::DecodeImage(Png(Qt::red, 8, 9), 1000, {8, 8}).isNull());
}

TEST(BannerDecoding, PicturesLargerThanTheStripComeScaledToFitIt) {
  const struct {
    QSize source;
    QSize pixels;
    QSizeF shown;
  } cases[] = {
      {{8, 8}, {8, 8}, {8, 8}},
      {{752, 34}, {752, 34}, {752, 34}},
      {{4096, 4096}, {68, 68}, {34, 34}},
      {{3008, 136}, {1504, 68}, {752, 34}},
      {{1504, 34}, {1504, 34}, {752, 17}},
      {{4096, 1}, {1504, 1}, {752, 0.5}},
  };
  for (const auto& c : cases) {
    const QImage image =
        ui::BannerFetch::DecodeImage(Png(Qt::red, c.source.width(), c.source.height()), 1 << 20);
    EXPECT_EQ(image.size(), c.pixels) << c.source.width() << "x" << c.source.height();
    EXPECT_EQ(image.deviceIndependentSize(), c.shown)
        << c.source.width() << "x" << c.source.height();
  }
}

}  // namespace
