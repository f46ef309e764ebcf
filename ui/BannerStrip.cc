#include "ui/BannerStrip.h"

#include <QFrame>
#include <QHBoxLayout>

#include "ui/Builders.h"

namespace ui {

BannerStrip::BannerStrip(QWidget* window) {
  plWerbung = Panel(window, "plWerbung", false);
  plWerbung->setFixedHeight(34);
  plWerbung->hide();
  auto* layout = new QHBoxLayout(plWerbung);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  plL = Panel(plWerbung, "plL", false);
  WebBrowser1 = new QWidget(plWerbung);
  WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
  plR = Panel(plWerbung, "plR", false);
  layout->addWidget(plL);
  layout->addWidget(WebBrowser1, 1);
  layout->addWidget(plR);
}

void BannerStrip::DestroyBrowser() {
  delete WebBrowser1;
  WebBrowser1 = nullptr;
}

}  // namespace ui
