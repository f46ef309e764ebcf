#include "ui/BannerStrip.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHash>
#include <QPixmap>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>

#include "core/Banner.h"
#include "core/BannerHtml.h"
#include "core/ProductInfo.h"
#include "ui/Builders.h"
#include "ui/platform/BannerFetch.h"
#include "ui/platform/Shell.h"

namespace ui {

namespace {

// The document of the page view. Every resource it needs comes from here
// and nowhere else: the images the fetch brought and small inline (data:)
// images; never a local file, never a program resource. A missing image is
// a transparent pixel, so nothing broken shows while images are on their way.
class BannerDocument final : public QTextDocument {
 public:
  BannerDocument(QObject* parent, QUrl address, BannerView::ImageLookup images,
                 std::function<void(const QUrl&)> asked)
      : QTextDocument(parent),
        address_(std::move(address)),
        images_(std::move(images)),
        asked_(std::move(asked)) {}

 protected:
  QVariant loadResource(int type, const QUrl& name) override {
    if (type != QTextDocument::ImageResource) return QString();  // no style sheets, no frames
    // The layout and every paint ask again; an inline image is decoded once.
    if (const auto known = loaded_.constFind(name); known != loaded_.cend()) return *known;
    QImage image;
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0) {
      image = InlineImage(name);
    } else {
      asked_(name);
      image = images_(address_.resolved(name));
    }
    if (image.isNull()) {
      image = QImage(1, 1, QImage::Format_ARGB32);
      image.fill(Qt::transparent);
    }
    return *loaded_.insert(name, QPixmap::fromImage(image));
  }

 private:
  // "data:image/png;base64,...": the page itself is size-limited, so is
  // this. It is decoded inside the layout, so only one that needs no
  // scaling (twice the strip at most) is taken: that is quick.
  static QImage InlineImage(const QUrl& name) {
    const QByteArray encoded = name.toEncoded();
    const qsizetype comma = encoded.indexOf(',');
    if (comma < 0) return {};
    const QByteArray meta = encoded.mid(5, comma - 5).toLower();
    QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    if (meta.endsWith(";base64")) payload = QByteArray::fromBase64(payload);
    return BannerFetch::DecodeImage(payload, BannerLimits().image_bytes,
                                    QSize(core::kBannerPageWidth, core::kBannerStripHeight) * 2);
  }

  QUrl address_;
  BannerView::ImageLookup images_;
  std::function<void(const QUrl&)> asked_;
  QHash<QUrl, QPixmap> loaded_;
};

}  // namespace

BannerView::BannerView(QWidget* parent, ImageLookup images)
    : QTextBrowser(parent), images_(std::move(images)) {
  setObjectName(QStringLiteral("WebBrowser1"));
  setFrameShape(QFrame::NoFrame);
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  setFocusPolicy(Qt::NoFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
  // The strip decides the view's width, never the page.
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  setMinimumSize(0, 0);
  ShowPage(QString(), QUrl());
}

void BannerView::ShowPage(const QString& html, const QUrl& address) {
  address_ = address;
  asked_.clear();
  // Ours go once replaced; the view's first document is its own business.
  QTextDocument* old = document()->parent() == this ? document() : nullptr;
  auto* doc = new BannerDocument(this, address, images_, [this](const QUrl& name) {
    if (!asked_.contains(name)) asked_.append(name);
  });
  // The layout's work has no bound of its own: the page goes in tamed.
  doc->setHtml(QString::fromStdString(core::TameBannerHtml(html.toStdString())));
  setDocument(doc);
  if (old) old->deleteLater();
  doc->size();  // lays the page out, which asks for its images
}

QList<QUrl> BannerView::ImageNames() const {
  // The images in the text in their order, then what else the layout asked
  // for (backgrounds).
  QList<QUrl> names;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (!format.isImageFormat()) continue;
      const QUrl name(format.toImageFormat().name());
      if (!names.contains(name)) names.append(name);
    }
  }
  for (const QUrl& name : asked_) {
    if (!names.contains(name)) names.append(name);
  }
  return names;
}

