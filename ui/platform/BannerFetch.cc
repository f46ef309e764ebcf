#include "ui/platform/BannerFetch.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>
#include <memory>

#include "core/Banner.h"
#include "core/ProductInfo.h"

namespace ui {

namespace {

// Neither keeps nor hands out cookies: a banner has no business tracking
// the user from one page to the next.
class NoCookies final : public QNetworkCookieJar {
 public:
  using QNetworkCookieJar::QNetworkCookieJar;
  QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
  bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

// Nothing larger, to keep a hostile image header from claiming memory.
constexpr int kMaxImageSide = 4096;
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
  if (!network_) {
    network_ = new QNetworkAccessManager(this);
    network_->setCookieJar(new NoCookies(network_));
    network_->setStrictTransportSecurityEnabled(false);
  }
  page_reply_ = Get(page, limits_.page_bytes);
  connect(page_reply_, &QNetworkReply::finished, this, &BannerFetch::PageFinished);
  return true;
}

QNetworkReply* BannerFetch::Get(const QUrl& address, qint64 max_bytes) {
  QNetworkRequest request(address);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::UserVerifiedRedirectPolicy);
  request.setMaximumRedirectsAllowed(limits_.redirects);
  request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  request.setHeader(QNetworkRequest::UserAgentHeader,
                    QByteArray(core::kProductName) + '/' + core::kProductVersion);
  QNetworkReply* reply = network_->get(request);
  bodies_.insert(reply, {});

  // Redirects only to the web, and no more than allowed (the manager counts
  // too; this keeps the rule in one place should the policy change).
  auto redirects = std::make_shared<int>(0);
  connect(reply, &QNetworkReply::redirected, reply, [this, reply, redirects](const QUrl& to) {
    if (IsWebAddress(to) && ++*redirects <= limits_.redirects) {
      reply->redirectAllowed();
    } else {
      reply->abort();
    }
  });
  // A declared length over the limit is refused before the body comes.
  connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, max_bytes] {
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > max_bytes) reply->abort();
  });
  connect(reply, &QNetworkReply::readyRead, this, [this, reply, max_bytes] {
    QByteArray& body = bodies_[reply];
    if (reply->isOpen()) body += reply->read(max_bytes + 1 - body.size());
    if (body.size() > max_bytes) reply->abort();
  });
  auto* limit = new QTimer(reply);
  limit->setSingleShot(true);
  connect(limit, &QTimer::timeout, reply, &QNetworkReply::abort);
  limit->start(limits_.time_ms);
  return reply;
}

void BannerFetch::Abort() {
  QList<QNetworkReply*> replies = image_replies_;
  if (page_reply_) replies.append(page_reply_);
  page_reply_ = nullptr;
  image_replies_.clear();
  for (QNetworkReply* reply : replies) {
    disconnect(reply, nullptr, this, nullptr);
    // A reply that failed on its own may not have said so yet.
    if (reply->isRunning()) reply->abort();
    Forget(reply);
  }
}

void BannerFetch::Forget(QNetworkReply* reply) {
  bodies_.remove(reply);
  reply->deleteLater();
}

namespace {

// The body of a reply that finished well: no error, a 2xx status.
bool Succeeded(QNetworkReply* reply) {
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
}

}  // namespace

void BannerFetch::PageFinished() {
  QNetworkReply* reply = page_reply_;
  page_reply_ = nullptr;
  if (!reply) return;
  QByteArray body = bodies_.value(reply);
  if (reply->isOpen()) body += reply->read(limits_.page_bytes + 1 - body.size());
  if (Succeeded(reply) && body.size() <= limits_.page_bytes) {
    page_url_ = reply->url();
    html_ = DecodePage(body, reply->rawHeader("Content-Type"));
  }
  Forget(reply);
  emit pageArrived();
}

void BannerFetch::FetchImages(const QList<QUrl>& addresses) {
  for (const QUrl& name : addresses) {
    const QUrl address = page_url_.resolved(name);
    if (image_replies_.size() >= limits_.images) break;
    if (!IsWebAddress(address)) continue;
    bool asked = images_.contains(address);
    for (QNetworkReply* r : image_replies_) asked = asked || r->property("address") == address;
    if (asked) continue;
    QNetworkReply* reply = Get(address, limits_.image_bytes);
    reply->setProperty("address", address);
    image_replies_.append(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { ImageFinished(reply); });
  }
  if (image_replies_.isEmpty()) emit imagesDone();
}

void BannerFetch::ImageFinished(QNetworkReply* reply) {
  if (!image_replies_.removeOne(reply)) return;
  QByteArray body = bodies_.value(reply);
  if (reply->isOpen()) body += reply->read(limits_.image_bytes + 1 - body.size());
  if (Succeeded(reply)) {
    const QImage image = DecodeImage(body, limits_.image_bytes);
    if (!image.isNull()) images_.insert(reply->property("address").toUrl(), image);
  }
  Forget(reply);
  if (image_replies_.isEmpty()) emit imagesDone();
}

QImage BannerFetch::DecodeImage(const QByteArray& bytes, qint64 max_bytes) {
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
  if (!size.isValid() || size.width() > kMaxImageSide || size.height() > kMaxImageSide) return {};
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
