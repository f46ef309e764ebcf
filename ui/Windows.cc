#include "ui/Windows.h"

#include <QApplication>
#include <algorithm>

#include "ui/ProgramArt.h"
#include "ui/platform/Prompter.h"
#include "ui/platform/Shell.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace ui {

Windows::Windows(Prompter* prompter, Shell* shell, const QString& program_dir) {
  if (!prompter) {
    own_prompter_ = MakeQtPrompter();
    prompter = own_prompter_.get();
  }
  if (!shell) {
    own_shell_ = MakePlatformShell();
    shell = own_shell_.get();
  }
  QApplication::setWindowIcon(ProgramIcon());
  main_ = std::make_unique<TfrMarvesk>(*prompter, *shell, program_dir);
  about_ = std::make_unique<TfrAbout>(*shell);
  ex_ = std::make_unique<TfrEX>(*prompter);
  main_->Attach(about_.get());
  about_->Attach(ex_.get(), main_->ProgramDir());
}

StartPlace FitToScreen(QSize wanted, QSize minimum, QSize frame, QRect available) {
  auto fit = [](int want, int least, int extra, int room) {
    return std::max(least, std::min(want, room - extra));
  };
  const QSize client(fit(wanted.width(), minimum.width(), frame.width(), available.width()),
                     fit(wanted.height(), minimum.height(), frame.height(), available.height()));
  auto place = [](int start, int room, int outer) {
    return start + std::max(0, (room - outer) / 2);
  };
  return {QPoint(place(available.x(), available.width(), client.width() + frame.width()),
                 place(available.y(), available.height(), client.height() + frame.height())),
          client};
}

// The main window goes first: closing it may still ask its questions.
Windows::~Windows() {
  main_.reset();
  about_.reset();
  ex_.reset();
}

}  // namespace ui
