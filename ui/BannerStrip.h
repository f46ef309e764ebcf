// The banner strip `plWerbung` below the button bar: a page view between two
// spacers.
#ifndef MARVESK_UI_BANNERSTRIP_H_
#define MARVESK_UI_BANNERSTRIP_H_

class QFrame;
class QWidget;

namespace ui {

class BannerStrip {
 public:
  explicit BannerStrip(QWidget* window);

  // The page view goes before the settings are written at closing; once.
  void DestroyBrowser();

  QFrame* plWerbung;
  QFrame* plL;
  QWidget* WebBrowser1;  // null once destroyed
  QFrame* plR;
};

}  // namespace ui

#endif  // MARVESK_UI_BANNERSTRIP_H_
