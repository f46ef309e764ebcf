// The banner strip `plWerbung` below the button bar: a small page from the
// maker's web server, centred between two spacers. The page view shows HTML
// as rich text only: it runs no scripts, reads no local files and opens
// links in the user's web browser, never inside the strip.
#ifndef MARVESK_UI_BANNERSTRIP_H_
#define MARVESK_UI_BANNERSTRIP_H_

#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <cstdint>
#include <functional>

class QFrame;

namespace ui {

class BannerFetch;
class Prompter;
class Shell;

// The page view `WebBrowser1`.
class BannerView : public QTextBrowser {
  Q_OBJECT

 public:
  using ImageLookup = std::function<QImage(const QUrl& address)>;
  BannerView(QWidget* parent, ImageLookup images);

  // Shows `html` (empty: an empty strip) for a page fetched from `address`,
  // tamed to what the strip can lay out in a moment (core::TameBannerHtml);
  // its images are looked up again on every call.
  void ShowPage(const QString& html, const QUrl& address);
  // The images the shown page refers to, as written in it.
  QList<QUrl> ImageNames() const;
  const QUrl& address() const { return address_; }

 private:
  ImageLookup images_;
  QUrl address_;
  QList<QUrl> asked_;  // what the layout asked for, filled by the document
};

class BannerStrip final : public QObject {
  Q_OBJECT

 public:
  // The strip `plWerbung` is a child of `window`, hidden until SetShown;
  // links go to `shell`.
  BannerStrip(QWidget* window, Prompter& prompter, Shell& shell);
  ~BannerStrip() override;
  BannerStrip(const BannerStrip&) = delete;
  BannerStrip& operator=(const BannerStrip&) = delete;

  QFrame* plWerbung() const { return plWerbung_; }
  // The spacer widths for the window's outer width.
  void werbung_pos(int outer_width);
  // Requests the next of the banner pages, only while the strip is shown.
  void NextBanner();
  // Shows or hides the strip; hiding stops a page still on its way, so no
  // request is made while it is hidden.
  void SetShown(bool shown);
  // The page view goes before the settings are written at closing; once.
  // The strip stays empty from then on.
  void DestroyBrowser();

  // For tests: the page last requested (1 to 4 once one was), and the fetch
  // behind the view (null once the view is destroyed).
  int32_t banner_index() const { return BannerIndex; }
  BannerFetch* fetch() const { return fetch_; }

 private:
  // The page address for `index`, on the maker's host or the one given in
  // MARVESK_BANNER_HOST (for tests; host or host:port).
  QUrl PageAddress(int32_t index) const;
  void PageArrived();
  void ImagesDone();
  // Both completion handlers hide the page's scroll bars.
  void WebBrowser1NavigateComplete2();
  void WebBrowser1DocumentComplete();
  void HideScrollBars();
  void OpenLink(const QUrl& link);

  QWidget* window_;
  Prompter& prompter_;
  Shell& shell_;
  QFrame* plWerbung_;
  QFrame* plL;
  BannerView* WebBrowser1;  // null once destroyed
  QFrame* plR;
  int32_t BannerIndex = 0;
  BannerFetch* fetch_ = nullptr;  // a child of the view
  QString host_;
};

}  // namespace ui

#endif  // MARVESK_UI_BANNERSTRIP_H_
