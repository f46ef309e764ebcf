#include "ui/StatusBar.h"

namespace ui {

StatusBar::StatusBar(QWidget* parent, std::vector<int> widths)
    : QFrame(parent), widths_(std::move(widths)) {
  for (size_t i = 0; i < widths_.size(); ++i) {
    auto* label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setObjectName(QStringLiteral("Panel%1").arg(i));
    panels_.push_back(label);
  }
  notice_ = new QLabel(this);
  notice_->setObjectName(QStringLiteral("Notice"));
  notice_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  notice_->setIndent(4);
  notice_->hide();
  Arrange();
}

void StatusBar::SetPanelText(int i, const QString& text) {
  ShowPanels(true);
  panels_[static_cast<size_t>(i)]->setText(text);
}

void StatusBar::ShowNotice(const QString& text) {
  notice_->setText(text);
  notice_->setToolTip(text);  // the whole text, also where the bar cuts it
  ShowPanels(false);
  show();
}

QString StatusBar::notice() const { return isVisible() && notice_->isVisible() ? notice_->text() : QString(); }

void StatusBar::ShowPanels(bool shown) {
  for (QLabel* p : panels_) p->setVisible(shown);
  notice_->setVisible(!shown);
}

void StatusBar::SetPanelWidth(int i, int width) {
  widths_[static_cast<size_t>(i)] = width;
  Arrange();
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  Arrange();
}

void StatusBar::Arrange() {
  int x = 0;
  for (size_t i = 0; i < panels_.size(); ++i) {
    // The last panel takes what is left, as a status bar's last panel does.
    const int w = i + 1 == panels_.size() ? std::max(widths_[i], width() - x) : widths_[i];
    panels_[i]->setGeometry(x, 1, w - 2, height() - 2);
    x += w;
  }
  notice_->setGeometry(0, 1, width() - 2, height() - 2);
}

}  // namespace ui
