// Small pieces every part of the main window builds its controls from: the
// program's fonts, hints, speed buttons, panels and radio buttons, guarded
// connections and a filter for presses that must know the mouse button.
#ifndef MARVESK_UI_BUILDERS_H_
#define MARVESK_UI_BUILDERS_H_

#include <QFont>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <QStyle>
#include <QToolButton>
#include <functional>
#include <utility>

class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace ui {

class Prompter;

QFont MakeFont(const QStringList& families, int pixel_size, bool bold);
QFont BoldArial9();
QFont SansSerif8(bool bold);

// A hint's line breaks are CR characters (CR LF counts as one); the tool tip
// shows them as line breaks. The hint text itself stays readable as the
// "hint" property.
void SetHint(QWidget* w, const QString& hint);

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& hint, QStyle::StandardPixmap icon, QRect geometry);
QFrame* Panel(QWidget* parent, const char* name, bool bevel);
QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry);
QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, QRect geometry);
QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                    bool checked);
// Makes `a` and `b` a group of their own: Qt's automatic exclusivity spans
// every radio button below the same parent, nested panels included, so a
// checked button elsewhere would let a click take the choice off a pair.
void ExclusivePair(QRadioButton* a, QRadioButton* b);
// A radio button or a check box with its caption, place and state.
template <typename Button>
Button* Checkable(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                  bool checked) {
  auto* b = new Button(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setGeometry(geometry);
  b->setChecked(checked);
  return b;
}

// A tool button whose mark is changed by its handler, not by the click.
class MarkButton final : public QToolButton {
 public:
  using QToolButton::QToolButton;

 protected:
  void nextCheckState() override {}
};

// Runs `f`; an exception that escapes it reaches the general error display.
void RunGuarded(Prompter& prompter, QWidget* context, const std::function<void()>& f);

// Connects `signal` of `sender` to `f`, run guarded in `context`'s thread and
// life time. The signal's arguments are not passed on.
template <typename Sender, typename Signal, typename F>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, QWidget* context,
                                       Prompter& prompter, F f) {
  return QObject::connect(sender, signal, context, [context, &prompter, f = std::move(f)] {
    RunGuarded(prompter, context, f);
  });
}

// Takes the mouse presses (and double presses) of a button before the
// button sees them and reports which mouse button it was: a handler that must
// tell the left from the right button, and starts on the press. The button
// then sends no click for that press. Hovering (enter and moves) is reported
// too when asked for. Owned by the button.
class MouseButtonFilter final : public QObject {
 public:
  using PressFn = std::function<void(Qt::MouseButton)>;
  using HoverFn = std::function<void()>;
  // An empty `on_press` lets presses through untouched.
  MouseButtonFilter(QWidget* button, PressFn on_press, HoverFn on_hover = {});

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PressFn on_press_;
  HoverFn on_hover_;
};

// Hands every event of `target` to `f` before the target sees it; `f`
// returns true to take the event away. Owned by the target.
class EventHook final : public QObject {
 public:
  using Fn = std::function<bool(QEvent*)>;
  EventHook(QObject* target, Fn f);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Fn f_;
};

// The key filter of the number fields: true when the key press types a
// character other than a digit or Backspace, which the field must not get.
// Keys that type nothing (arrows, Delete) and shortcuts (Ctrl+V) pass.
bool RejectedByDigitFilter(const QKeyEvent& key);

}  // namespace ui

#endif  // MARVESK_UI_BUILDERS_H_
