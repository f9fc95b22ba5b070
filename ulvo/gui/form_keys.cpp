#include "ulvo/gui/form_keys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace ulvo {
namespace {

// Alt pressed and released alone selects the menu bar's first menu, whatever the desktop
// style says.
class AltKeyStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_MenuBar_AltKeyNavigation) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

bool Usable(const QWidget* w) {
  return w && w->isVisible() && w->isEnabled();
}

bool Underlines(const QString& text, int key) {
  const QKeySequence mnemonic = QKeySequence::mnemonic(text);
  return !mnemonic.isEmpty() && mnemonic[0].key() == key;
}

}  // namespace

FormKeys::FormKeys(QMdiArea& area, QMenuBar& menuBar, QObject* parent)
    : QObject(parent), area_(area), menuBar_(menuBar) {
  auto* style = new AltKeyStyle;
  style->setParent(this);
  menuBar_.setStyle(style);
  auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), menuBar_.window());
  connect(f10, &QShortcut::activated, this, [this] {
    const QList<QAction*> menus = menuBar_.actions();
    if (!menus.isEmpty()) menuBar_.setActiveAction(menus.first());
  });
  qApp->installEventFilter(this);
}

FormKeys::~FormKeys() {
  qApp->removeEventFilter(this);
}

QWidget* FormKeys::MnemonicTarget(QWidget* form, int key) {
  if (!form || key < Qt::Key_0 || key > Qt::Key_Z) return nullptr;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!Usable(w)) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      if (Underlines(button->text(), key)) return w;
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
      if (Usable(label->buddy()) && Underlines(label->text(), key)) return w;
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
      if (Underlines(box->title(), key)) return w;
    }
  }
  return nullptr;
}

void FormKeys::Activate(QWidget* target) {
  target->window()->setAttribute(Qt::WA_KeyboardFocusChange);
  if (auto* button = qobject_cast<QAbstractButton*>(target)) {
    button->animateClick();
    return;
  }
  QWidget* focus = target;
  if (auto* label = qobject_cast<QLabel*>(target)) {
    focus = label->buddy();
  } else if (auto* box = qobject_cast<QGroupBox*>(target)) {
    if (box->isCheckable()) {
      box->setChecked(!box->isChecked());
    } else {
      // The box's checked choice, else its first control.
      focus = nullptr;
      for (QWidget* w : box->findChildren<QWidget*>()) {
        if (!Usable(w) || !(w->focusPolicy() & Qt::TabFocus)) continue;
        auto* radio = qobject_cast<QRadioButton*>(w);
        if (!focus || (radio && radio->isChecked())) focus = w;
        if (radio && radio->isChecked()) break;
      }
    }
  }
  if (focus && focus->focusPolicy() != Qt::NoFocus) focus->setFocus(Qt::ShortcutFocusReason);
  if (auto* buddyButton = qobject_cast<QAbstractButton*>(focus); buddyButton && focus != target)
    buddyButton->animateClick();
}

bool FormKeys::IsForm(const QObject* object) const {
  const auto* w = qobject_cast<const QWidget*>(object);
  const auto* window = w ? qobject_cast<const QMdiSubWindow*>(w->parentWidget()) : nullptr;
  return window && window->mdiArea() == &area_ && window->widget() == w;
}

QWidget* FormKeys::FocusForm() const {
  for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
    if (IsForm(w)) return w;
  return nullptr;
}

bool FormKeys::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !watched->isWidgetType())
    return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers modifiers =
      key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  if (modifiers == Qt::AltModifier && watched == QApplication::focusWidget()) {
    // Claimed at the override, so that the menu bar's shortcut does not run; done at the
    // press that follows.
    if (QWidget* target = MnemonicTarget(FocusForm(), key->key())) {
      key->accept();
      if (type == QEvent::KeyPress) Activate(target);
      return true;
    }
  }
  if (type == QEvent::KeyPress && modifiers == Qt::NoModifier &&
      (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && IsForm(watched)) {
    // An Enter that the controls let through reaches the form: its default button.
    for (QPushButton* button : static_cast<QWidget*>(watched)->findChildren<QPushButton*>()) {
      if (button->isDefault() && Usable(button)) {
        button->animateClick();
        key->accept();
        return true;
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ulvo
