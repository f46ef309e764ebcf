// A request to end the program from outside (SIGTERM when the session ends
// or a package is removed, SIGINT from a terminal) closes the main window
// the ordinary way, so the settings are written as on every other close.
#ifndef MARVESK_UI_PLATFORM_TERMINATION_H_
#define MARVESK_UI_PLATFORM_TERMINATION_H_

#include <functional>

class QWidget;

namespace ui {

// Call once, with the window whose close ends the program and what closes
// it without asking the user anything (true when it closed). Does nothing
// where the platform has no such signals.
void CloseOnTermination(QWidget* window, std::function<bool()> close_window);

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_TERMINATION_H_
