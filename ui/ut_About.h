// The info and settings window. Its separator controls are the store of the
// separator setting: the main window reads them whenever it needs the
// separator, and the settings file fills and stores them.
#ifndef MARVESK_UI_UT_ABOUT_H_
#define MARVESK_UI_UT_ABOUT_H_

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;

class TfrAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrAbout(QWidget* parent = nullptr);

  // Shows the "Anderes" field for that choice and the "Automatisch" box otherwise.
  void cbTrennzeichenChange();

  // The separator choice as text (also a text that is none of the items).
  QString SeparatorChoice() const;
  void SetSeparatorChoice(const QString& text);

  QFrame* Panel1;
  QLabel* Label4;
  QComboBox* cbTrennzeichen;
  QLineEdit* edTrennzeichen;
  QCheckBox* cbTrZAutom;

  // The separator settings as they were when the window opened; Escape goes
  // back to them.
  QString SavedSeparatorChoice;
  bool SavedAutoDetect = false;
  char SavedOtherSeparator = '\0';

 private:
  void FormCreate();
};

#endif  // MARVESK_UI_UT_ABOUT_H_
