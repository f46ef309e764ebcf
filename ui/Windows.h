// The program's three windows, created in the program's order (main window,
// info window, hidden form), and what they hand their questions and outside
// programs to. The info window and the hidden form exist before the main
// window is first activated, which fills the info window.
#ifndef MARVESK_UI_WINDOWS_H_
#define MARVESK_UI_WINDOWS_H_

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>

class TfrMarvesk;
class TfrAbout;
class TfrEX;

namespace ui {

class Prompter;
class Shell;

// Where a window opens on a screen whose free area is `available`: its
// client area `wanted` big, but no larger than fits with `frame` (what the
// window manager adds around it) and no smaller than `minimum`; centred, or
// at the area's top-left corner when it does not fit, so that the title bar
// is always on the screen. The result is the frame's top-left corner and
// the client size.
struct StartPlace {
  QPoint frame_pos;
  QSize client;
  bool operator==(const StartPlace&) const = default;
};
StartPlace FitToScreen(QSize wanted, QSize minimum, QSize frame, QRect available);

class Windows {
 public:
  // A null prompter or shell means the real ones (message boxes and file
  // dialogs, the platform's programs); tests pass their own, not owned, and
  // a program folder of their own (ending in the separator) where the
  // settings file goes.
  explicit Windows(Prompter* prompter = nullptr, Shell* shell = nullptr,
                   const QString& program_dir = {});
  ~Windows();
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  TfrMarvesk* main() const { return main_.get(); }
  TfrAbout* about() const { return about_.get(); }
  TfrEX* ex() const { return ex_.get(); }

 private:
  std::unique_ptr<Prompter> own_prompter_;
  std::unique_ptr<Shell> own_shell_;
  std::unique_ptr<TfrMarvesk> main_;
  std::unique_ptr<TfrAbout> about_;
  std::unique_ptr<TfrEX> ex_;
};

}  // namespace ui

#endif  // MARVESK_UI_WINDOWS_H_