BannerStrip::BannerStrip(QWidget* window, Prompter& prompter, Shell& shell)
    : QObject(window), window_(window), prompter_(prompter), shell_(shell) {
  setObjectName(QStringLiteral("BannerStrip"));
  host_ = qEnvironmentVariable("MARVESK_BANNER_HOST");
  if (host_.isEmpty()) host_ = QString::fromLatin1(core::kMakerWebHost);

  plWerbung_ = Panel(window, "plWerbung", false);
  plWerbung_->setFixedHeight(core::kBannerStripHeight);
  plWerbung_->hide();
  auto* layout = new QHBoxLayout(plWerbung_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  plL = Panel(plWerbung_, "plL", false);
  plR = Panel(plWerbung_, "plR", false);
  WebBrowser1 = new BannerView(plWerbung_, [this](const QUrl& address) {
    return fetch_ ? fetch_->Image(address) : QImage();
  });
  fetch_ = new BannerFetch(WebBrowser1);
  layout->addWidget(plL);
  layout->addWidget(WebBrowser1, 1);
  layout->addWidget(plR);

  QObject::connect(fetch_, &BannerFetch::pageArrived, WebBrowser1, [this] { PageArrived(); });
  QObject::connect(fetch_, &BannerFetch::imagesDone, WebBrowser1, [this] { ImagesDone(); });
  QObject::connect(WebBrowser1, &QTextBrowser::anchorClicked, WebBrowser1,
                   [this](const QUrl& link) { OpenLink(link); });
}

BannerStrip::~BannerStrip() = default;

void BannerStrip::werbung_pos(int outer_width) {
  const core::SpacerWidths w = core::BannerSpacers(outer_width);
  plL->setFixedWidth(w.left);
  plR->setFixedWidth(w.right);
}

QUrl BannerStrip::PageAddress(int32_t index) const {
  return QUrl(QString::fromStdString(core::BannerAddress(host_.toStdString(), index)),
              QUrl::StrictMode);
}

void BannerStrip::NextBanner() {
  if (plWerbung_->isHidden()) return;
  BannerIndex = core::NextBannerIndex(BannerIndex);
  // A rejected address or a destroyed view: the strip stays as it is.
  if (fetch_) fetch_->Start(PageAddress(BannerIndex));
}

void BannerStrip::PageArrived() {
  WebBrowser1->ShowPage(fetch_->html(), fetch_->page_url());
  RunGuarded(prompter_, window_, [this] { WebBrowser1NavigateComplete2(); });
  if (fetch_) fetch_->FetchImages(WebBrowser1->ImageNames());
}

void BannerStrip::ImagesDone() {
  // Laid out again, now with the images that came.
  WebBrowser1->ShowPage(fetch_->html(), fetch_->page_url());
  RunGuarded(prompter_, window_, [this] { WebBrowser1DocumentComplete(); });
}

void BannerStrip::WebBrowser1NavigateComplete2() { HideScrollBars(); }
void BannerStrip::WebBrowser1DocumentComplete() { HideScrollBars(); }

void BannerStrip::HideScrollBars() {
  if (!WebBrowser1) return;
  WebBrowser1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  WebBrowser1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void BannerStrip::OpenLink(const QUrl& link) {
  const QUrl address = WebBrowser1->address().resolved(link);
  if (!BannerFetch::IsWebAddress(address)) return;
  shell_.Open(window_, QStringLiteral("open"), address.toString(QUrl::FullyEncoded), {});
}

void BannerStrip::SetShown(bool shown) {
  plWerbung_->setVisible(shown);
  if (!shown && fetch_) fetch_->Abort();
}

void BannerStrip::DestroyBrowser() {
  fetch_ = nullptr;  // goes with the view
  delete WebBrowser1;
  WebBrowser1 = nullptr;
}

}  // namespace ui
