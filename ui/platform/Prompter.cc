#include "ui/platform/Prompter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

namespace ui {
namespace {

// "*.txt" matches "X.TXT" too: Windows users expect the filters to ignore case.
QString CaseInsensitivePattern(const QString& pattern) {
  QString out;
  for (QChar c : pattern) {
    if (c.isLetter() && c.toLower() != c.toUpper()) {
      out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    } else {
      out += c;
    }
  }
  return out;
}

QStringList QtFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = CaseInsensitivePattern(p.trimmed());
    out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

// A message box that tells whether it was closed without a button: by its
// close box or by Escape. QMessageBox reports both as its escape button.
class AnswerBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;
  bool closed() const { return closed_; }

 protected:
  void closeEvent(QCloseEvent* event) override {
    closed_ = true;
    QMessageBox::closeEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->matches(QKeySequence::Cancel)) closed_ = true;
    QMessageBox::keyPressEvent(event);
  }

 private:
  bool closed_ = false;
};

class QtPrompter final : public Prompter {
 public:
  int Message(QWidget* parent, Kind kind, const QString& title, const QString& text,
              Buttons buttons) override {
    AnswerBox box(parent);
    box.setWindowTitle(title);
    box.setText(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    box.setIcon(kind == Kind::kWarning       ? QMessageBox::Warning
                : kind == Kind::kInformation ? QMessageBox::Information
                                             : QMessageBox::Critical);
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* ok = nullptr;
    if (buttons == Buttons::kYesNo) {
      yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
      no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
      box.setDefaultButton(yes);
      box.setEscapeButton(no);
    } else {
      ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
      box.setDefaultButton(ok);
      box.setEscapeButton(ok);
    }
    box.exec();
    if (box.closed()) return kResultClosed;
    QAbstractButton* clicked = box.clickedButton();
    if (clicked && clicked == yes) return kResultYes;
    if (clicked && clicked == no) return kResultNo;
    if (clicked && clicked == ok) return kResultOk;
    return kResultClosed;
  }

  bool OpenFile(QWidget* parent, FileDialogState& state) override {
    return Run(parent, state, QFileDialog::AcceptOpen);
  }
  bool SaveFile(QWidget* parent, FileDialogState& state) override {
    return Run(parent, state, QFileDialog::AcceptSave);
  }

 private:
  static bool Run(QWidget* parent, FileDialogState& state, QFileDialog::AcceptMode mode) {
    // Qt's own dialog on every platform: the same behaviour in tests,
    // headless runs and on the desktop.
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(mode);
    // The open dialog lets the user type any name; loading reports a missing file.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (mode == QFileDialog::AcceptSave && !state.confirm_overwrite) {
      dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    }
    const QStringList filters = QtFilters(state.filter);
    dialog.setNameFilters(filters);
    if (state.filter_index >= 1 && state.filter_index <= filters.size()) {
      dialog.selectNameFilter(filters[state.filter_index - 1]);
    }
    if (!state.initial_dir.isEmpty()) dialog.setDirectory(state.initial_dir);
    if (!state.default_ext.isEmpty()) dialog.setDefaultSuffix(state.default_ext);
    // A save proposes the current file's name in the folder it starts in.
    if (mode == QFileDialog::AcceptSave && !state.file_name.isEmpty()) {
      dialog.selectFile(QFileInfo(state.file_name).fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return false;
    state.file_name = files.first();
    const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    if (index >= 0) state.filter_index = index + 1;
    return true;
  }
};

}  // namespace

std::unique_ptr<Prompter> MakeQtPrompter() { return std::make_unique<QtPrompter>(); }

int ShowMessage(Prompter& prompter, QWidget* parent, Prompter::Kind kind, const QString& text,
                Prompter::Buttons b) {
  const QString title = kind == Prompter::Kind::kWarning ? QStringLiteral("Warnung")
                                                         : QStringLiteral("Informationen");
  return prompter.Message(parent, kind, title, text, b);
}

void ShowWarning(Prompter& prompter, const QString& text) {
  // The box belongs to the window in front.
  ShowMessage(prompter, QApplication::activeWindow(), Prompter::Kind::kWarning, text,
              Prompter::Buttons::kOk);
}

void ShowGeneralError(Prompter& prompter, QWidget* parent, const QString& text) {
  QString shown = text;
  if (!shown.isEmpty() && shown.back() > QLatin1Char('.')) shown += QLatin1Char('.');
  prompter.Message(parent, Prompter::Kind::kError, QCoreApplication::applicationName(), shown,
                   Prompter::Buttons::kOk);
}

}  // namespace ui
