// The program's three windows, created in the program's order (main window,
// info window, hidden form) and reachable through frMarvesk, frAbout and
// frEX while they live. The info window and the hidden form must exist
// before the main window is first activated, which fills the info window.
#ifndef MARVESK_UI_WINDOWS_H_
#define MARVESK_UI_WINDOWS_H_

#include <memory>

class TfrMarvesk;
class TfrAbout;
class TfrEX;

namespace ui {

class Windows {
 public:
  Windows();
  ~Windows();
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  TfrMarvesk* main() const { return main_.get(); }
  TfrAbout* about() const { return about_.get(); }
  TfrEX* ex() const { return ex_.get(); }

 private:
  std::unique_ptr<TfrMarvesk> main_;
  std::unique_ptr<TfrAbout> about_;
  std::unique_ptr<TfrEX> ex_;
};

}  // namespace ui

#endif  // MARVESK_UI_WINDOWS_H_
