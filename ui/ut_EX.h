// The hidden form that hosts the shared utility routines. It is created at
// start-up, never shown, and keeps no state of its own.
#ifndef MARVESK_UI_UT_EX_H_
#define MARVESK_UI_UT_EX_H_

#include <QString>
#include <QWidget>

namespace ui {
class Prompter;
}  // namespace ui

class QLabel;

class TfrEX : public QWidget {
  Q_OBJECT

 public:
  explicit TfrEX(ui::Prompter& prompter, QWidget* parent = nullptr);

  // Writes the licence type into `label`.
  void ShowFreeware(QLabel* label);
  // Asks, then puts the program's shortcut on the user's desktop: the
  // program in `program_dir` (ending in the separator), started there.
  void CreateDesktopShortcut(const QString& program_dir);

 private:
  ui::Prompter& prompter_;
};

#endif  // MARVESK_UI_UT_EX_H_
