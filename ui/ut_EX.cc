#include "ui/ut_EX.h"

#include <QApplication>
#include <QLabel>
#include <exception>

#include "ui/ProgramArt.h"
#include "ui/platform/DesktopShortcut.h"
#include "ui/platform/Prompter.h"

TfrEX::TfrEX(ui::Prompter& prompter, QWidget* parent) : QWidget(parent), prompter_(prompter) {
  setObjectName(QStringLiteral("frEX"));
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
  // Whether it was written is not reported, as with the shell's own links.
  try {
    ui::WriteDesktopShortcut(ui::ProgramFileIn(program_dir), program_dir, ui::ProgramIconSvg());
  } catch (const std::exception& e) {
    ui::ShowGeneralError(prompter_, owner, QString::fromUtf8(e.what()));
  }
}
