// A status line of fixed-width panels with centred texts.
#ifndef MARVESK_UI_STATUSBAR_H_
#define MARVESK_UI_STATUSBAR_H_

#include <QFrame>
#include <QLabel>
#include <vector>

namespace ui {

class StatusBar : public QFrame {
  Q_OBJECT

 public:
  StatusBar(QWidget* parent, std::vector<int> widths);

  void SetPanelText(int i, const QString& text) { panels_[static_cast<size_t>(i)]->setText(text); }
  int PanelWidth(int i) const { return widths_[static_cast<size_t>(i)]; }
  void SetPanelWidth(int i, int width);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Arrange();
  std::vector<QLabel*> panels_;
  std::vector<int> widths_;
};

}  // namespace ui

#endif  // MARVESK_UI_STATUSBAR_H_
