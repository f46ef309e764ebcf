#include "ui/Windows.h"

#include "ui/Globals.h"
#include "ui/ut_About.h"
#include "ui/ut_EX.h"
#include "ui/ut_Marvesk.h"

namespace ui {

Windows::Windows() {
  main_ = std::make_unique<TfrMarvesk>();
  frMarvesk = main_.get();
  about_ = std::make_unique<TfrAbout>();
  frAbout = about_.get();
  ex_ = std::make_unique<TfrEX>();
  frEX = ex_.get();
}

Windows::~Windows() {
  main_.reset();
  frMarvesk = nullptr;
  about_.reset();
  frAbout = nullptr;
  ex_.reset();
  frEX = nullptr;
}

}  // namespace ui
