// The info and settings window: product name, version and licence, the
// maker's links, the desktop shortcut, and the settings it edits (the two
// switches and the separator) on a copy of the main window's. Shown modally
// by the main window's Info button.
#ifndef MARVESK_UI_UT_ABOUT_H_
#define MARVESK_UI_UT_ABOUT_H_

#include <QDialog>

#include "core/Settings.h"

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
  // The hidden form (for the shortcut) and the program's folder.
  void Attach(TfrEX* ex, const QString& program_dir);

  // Shows the window modally on a copy of `settings`; the copy comes back
  // through `edited` as the user left it (the two switches and the
  // separator setting).
  void Edit(const core::SettingsValues& settings);
  // After a closing: the separator setting changed while the window was
  // shown (the window's Tag, 1 or 0).
  bool SeparatorChanged() const { return Tag == 1; }

 signals:
  // The window is closing with `settings` as the user left them; sent while
  // it closes, so that a program ending meanwhile keeps them too.
  void edited(const core::SettingsValues& settings);

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
  void FormActivate();
  void FormClose();
  // Shows the "Anderes" field for that choice and the "Automatisch" box otherwise.
  void cbTrennzeichenChange();
  // True when the key is taken away from the control.
  bool edTrennzeichenKeyDown(QKeyEvent* key);
  bool cbTrennzeichenKeyDown(QKeyEvent* key);
  bool OKButtonKeyDown(QKeyEvent* key);
  void sbDesktopClick();
  void lbMail2Click();
  void Label3Click();
  // Hands `file` with `parameters` to the desktop; false when nothing was
  // started. A text longer than 79 characters is refused, not cut: a cut
  // address would reach the wrong person or page.
  bool ShellOpen(const QString& file, const QString& parameters, const QString& verb = {});
  void RevertAndClose();
  // The separator choice as text (also a text that is none of the items).
  QString SeparatorChoice() const;
  void SetSeparatorChoice(const QString& text);
  char OtherSeparator() const;

  ui::Shell& shell_;
  TfrEX* ex_ = nullptr;
  QString program_dir_;
  core::SettingsValues values_;  // the copy being edited

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
  QCheckBox* cbAnfuehrung;  // "Felder in Anführungszeichen"
  QLabel* lbMail2;
  QToolButton* sbDesktop;
  QPushButton* OKButton;

  // The separator settings as they were when the window opened; Escape goes
  // back to them, and the closing compares with them.
  QString SavedSeparatorChoice;
  bool SavedAutoDetect = false;
  bool SavedQuotedFields = false;
  char SavedOtherSeparator = ' ';
  int Tag = 0;
};

#endif  // MARVESK_UI_UT_ABOUT_H_
