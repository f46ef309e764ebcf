#include "ui/Windows.h"

#include <QApplication>

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

// The main window goes first: closing it may still ask its questions.
Windows::~Windows() {
  main_.reset();
  about_.reset();
  ex_.reset();
}

}  // namespace ui
