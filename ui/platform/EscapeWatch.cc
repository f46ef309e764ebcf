#include "ui/platform/EscapeWatch.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <algorithm>

namespace ui {
namespace {

bool IsUserInput(QEvent::Type t) {
  switch (t) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}
}  // namespace

EscapeWatch::EscapeWatch(QWidget* guarded) : guarded_(guarded) { qApp->installEventFilter(this); }

EscapeWatch::~EscapeWatch() { qApp->removeEventFilter(this); }

bool EscapeWatch::IsPressed() {
  const bool result = down_ || latched_;
  latched_ = false;
  return result;
}

void EscapeWatch::Pump(bool force) {
  if (!force && !Due()) return;
  QElapsedTimer cost;
  cost.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  interval_ms_ = std::max<qint64>(kIntervalMs, cost.elapsed() * 10);
  pumped_.start();
}

bool EscapeWatch::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type t = event->type();
  if (t == QEvent::KeyPress || t == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      if (t == QEvent::KeyPress) {
        down_ = true;
        latched_ = true;
      } else if (!key->isAutoRepeat()) {
        down_ = false;
      }
    }
  }
  if (!IsUserInput(t) || !guarded_) return false;
  // A modal box opened by the operation itself gets its input as usual.
  if (QApplication::activeModalWidget()) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (w && w->window() == guarded_->window()) return true;
  if (!w && watched->isWindowType()) return true;  // the window's QWindow
  return false;
}

}  // namespace ui
