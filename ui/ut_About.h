// The info and settings window: product name, version and licence, the
// maker's links, the desktop shortcut, and the settings. Its separator
// controls are the store of the separator setting: the main window reads
// them whenever it needs the separator, and the settings file fills and
// stores them. Shown modally by the main window's Info button.
#ifndef MARVESK_UI_UT_ABOUT_H_
#define MARVESK_UI_UT_ABOUT_H_

#include <QDialog>

#include "ui/ut_Marvesk.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TfrEX;

namespace ui {
class Shell;
}

class TfrAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrAbout(ui::Shell& shell, QWidget* parent = nullptr);
  // The hidden form (for the shortcut) and the main window's settings (the
  // two switches, the program's folder); both outlive this window.
  void Attach(TfrEX* ex, TfrMarvesk::Settings* settings);

  // Handlers.
  void FormActivate();
  // Shows the "Anderes" field for that choice and the "Automatisch" box otherwise.
  void cbTrennzeichenChange();
  // True when the key is taken away from the control.
  bool edTrennzeichenKeyDown(QKeyEvent* key);
  bool cbTrennzeichenKeyDown(QKeyEvent* key);
  bool OKButtonKeyDown(QKeyEvent* key);
  void FormClose();
  void sbDesktopClick();
  void lbMail2Click();
  void Label3Click();
  // Hands `file` with `parameters` to the desktop; false when nothing was
  // started. A text longer than 79 characters is refused, not cut: a cut
  // address would reach the wrong person or page.
  bool ShellOpen(const QString& file, const QString& parameters, const QString& verb = {});

  // The separator choice as text (also a text that is none of the items).
  QString SeparatorChoice() const;
  void SetSeparatorChoice(const QString& text);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* lbVersion;
  QLabel* lbLizenz;
  QCheckBox* cbKeineWerb;
  QCheckBox* cbRC_Verschieben;
  QLabel* Label4;
  QComboBox* cbTrennzeichen;
  QLineEdit* edTrennzeichen;
  QCheckBox* cbTrZAutom;
  QLabel* lbMail2;
  QToolButton* sbDesktop;
  QPushButton* OKButton;

  // The separator settings as they were when the window opened; Escape goes
  // back to them, and the closing compares with them.
  QString SavedSeparatorChoice;
  bool SavedAutoDetect = false;
  char SavedOtherSeparator = ' ';
  // After a closing: 1 when the separator setting changed while shown, else 0.
  int Tag = 0;

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FormCreate();
  void BuildInfo();
  void BuildSettings();
  void BuildButtons();
  void ConnectControls();
  void RevertAndClose();
  char OtherSeparator() const;

  ui::Shell& shell_;
  TfrEX* ex_ = nullptr;
  TfrMarvesk::Settings* settings_ = nullptr;
};

#endif  // MARVESK_UI_UT_ABOUT_H_
