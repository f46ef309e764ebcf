// One GET of a banner page or picture, over a socket of its own on the GUI
// thread. Qt's own HTTP engine reads a chunked answer on its worker thread
// for as long as the server keeps sending, past any limit and deaf to an
// abort; so the strip reads its answers itself: a buffer's worth at a time
// (core::HttpResponse), the size limit checked as the bytes come, one
// deadline for the whole request that no trickle of bytes puts off.
#ifndef MARVESK_UI_PLATFORM_HTTPGET_H_
#define MARVESK_UI_PLATFORM_HTTPGET_H_

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "core/HttpResponse.h"

class QAbstractSocket;

namespace ui {

class HttpGet final : public QObject {
  Q_OBJECT

 public:
  struct Limits {
    qint64 body_bytes = 0;
    int time_ms = 0;  // for the whole request, redirects included
    int redirects = 0;
  };

  // Requests `address` (http or https) once control is back in the event
  // loop; `finished` follows, never inside this call. Redirects are followed
  // only to http or https addresses. No cookies, no compression.
  HttpGet(const QUrl& address, const Limits& limits, QObject* parent);
  ~HttpGet() override;
  HttpGet(const HttpGet&) = delete;
  HttpGet& operator=(const HttpGet&) = delete;

  // Closes the connection at once; no signal follows.
  void Abort();

  // After finished: whether a whole 2xx answer came within the limits, and
  // that answer.
  bool ok() const { return ok_; }
  QByteArray body() const;
  QByteArray Header(const char* name) const;
  // The address asked for, and the one answered after redirects.
  const QUrl& address() const { return address_; }
  const QUrl& url() const { return url_; }

 signals:
  void finished();

 private:
  void Connect();
  void SendRequest();
  void ReadSome();
  void Closed();
  void Answered();
  void Finish(bool ok);
  void DropSocket();

  QUrl address_;
  QUrl url_;
  Limits limits_;
  int redirects_ = 0;
  QAbstractSocket* socket_ = nullptr;  // a child; one per address asked
  std::unique_ptr<core::HttpResponse> response_;
  QTimer deadline_;
  bool done_ = false;
  bool ok_ = false;
};

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_HTTPGET_H_
