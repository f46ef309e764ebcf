#include "ui/platform/Termination.h"

#include <QApplication>
#include <QWidget>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#endif

namespace ui {

#if defined(Q_OS_UNIX)
namespace {

// The handler may only write to a pipe; the GUI thread reads it.
int g_pipe[2] = {-1, -1};  // NOLINT: a signal handler has no other way in

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

void CloseOnTermination(QWidget* window, std::function<bool()> close_window) {
  if (g_pipe[0] >= 0 || ::pipe(g_pipe) != 0) return;
  for (int fd : g_pipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, window);
  QPointer<QWidget> target(window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [target, close_window] {
    char buffer[16];
    [[maybe_unused]] const ssize_t n = ::read(g_pipe[0], buffer, sizeof buffer);
    if (!target) return;
    // A modal window (a question, a file dialog, the info window) closes
    // first: the main window's own close must be the last word, and a
    // window left open would keep the program running.
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (!modal->close()) break;
    }
    // A main window closed while hidden (under the info window) ends no
    // event loop by itself.
    if (close_window()) QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

#else

void CloseOnTermination(QWidget*, std::function<bool()>) {}

#endif

}  // namespace ui
