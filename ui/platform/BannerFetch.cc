#include "ui/platform/BannerFetch.h"

#include <QBuffer>
#include <QImageReader>
#include <QStringDecoder>

#include "core/Banner.h"
#include "ui/platform/HttpGet.h"

namespace ui {

namespace {

constexpr int kImageAllocationMiB = 64;

}  // namespace

bool BannerFetch::IsWebAddress(const QUrl& address) {
  const QString scheme = address.scheme().toLower();
  return address.isValid() && !address.host().isEmpty() &&
         (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

BannerFetch::BannerFetch(QObject* parent) : QObject(parent) {}

BannerFetch::~BannerFetch() { Abort(); }

bool BannerFetch::Start(const QUrl& page) {
  Abort();
  html_.clear();
  page_url_ = QUrl();
  images_.clear();
  if (!IsWebAddress(page)) return false;
  page_get_ = Get(page, limits_.page_bytes);
  connect(page_get_, &HttpGet::finished, this, &BannerFetch::PageFinished);
  return true;
}

HttpGet* BannerFetch::Get(const QUrl& address, qint64 max_bytes) {
  return new HttpGet(address, {max_bytes, limits_.time_ms, limits_.redirects}, this);
}

void BannerFetch::Abort() {
  ++generation_;
  decode_queued_ = false;
  undecoded_.clear();
  QList<HttpGet*> gets = image_gets_;
  if (page_get_) gets.append(page_get_);
  page_get_ = nullptr;
  image_gets_.clear();
  for (HttpGet* get : gets) {
    get->Abort();
    get->deleteLater();
  }
}

void BannerFetch::PageFinished() {
  HttpGet* get = page_get_;
  page_get_ = nullptr;
  if (!get) return;
  if (get->ok()) {
    page_url_ = get->url();
    html_ = DecodePage(get->body(), get->Header("Content-Type"));
  }
  get->deleteLater();
  emit pageArrived();
}

void BannerFetch::FetchImages(const QList<QUrl>& addresses) {
  for (const QUrl& name : addresses) {
    const QUrl address = page_url_.resolved(name);
    if (image_gets_.size() >= limits_.images) break;
    if (!IsWebAddress(address)) continue;
    bool asked = images_.contains(address);
    for (HttpGet* g : image_gets_) asked = asked || g->address() == address;
    if (asked) continue;
    HttpGet* get = Get(address, limits_.image_bytes);
    image_gets_.append(get);
    connect(get, &HttpGet::finished, this, [this, get] { ImageFinished(get); });
  }
  if (image_gets_.isEmpty()) emit imagesDone();
}

void BannerFetch::ImageFinished(HttpGet* get) {
  if (!image_gets_.removeOne(get)) return;
  if (get->ok()) undecoded_.append({get->address(), get->body()});
  get->deleteLater();
  DecodeLater();
}

// One picture per turn of the event loop: a large one takes a while to
// decode, and the window answers in between.
void BannerFetch::DecodeLater() {
  if (decode_queued_) return;
  decode_queued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this, generation = generation_] {
        if (generation == generation_) DecodeNext();
      },
      Qt::QueuedConnection);
}

void BannerFetch::DecodeNext() {
  decode_queued_ = false;
  if (!undecoded_.isEmpty()) {
    const auto [address, bytes] = undecoded_.takeFirst();
    const QImage image = DecodeImage(bytes, limits_.image_bytes);
    if (!image.isNull()) images_.insert(address, image);
  }
  if (!undecoded_.isEmpty()) {
    DecodeLater();
  } else if (image_gets_.isEmpty()) {
    emit imagesDone();
  }
}

QImage BannerFetch::DecodeImage(const QByteArray& bytes, qint64 max_bytes, QSize largest) {
  if (bytes.isEmpty() || bytes.size() > max_bytes) return {};
  QBuffer buffer;
  buffer.setData(bytes);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  reader.setAllocationLimit(kImageAllocationMiB);
  // Plain bitmaps only: no vector formats that may refer to other files.
  const QByteArray format = reader.format().toLower();
  if (format != "png" && format != "jpeg" && format != "jpg" && format != "gif" &&
      format != "bmp") {
    return {};
  }
  const QSize size = reader.size();
  if (!size.isValid() || size.width() > largest.width() || size.height() > largest.height()) {
    return {};
  }
  // A picture is never shown larger than the strip, so it is not held
  // larger either: sixteen of 4096 x 4096 would take a gigabyte. Twice the
  // strip's pixels keep it sharp on a screen of double density.
  const QSize strip(core::kBannerPageWidth, core::kBannerStripHeight);
  if (size.width() <= strip.width() && size.height() <= strip.height()) return reader.read();
  const QSize shown = size.scaled(strip, Qt::KeepAspectRatio).expandedTo({1, 1});
  reader.setScaledSize(
      size.boundedTo(size.scaled(strip * 2, Qt::KeepAspectRatio)).expandedTo({1, 1}));
  QImage image = reader.read();
  if (!image.isNull()) image.setDevicePixelRatio(static_cast<qreal>(image.width()) / shown.width());
  return image;
}

namespace {

// "text/html; charset=ISO-8859-1" -> type "text/html", charset "ISO-8859-1".
void SplitContentType(const QByteArray& header, QByteArray& type, QByteArray& charset) {
  const QList<QByteArray> parts = header.split(';');
  type = parts.value(0).trimmed().toLower();
  for (qsizetype i = 1; i < parts.size(); ++i) {
    const QByteArray part = parts[i].trimmed();
    if (part.size() > 8 && part.left(8).toLower() == "charset=") {
      charset = part.mid(8).trimmed();
      if (charset.size() >= 2 && (charset.startsWith('"') || charset.startsWith('\''))) {
        charset = charset.mid(1, charset.size() - 2);
      }
    }
  }
}

QString DecodeWith(QStringDecoder& decoder, const QByteArray& body, bool& ok) {
  ok = false;
  if (!decoder.isValid()) return {};
  QString text = decoder.decode(body);
  ok = !decoder.hasError();
  return text;
}

}  // namespace

QString BannerFetch::DecodePage(const QByteArray& body, const QByteArray& content_type) {
  QByteArray type;
  QByteArray charset;
  SplitContentType(content_type, type, charset);
  if (type != "text/html" && type != "application/xhtml+xml") return {};
  bool ok = false;
  QString text;
  if (!charset.isEmpty()) {
    QStringDecoder declared(charset.constData());
    text = DecodeWith(declared, body, ok);
  } else {
    QStringDecoder detected = QStringDecoder::decoderForHtml(body);
    text = DecodeWith(detected, body, ok);
    if (!ok) {
      // Undeclared and not UTF-8: the German pages of old were Windows-1252.
      QStringDecoder windows("windows-1252");
      text = DecodeWith(windows, body, ok);
    }
  }
  // A NUL character is no part of a page: what holds one is binary.
  if (!ok || text.contains(QChar(0))) return {};
  return text;
}

}  // namespace ui
