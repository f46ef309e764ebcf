// Watches the keyboard for the length of a long operation that runs on the
// GUI thread. While it exists it keeps user input away from the guarded
// window (so no handler runs in the middle of the operation) and records
// Escape: IsPressed() answers like an asynchronous key-state poll, true while
// Escape is held and once after each press. Events are processed only when
// the operation calls Pump(), at most about every 30 ms.
#ifndef MARVESK_UI_PLATFORM_ESCAPEWATCH_H_
#define MARVESK_UI_PLATFORM_ESCAPEWATCH_H_

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QWidget;

namespace ui {

class EscapeWatch : public QObject {
  Q_OBJECT

 public:
  explicit EscapeWatch(QWidget* guarded);
  ~EscapeWatch() override;
  EscapeWatch(const EscapeWatch&) = delete;
  EscapeWatch& operator=(const EscapeWatch&) = delete;

  // True when Escape is down, or was pressed since the last call.
  bool IsPressed();
  // True when the throttle interval has passed since the last Pump.
  bool Due() const { return !pumped_.isValid() || pumped_.elapsed() >= interval_ms_; }
  // Processes pending events (repaints, Escape) when due, or always with force.
  void Pump(bool force = false);

  static constexpr int kIntervalMs = 30;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> guarded_;
  bool down_ = false;
  bool latched_ = false;
  QElapsedTimer pumped_;
  // Grows when processing events is slow, so that repainting never takes
  // more than about a tenth of the operation's time.
  qint64 interval_ms_ = kIntervalMs;
};

}  // namespace ui

#endif  // MARVESK_UI_PLATFORM_ESCAPEWATCH_H_
