// Fetches a banner page and the images it shows from a server the program
// does not control, so everything about it is limited: time, size, number of
// images, redirects (only to http and https), no cookies kept or sent. All of
// it runs asynchronously on the GUI thread (HttpGet); nothing here ever
// waits.
#ifndef MARVESK_UI_PLATFORM_BANNERFETCH_H_
#define MARVESK_UI_PLATFORM_BANNERFETCH_H_

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QUrl>
#include <utility>

namespace ui {

class HttpGet;

struct BannerLimits {
  int time_ms = 10000;  // for the page, and again for each image
  qint64 page_bytes = 256 * 1024;
  qint64 image_bytes = 512 * 1024;
  int images = 16;
  int redirects = 3;
};

class BannerFetch : public QObject {
  Q_OBJECT

 public:
  explicit BannerFetch(QObject* parent = nullptr);
  ~BannerFetch() override;
  BannerFetch(const BannerFetch&) = delete;
  BannerFetch& operator=(const BannerFetch&) = delete;

  void SetLimits(const BannerLimits& limits) { limits_ = limits; }
  const BannerLimits& limits() const { return limits_; }

  // Stops whatever is running and requests `page`. False (and nothing
  // requested) for an address that is not http or https.
  bool Start(const QUrl& page);
  // Stops the page or the images still on their way, without a signal.
  void Abort();

  // After pageArrived: the page as text, empty when it failed, is not HTML
  // or cannot be decoded; and its address after redirects.
  const QString& html() const { return html_; }
  const QUrl& page_url() const { return page_url_; }

  // Requests the images the page names, resolved against its address: only
  // http and https, each once, at most `limits().images`. imagesDone follows
  // when all have arrived or failed, at once when there is none.
  void FetchImages(const QList<QUrl>& addresses);
  // An image fetched by FetchImages (null when it was not or failed).
  QImage Image(const QUrl& address) const { return images_.value(address); }

  // An http or https address with a host: the only kind the strip asks for
  // or hands on.
  static bool IsWebAddress(const QUrl& address);
  // Decodes an image of at most `max_bytes` and at most `largest` pixels in
  // one of the plain bitmap formats; null for anything else. One larger than
  // the strip comes scaled down to fit it (at most twice its pixels, the
  // device pixel ratio saying so), keeping its proportions.
  static QImage DecodeImage(const QByteArray& bytes, qint64 max_bytes,
                            QSize largest = {kMaxImageSide, kMaxImageSide});
  // Nothing larger, to keep a hostile image header from claiming memory.
  static constexpr int kMaxImageSide = 4096;
  // The text of an HTML page given its Content-Type header: empty when the
  // type is not HTML or the bytes do not decode in the declared (or, without
  // a declaration, detected) character set.
  static QString DecodePage(const QByteArray& body, const QByteArray& content_type);

 signals:
  // The page's response is complete, successfully or not.
  void pageArrived();
  // Every image of FetchImages has arrived or failed.
  void imagesDone();

 private:
  HttpGet* Get(const QUrl& address, qint64 max_bytes);
  void PageFinished();
  void ImageFinished(HttpGet* get);
  void DecodeLater();
  void DecodeNext();

  BannerLimits limits_;
  HttpGet* page_get_ = nullptr;
  QList<HttpGet*> image_gets_;
  QString html_;
  QUrl page_url_;
  QHash<QUrl, QImage> images_;
  QList<std::pair<QUrl, QByteArray>> undecoded_;  // arrived, decoded one at a time
  bool decode_queued_ = false;
  int generation_ = 0;  // of the page; a decode queued for an earlier one is void
};

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_BANNERFETCH_H_
