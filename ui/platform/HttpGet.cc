#include "ui/platform/HttpGet.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <string_view>

#include "core/ProductInfo.h"
#include "ui/platform/BannerFetch.h"

namespace ui {

namespace {

// The socket buffers no more than this and one read takes it all, so the
// work of one event stays small whatever the server sends.
constexpr qint64 kReadChunk = 64 * 1024;

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view View(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

}  // namespace

HttpGet::HttpGet(const QUrl& address, const Limits& limits, QObject* parent)
    : QObject(parent), address_(address), url_(address), limits_(limits) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] { Finish(false); });
  deadline_.start(limits_.time_ms);
  QMetaObject::invokeMethod(this, &HttpGet::Connect, Qt::QueuedConnection);
}

HttpGet::~HttpGet() { Abort(); }

void HttpGet::Abort() {
  done_ = true;
  deadline_.stop();
  DropSocket();
}

void HttpGet::DropSocket() {
  if (!socket_) return;
  socket_->disconnect(this);
  socket_->abort();
  socket_->deleteLater();  // perhaps inside one of its signals
  socket_ = nullptr;
}

QByteArray HttpGet::body() const {
  return response_ ? QByteArray::fromStdString(response_->body()) : QByteArray();
}

QByteArray HttpGet::Header(const char* name) const {
  return response_ ? QByteArray::fromStdString(response_->Header(name)) : QByteArray();
}

void HttpGet::Connect() {
  if (done_) return;
  response_ = std::make_unique<core::HttpResponse>(
      core::HttpLimits{.body_bytes = static_cast<size_t>(limits_.body_bytes)});
  const bool https = url_.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
  if (https && !QSslSocket::supportsSsl()) {
    Finish(false);
    return;
  }
  QAbstractSocket* socket = https ? new QSslSocket(this) : new QTcpSocket(this);
  socket_ = socket;
  socket->setReadBufferSize(kReadChunk);
  connect(socket, &QAbstractSocket::readyRead, this, &HttpGet::ReadSome);
  connect(socket, &QAbstractSocket::disconnected, this, &HttpGet::Closed);
  connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
    if (e == QAbstractSocket::RemoteHostClosedError) {
      Closed();
    } else {
      Finish(false);  // also a certificate that does not check out
    }
  });
  const quint16 port = static_cast<quint16>(url_.port(https ? 443 : 80));
  if (auto* ssl = qobject_cast<QSslSocket*>(socket)) {
    connect(ssl, &QSslSocket::encrypted, this, &HttpGet::SendRequest);
    ssl->connectToHostEncrypted(url_.host(), port);
  } else {
    connect(socket, &QAbstractSocket::connected, this, &HttpGet::SendRequest);
    socket->connectToHost(url_.host(), port);
  }
}

void HttpGet::SendRequest() {
  QByteArray path =
      url_.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
  if (!path.startsWith('/')) path.prepend('/');
  const QByteArray host =
      url_.adjusted(QUrl::RemoveUserInfo).authority(QUrl::FullyEncoded).toLatin1();
  // Plain bytes only: a compressed body could unpack to any size.
  socket_->write("GET " + path + " HTTP/1.1\r\nHost: " + host +
                 "\r\nUser-Agent: " + core::kProductName + '/' + core::kProductVersion +
                 "\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n");
}

void HttpGet::ReadSome() {
  if (done_ || !socket_) return;
  response_->Feed(View(socket_->read(kReadChunk)));
  Answered();
}

void HttpGet::Closed() {
  if (done_ || !socket_) return;
  // What the socket still holds came before the close.
  response_->Feed(View(socket_->readAll()));
  response_->Close();
  Answered();
}

// Follows a redirect once its head is in, finishes once the answer is whole
// or has failed.
void HttpGet::Answered() {
  using State = core::HttpResponse::State;
  const State state = response_->state();
  if (state == State::kHead) return;
  if (state != State::kFailed && IsRedirect(response_->status())) {
    const QUrl to = url_.resolved(QUrl(QString::fromStdString(response_->Header("Location"))));
    if (!BannerFetch::IsWebAddress(to) || ++redirects_ > limits_.redirects) {
      Finish(false);
      return;
    }
    url_ = to;
    DropSocket();
    Connect();
    return;
  }
  if (state == State::kBody) return;
  const int status = response_->status();
  Finish(state == State::kDone && status >= 200 && status < 300);
}

void HttpGet::Finish(bool ok) {
  if (done_) return;
  ok_ = ok;
  Abort();
  emit finished();
}

}  // namespace ui
