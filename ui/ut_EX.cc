#include "ui/ut_EX.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <exception>

#include "core/Convert.h"
#include "core/FileUtil.h"
#include "core/Table.h"
#include "ui/StringGrid.h"
#include "ui/platform/DesktopShortcut.h"
#include "ui/platform/Prompter.h"

TfrEX::TfrEX(ui::Prompter& prompter, QWidget* parent) : QWidget(parent), prompter_(prompter) {
  setObjectName(QStringLiteral("frEX"));
}

void TfrEX::ShowWarning(const QString& message) {
  // The box belongs to the window in front (this form is never shown).
  QWidget* owner = QApplication::activeWindow();
  ui::ShowMessage(prompter_, owner, ui::Prompter::Kind::kWarning, message,
                  ui::Prompter::Buttons::kOk);
}

bool TfrEX::FileExistsWait(const QString& path) {
  return core::FileExistsWait(QFile::encodeName(path).toStdString());
}

char TfrEX::FilterNumericKey(char key, char decimal) {
  return core::FilterNumericKey(key, decimal);
}

void TfrEX::ClearGrid(ui::StringGrid& grid) {
  grid.BeginUpdate();
  core::ClearGrid(grid.table());
  grid.EndUpdate();
}

int32_t TfrEX::ToInt(const QString& text) { return core::ToInt(text.toLatin1().toStdString()); }

core::TArrayOfString TfrEX::SplitText(const std::string& separator, const std::string& text,
                                      int limit) {
  return core::SplitText(separator, text, limit);
}

QString TfrEX::UpperExt(const QString& file_name) {
  return QString::fromStdString(core::UpperExt(file_name.toStdString()));
}

void TfrEX::ShowFreeware(QLabel* label) {
  label->setText(QStringLiteral("Freeware"));
  label->adjustSize();
}

void TfrEX::CreateDesktopShortcut(const QString& program_dir) {
  QWidget* owner = QApplication::activeWindow();
  const int answer = ui::ShowMessage(
      prompter_, owner, ui::Prompter::Kind::kInformation,
      QStringLiteral("Verknüpfung mit dem Programm Marvesk auf dem Desktop erstellen?"),
      ui::Prompter::Buttons::kYesNo);
  if (answer != ui::Prompter::kResultYes) return;
#ifdef Q_OS_WIN
  const QString program = program_dir + QStringLiteral("Marvesk.exe");
#else
  const QString program = program_dir + QStringLiteral("Marvesk");
#endif
  // Whether it was written is not reported, as with the shell's own links.
  try {
    ui::WriteDesktopShortcut(program, program_dir);
  } catch (const std::exception& e) {
    ui::ShowGeneralError(prompter_, owner, QString::fromUtf8(e.what()));
  }
}
