#include "kavex/gui/radio_focus.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QRadioButton>

namespace kavex {
namespace {

// The checked button of radio's group: its button group, else its auto-exclusive siblings.
QAbstractButton* CheckedOfGroup(QRadioButton* radio) {
  if (QButtonGroup* group = radio->group()) return group->checkedButton();
  if (!radio->autoExclusive() || !radio->parentWidget()) return nullptr;
  for (QRadioButton* other :
       radio->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly))
    if (other->autoExclusive() && other->isChecked()) return other;
  return nullptr;
}

}  // namespace

void RadioTabFocus::Install() {
  static RadioTabFocus* watch = nullptr;
  if (watch || !qApp) return;
  watch = new RadioTabFocus(qApp);
  qApp->installEventFilter(watch);
}

bool RadioTabFocus::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::FocusIn) return false;
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason) return false;
  auto* radio = qobject_cast<QRadioButton*>(watched);
  if (!radio || radio->isChecked()) return false;
  QAbstractButton* checked = CheckedOfGroup(radio);
  if (checked && checked->isEnabled() && checked->isVisible()) checked->setFocus(reason);
  return false;
}

}  // namespace kavex
