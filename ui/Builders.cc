#include "ui/Builders.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <exception>

#include "core/Convert.h"
#include "ui/platform/Prompter.h"

namespace ui {

QFont MakeFont(const QStringList& families, int pixel_size, bool bold) {
  QFont f;
  f.setFamilies(families);
  f.setPixelSize(pixel_size);
  f.setBold(bold);
  return f;
}

QFont BoldArial9() {
  return MakeFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, 12, true);
}

QFont SansSerif8(bool bold) {
  return MakeFont(
      {QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans")},
      11, bold);
}

void SetHint(QWidget* w, const QString& hint) {
  w->setProperty("hint", hint);
  QString tip = hint;
  tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
      .replace(QLatin1Char('\r'), QLatin1Char('\n'));
  w->setToolTip(tip);
  w->setAccessibleDescription(tip);
}

QToolButton* SpeedButton(QWidget* parent, const char* name, const QString& caption,
                         const QString& hint, QStyle::StandardPixmap icon, QRect geometry) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setIcon(parent->style()->standardIcon(icon));
  b->setIconSize(QSize(16, 16));
  b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  b->setAutoRaise(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setGeometry(geometry);
  if (!hint.isEmpty()) SetHint(b, hint);
  return b;
}

QFrame* Panel(QWidget* parent, const char* name, bool bevel) {
  auto* p = new QFrame(parent);
  p->setObjectName(QString::fromLatin1(name));
  if (bevel) p->setFrameStyle(QFrame::Panel | QFrame::Raised);
  return p;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setGeometry(geometry);
  return l;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(geometry);
  return e;
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                    bool checked) {
  return Checkable<QRadioButton>(parent, name, caption, geometry, checked);
}

void ExclusivePair(QRadioButton* a, QRadioButton* b) {
  auto* group = new QButtonGroup(a->parent());
  group->setExclusive(true);
  group->addButton(a);
  group->addButton(b);
}

void RunGuarded(Prompter& prompter, QWidget* context, const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ShowGeneralError(prompter, context, QString::fromUtf8(e.what()));
  }
}

MouseButtonFilter::MouseButtonFilter(QWidget* button, PressFn on_press, HoverFn on_hover)
    : QObject(button), on_press_(std::move(on_press)), on_hover_(std::move(on_hover)) {
  if (on_hover_) button->setMouseTracking(true);
  button->installEventFilter(this);
}

bool MouseButtonFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (!on_press_) break;
      on_press_(static_cast<QMouseEvent*>(event)->button());
      return true;
    case QEvent::MouseMove:
    case QEvent::Enter:
      if (on_hover_) on_hover_();
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

EventHook::EventHook(QObject* target, Fn f) : QObject(target), f_(std::move(f)) {
  target->installEventFilter(this);
}

bool EventHook::eventFilter(QObject* watched, QEvent* event) {
  if (f_(event)) return true;
  return QObject::eventFilter(watched, event);
}

bool RejectedByDigitFilter(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return false;
  const QString text = key.text();
  if (text.isEmpty()) return false;
  const QChar c = text.at(0);
  // Control characters (Delete, Escape, Tab) edit or navigate, as keys that
  // type nothing do; Backspace is one of them.
  if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  if (c.unicode() > 0x7F) return true;
  return core::FilterNumericKey(static_cast<char>(c.unicode()), '#') == '\0';
}

}  // namespace ui
