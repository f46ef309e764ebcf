// A status line of fixed-width panels with centred texts, or one notice
// across them.
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

  // Back to the panels, if a notice covered them.
  void SetPanelText(int i, const QString& text);
  // Shows the bar with `text` across its whole width, over the panels, until
  // a panel text is set.
  void ShowNotice(const QString& text);
  // The notice shown, empty when none is.
  QString notice() const;
  int PanelWidth(int i) const { return widths_[static_cast<size_t>(i)]; }
  void SetPanelWidth(int i, int width);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Arrange();
  void ShowPanels(bool shown);
  std::vector<QLabel*> panels_;
  QLabel* notice_;
  std::vector<int> widths_;
};

}  // namespace ui

#endif  // MARVESK_UI_STATUSBAR_H_
